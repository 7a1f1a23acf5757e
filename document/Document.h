#pragma once
// The .TavDoc document: the sheet layout and, for every photo in list order, its eight
// parameters, its title and the bytes of its working JPEG. Every integer is a signed 32-bit
// little-endian number; text is UTF-16 little-endian with a length prefix in code units.
//
// Header (24 bytes): magic 1701, version 1, rows, columns, order, count. Then `count` photos:
// Rotation, ImageType, Brightness, Contrast, CropLeft, CropRight, CropTop, CropBottom, the title
// length L, 2L bytes of title, the JPEG length J and J bytes of JPEG data.
//
// Nothing here knows about windows: the writer and the reader work on any QIODevice, so tests
// feed them buffers and devices that fail.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include <QByteArray>
#include <QString>

#include "Shpora.h"

class QIODevice;

constexpr int32_t kDocumentMagic = 1701;
constexpr int32_t kDocumentVersion = 1;
// JPEG data moves through one buffer of this size in both directions, so memory use does not
// grow with the size of a photo.
constexpr int64_t kDocumentChunk = 1048576;
// The smallest photo record: eight parameters, L = 0 and J = 0.
constexpr int64_t kMinPhotoRecordBytes = 40;

// The sheet layout as the document stores it.
struct TDocumentLayout {
  int32_t Rows = 4;
  int32_t Columns = 4;
  int32_t Order = 0;  // 0 "by rows", 1 "by columns"
};

// One photo to be written: a view of a list row.
struct TDocumentEntry {
  const TShporaData* Parameters = nullptr;
  QString Title;
  QString WorkFile;  // the working JPEG, copied byte for byte
};

// Writes the whole document to `out`. Throws std::runtime_error with a message a user can read:
// "Disk full" when the device ran out of space, the working JPEG's name and the reason when it
// cannot be read. `out` is left wherever the failure happened; SaveDocumentFile makes that safe.
void WriteDocumentTo(QIODevice& out, const TDocumentLayout& layout,
                     const std::vector<TDocumentEntry>& entries);

// Writes the document into a temporary file beside `path` and moves it into place only when
// everything was written and flushed. On any failure the temporary file is removed, a previous
// document at `path` stays exactly as it was, and std::runtime_error is thrown.
void SaveDocumentFile(const QString& path, const TDocumentLayout& layout,
                      const std::vector<TDocumentEntry>& entries);

// Reads a document field by field. No length or count is trusted: a negative one, one larger
// than what is left of a file, or a device that ends early throws "Read beyond end of file",
// and nothing is allocated beyond what has actually been read (plus one chunk).
class TDocumentReader {
 public:
  explicit TDocumentReader(QIODevice& in);

  // False, and nothing more to read, when the device holds fewer than 4 bytes or another magic.
  bool ReadMagic();
  int32_t ReadInt32();
  TDocumentLayout ReadLayout();
  // The photo count; a negative count throws.
  int32_t ReadCount();
  void ReadParameters(TShporaData& parameters);
  QString ReadTitle();
  // Reads J and copies the J bytes of JPEG data into `target` in chunks of at most 1 MiB.
  // `targetName` names the target in a write error.
  void CopyJpeg(QIODevice& target, const QString& targetName);

  // Bytes left to read, or -1 when the device cannot tell (a sequential device).
  int64_t Remaining() const;
  // The most photos the rest of the device can hold (for the progress bar's range).
  int32_t MaxPhotosLeft(int32_t count) const;

 private:
  void ReadExact(char* data, int64_t size);
  // A length read from the file: throws unless 0 <= length and length <= Remaining().
  int64_t CheckLength(int64_t length) const;

  QIODevice& In;
  QByteArray Buffer;
};

// The message of a failed write on `device`: "Disk full" when the file system ran out of space,
// otherwise the device's own error text.
QString WriteErrorText(const QIODevice& device);
// The error for a failed write on `device` writing `path`: "Disk full" alone, or the file's name
// with the reason.
std::runtime_error WriteFailure(const QString& path, const QIODevice& device);
// A readable message for a file that could not be opened: "File not found", "File access
// denied", or the platform's text.
QString OpenErrorText(const QString& path, const QIODevice& device);

// "file name: what", the form of every file error of the document code.
std::runtime_error NamedError(const QString& path, const QString& what);

// Reads the next photo of a document into a new record whose working JPEG is created, exclusively,
// under a free name in `workFolder`; `title` receives the row's title. The record is not processed
// yet (the caller reloads it once it owns the row). Throws on a short or damaged file or a write
// failure; a record that was made deletes its partial working file.
std::unique_ptr<TShpora> ReadDocumentPhoto(TDocumentReader& reader, const QString& workFolder,
                                           QString& title);
