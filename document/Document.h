#pragma once
// The .TavDoc document: the sheet layout and, for every photo in list order, its eight
// parameters, its title and the bytes of its working JPEG. Every integer is a signed 32-bit
// little-endian number; text is UTF-16 little-endian with a length prefix in code units.
//
// Header (24 bytes): magic 1701, version 1, rows, columns, order, count. Then `count` photos:
// Rotation, ImageType, Brightness, Contrast, CropLeft, CropRight, CropTop, CropBottom, the title
// length L, 2L bytes of title, the JPEG length J and J bytes of JPEG data.
//
// After the last photo, blocks may follow until the end of the file: a tag (a four-character code
// read as an integer), a version, the payload's length P and P bytes of payload. A reader that
// reads `count` photos and stops never sees them, so the photos and parameters read the same
// whether a reader knows the blocks or not; a reader that knows them skips a tag or a version it
// does not know by its length. One block is defined, the page block ("PAGE", version 1): its
// payload is the number of entries n, then n entries of 72 bytes: the photo's index in the file
// (from 0), flags (bit 0: straightened; the other bits are 0) and the page's corners as eight
// IEEE 754 doubles, little-endian, in working-JPEG pixels: top-left x, y, top-right x, y,
// bottom-right x, y, bottom-left x, y. It is written only when a photo is straightened, and
// then holds every photo with corners, so a document without straightened photos is exactly the
// document of the first version of the format.
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
// The page block: its tag is the bytes "PAGE" in file order.
constexpr int32_t kPageBlockTag = 0x45474150;
constexpr int32_t kPageBlockVersion = 1;
constexpr int64_t kPageBlockEntryBytes = 72;

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

  // Reads `length` bytes (checked as any length of the file), in pieces of at most a chunk, so
  // that nothing is allocated beyond what the device delivered.
  QByteArray ReadBlock(int64_t length);
  // Up to `size` bytes into `data`; how many there were (fewer only at the end of the device).
  int64_t ReadUpTo(char* data, int64_t size);

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

// What the blocks after the photos said.
struct TDocumentExtras {
  struct TPageEntry {
    int32_t Photo = 0;  // index of the photo in the file, within the photos read
    TPageGeometry Page;
  };
  std::vector<TPageEntry> Pages;
  // Why blocks were left unused (a damaged or cut block, a photo index out of range, a corner
  // with no valid position), for a warning; empty when every block could be used. The photos
  // never depend on it: a block that is not used is simply not applied.
  QString Problem;
};
// Reads the blocks that follow the last photo record, to the end of the device, for a document of
// `photoCount` photos. Never throws for the file's content: a page block that cannot be used in
// full is dropped whole, and a block whose length cannot be right ends the reading.
TDocumentExtras ReadDocumentExtras(TDocumentReader& reader, int32_t photoCount);
