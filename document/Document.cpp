#include "Document.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <stdexcept>

#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <QIODevice>
#include <QSaveFile>
#include <QtEndian>

std::runtime_error NamedError(const QString& path, const QString& what) {
  return std::runtime_error(
      QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), what).toStdString());
}

namespace {

const char* const kReadBeyondEnd = "Read beyond end of file";

// A file system that fills up takes part of a block first and fails only on the next write, so
// the rest is written until the device takes nothing more and tells why.
void WriteAll(QIODevice& out, const char* data, int64_t size, const QString& name) {
  while (size > 0) {
    const int64_t written = out.write(data, size);
    if (written <= 0) throw WriteFailure(name, out);
    data += written;
    size -= written;
  }
}

void WriteInt32(QIODevice& out, int32_t value, const QString& name) {
  char bytes[4];
  qToLittleEndian<int32_t>(value, bytes);
  WriteAll(out, bytes, 4, name);
}

void WriteTitle(QIODevice& out, const QString& title, const QString& name) {
  QByteArray bytes(title.size() * 2, Qt::Uninitialized);
  for (qsizetype i = 0; i < title.size(); ++i) {
    qToLittleEndian<uint16_t>(title.at(i).unicode(), bytes.data() + 2 * i);
  }
  WriteInt32(out, static_cast<int32_t>(title.size()), name);
  WriteAll(out, bytes.constData(), bytes.size(), name);
}

// The working JPEG's size, then its bytes, through `buffer`.
void CopyWorkFile(QIODevice& out, const QString& workFile, QByteArray& buffer,
                  const QString& name) {
  QFile in(workFile);
  if (!in.open(QIODevice::ReadOnly)) throw NamedError(workFile, OpenErrorText(workFile, in));
  const int64_t size = in.size();
  if (size > std::numeric_limits<int32_t>::max()) {
    throw NamedError(workFile, QStringLiteral("the picture is too large for a document"));
  }
  WriteInt32(out, static_cast<int32_t>(size), name);
  if (buffer.isEmpty()) buffer.resize(kDocumentChunk);
  int64_t left = size;
  while (left > 0) {
    const int64_t chunk = std::min(left, kDocumentChunk);
    if (in.read(buffer.data(), chunk) != chunk) {
      throw NamedError(
          workFile,
          QStringLiteral("the working copy could not be read (%1)").arg(in.errorString()));
    }
    WriteAll(out, buffer.constData(), chunk, name);
    left -= chunk;
  }
}

void AppendInt32(QByteArray& bytes, int32_t value) {
  char b[4];
  qToLittleEndian<int32_t>(value, b);
  bytes.append(b, 4);
}

void AppendDouble(QByteArray& bytes, double value) {
  char b[8];
  qToLittleEndian<uint64_t>(std::bit_cast<uint64_t>(value), b);
  bytes.append(b, 8);
}

// The page block, only when some photo is straightened: a document whose photos are all processed
// as they lie stays byte for byte what the first version of the format wrote.
void WritePageBlock(QIODevice& out, const std::vector<TDocumentEntry>& entries,
                    const QString& name) {
  const bool any = std::any_of(entries.begin(), entries.end(), [](const TDocumentEntry& e) {
    return e.Parameters->Page.Straightened();
  });
  if (!any) return;
  QByteArray payload;
  int32_t n = 0;
  AppendInt32(payload, 0);  // the count, known at the end
  for (size_t i = 0; i < entries.size(); ++i) {
    const TPageGeometry& page = entries[i].Parameters->Page;
    if (!page.HasCorners) continue;
    AppendInt32(payload, static_cast<int32_t>(i));
    AppendInt32(payload, page.Straighten ? 1 : 0);
    for (const TPagePoint& corner : page.Corners.Corners) {
      AppendDouble(payload, corner.X);
      AppendDouble(payload, corner.Y);
    }
    ++n;
  }
  qToLittleEndian<int32_t>(n, payload.data());
  WriteInt32(out, kPageBlockTag, name);
  WriteInt32(out, kPageBlockVersion, name);
  WriteInt32(out, static_cast<int32_t>(payload.size()), name);
  WriteAll(out, payload.constData(), payload.size(), name);
}

// The entries of a page block's payload, or why it cannot be used.
QString ParsePageBlock(const QByteArray& payload, int32_t photoCount,
                       std::vector<TDocumentExtras::TPageEntry>& entries) {
  const QString damaged = QStringLiteral("the block of page corners is damaged");
  if (payload.size() < 4) return damaged;
  const char* p = payload.constData();
  const int32_t n = qFromLittleEndian<int32_t>(p);
  if (n < 0 || 4 + int64_t(n) * kPageBlockEntryBytes != payload.size()) return damaged;
  p += 4;
  for (int32_t k = 0; k < n; ++k, p += kPageBlockEntryBytes) {
    TDocumentExtras::TPageEntry entry;
    entry.Photo = qFromLittleEndian<int32_t>(p);
    if (entry.Photo < 0 || entry.Photo >= photoCount)
      return QStringLiteral("the page corners name photo %1 of a document of %2")
          .arg(int64_t(entry.Photo) + 1)
          .arg(photoCount);
    entry.Page.HasCorners = true;
    entry.Page.Straighten = (qFromLittleEndian<int32_t>(p + 4) & 1) != 0;
    for (int c = 0; c < 4; ++c) {
      TPagePoint& corner = entry.Page.Corners.Corners[size_t(c)];
      corner.X = std::bit_cast<double>(qFromLittleEndian<uint64_t>(p + 8 + 16 * c));
      corner.Y = std::bit_cast<double>(qFromLittleEndian<uint64_t>(p + 16 + 16 * c));
      if (!std::isfinite(corner.X) || !std::isfinite(corner.Y))
        return QStringLiteral("a page corner of photo %1 has no valid position")
            .arg(entry.Photo + 1);
    }
    entries.push_back(entry);
  }
  return {};
}

QString DeviceName(const QIODevice& device) {
  if (const auto* file = qobject_cast<const QFileDevice*>(&device)) return file->fileName();
  return QStringLiteral("document");
}

}  // namespace

QString WriteErrorText(const QIODevice& device) {
  if (const auto* file = qobject_cast<const QFileDevice*>(&device)) {
    if (file->error() == QFileDevice::ResourceError) return QStringLiteral("Disk full");
  }
  const QString text = device.errorString();
  return text.isEmpty() || text == QLatin1String("Unknown error")
             ? QStringLiteral("the file could not be written")
             : text;
}

// "Disk full" stands alone: it is the same message whichever file the system was writing.
std::runtime_error WriteFailure(const QString& path, const QIODevice& device) {
  const QString text = WriteErrorText(device);
  if (text == QLatin1String("Disk full")) return std::runtime_error("Disk full");
  return NamedError(path, text);
}

QString OpenErrorText(const QString& path, const QIODevice& device) {
  if (!QFileInfo::exists(path)) return QStringLiteral("File not found");
  if (const auto* file = qobject_cast<const QFileDevice*>(&device)) {
    if (file->error() == QFileDevice::PermissionsError) return QStringLiteral("File access denied");
    if (file->error() == QFileDevice::ResourceError) return QStringLiteral("Disk full");
  }
  return device.errorString();
}

void WriteDocumentTo(QIODevice& out, const TDocumentLayout& layout,
                     const std::vector<TDocumentEntry>& entries) {
  const QString name = DeviceName(out);
  if (entries.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    throw std::runtime_error("Too many photos for one document");
  }
  WriteInt32(out, kDocumentMagic, name);
  WriteInt32(out, kDocumentVersion, name);
  WriteInt32(out, layout.Rows, name);
  WriteInt32(out, layout.Columns, name);
  WriteInt32(out, layout.Order, name);
  WriteInt32(out, static_cast<int32_t>(entries.size()), name);
  QByteArray buffer;
  for (const TDocumentEntry& entry : entries) {
    const TShporaData& p = *entry.Parameters;
    for (int32_t value : {p.Rotation, p.ImageType, p.Brightness, p.Contrast, p.CropLeft,
                          p.CropRight, p.CropTop, p.CropBottom}) {
      WriteInt32(out, value, name);
    }
    WriteTitle(out, entry.Title, name);
    CopyWorkFile(out, entry.WorkFile, buffer, name);
  }
  WritePageBlock(out, entries, name);
}

void SaveDocumentFile(const QString& path, const TDocumentLayout& layout,
                      const std::vector<TDocumentEntry>& entries) {
  // QSaveFile writes a temporary file in the target's folder and renames it over the target on
  // commit; destroying it uncommitted removes the temporary file.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    throw NamedError(path, file.error() == QFileDevice::ResourceError
                               ? QStringLiteral("Disk full")
                               : OpenErrorText(QFileInfo(path).absolutePath(), file));
  }
  try {
    WriteDocumentTo(file, layout, entries);
  } catch (...) {
    file.cancelWriting();
    throw;
  }
  if (!file.flush()) throw WriteFailure(path, file);
  if (!file.commit()) throw WriteFailure(path, file);
}

TDocumentReader::TDocumentReader(QIODevice& in) : In(in) {}

int64_t TDocumentReader::Remaining() const {
  if (In.isSequential()) return -1;
  return std::max<int64_t>(0, In.size() - In.pos());
}

int32_t TDocumentReader::MaxPhotosLeft(int32_t count) const {
  const int64_t left = Remaining();
  if (left < 0) return count;
  return static_cast<int32_t>(std::min<int64_t>(count, left / kMinPhotoRecordBytes));
}

void TDocumentReader::ReadExact(char* data, int64_t size) {
  if (size > 0 && In.read(data, size) != size) throw std::runtime_error(kReadBeyondEnd);
}

int64_t TDocumentReader::CheckLength(int64_t length) const {
  const int64_t left = Remaining();
  if (length < 0 || (left >= 0 && length > left)) throw std::runtime_error(kReadBeyondEnd);
  return length;
}

bool TDocumentReader::ReadMagic() {
  char bytes[4];
  if (In.read(bytes, 4) != 4) return false;
  return qFromLittleEndian<int32_t>(bytes) == kDocumentMagic;
}

int32_t TDocumentReader::ReadInt32() {
  char bytes[4];
  ReadExact(bytes, 4);
  return qFromLittleEndian<int32_t>(bytes);
}

TDocumentLayout TDocumentReader::ReadLayout() {
  TDocumentLayout layout;
  layout.Rows = ReadInt32();
  layout.Columns = ReadInt32();
  layout.Order = ReadInt32();
  return layout;
}

int32_t TDocumentReader::ReadCount() {
  const int32_t count = ReadInt32();
  if (count < 0) throw std::runtime_error(kReadBeyondEnd);
  return count;
}

void TDocumentReader::ReadParameters(TShporaData& p) {
  for (int32_t* field : {&p.Rotation, &p.ImageType, &p.Brightness, &p.Contrast, &p.CropLeft,
                         &p.CropRight, &p.CropTop, &p.CropBottom}) {
    *field = ReadInt32();
  }
}

QByteArray TDocumentReader::ReadBlock(int64_t length) {
  const int64_t bytes = CheckLength(length);
  // Read in pieces so that a sequential device, whose length cannot be checked in advance,
  // never makes us allocate more than it has delivered.
  QByteArray data;
  while (data.size() < bytes) {
    const int64_t piece = std::min<int64_t>(bytes - data.size(), kDocumentChunk);
    const qsizetype at = data.size();
    data.resize(at + piece);
    ReadExact(data.data() + at, piece);
  }
  return data;
}

int64_t TDocumentReader::ReadUpTo(char* data, int64_t size) {
  int64_t got = 0;
  while (got < size) {
    const int64_t n = In.read(data + got, size - got);
    if (n <= 0) break;
    got += n;
  }
  return got;
}

QString TDocumentReader::ReadTitle() {
  const int64_t bytes = CheckLength(int64_t(ReadInt32()) * 2);
  const QByteArray data = ReadBlock(bytes);
  QString title(static_cast<qsizetype>(bytes / 2), Qt::Uninitialized);
  for (qsizetype i = 0; i < title.size(); ++i) {
    title[i] = QChar(qFromLittleEndian<uint16_t>(data.constData() + 2 * i));
  }
  return title;
}

void TDocumentReader::CopyJpeg(QIODevice& target, const QString& targetName) {
  int64_t left = CheckLength(ReadInt32());
  if (Buffer.size() < std::min(left, kDocumentChunk)) Buffer.resize(std::min(left, kDocumentChunk));
  while (left > 0) {
    const int64_t chunk = std::min<int64_t>(left, Buffer.size());
    ReadExact(Buffer.data(), chunk);
    WriteAll(target, Buffer.constData(), chunk, targetName);
    left -= chunk;
  }
}

std::unique_ptr<TShpora> ReadDocumentPhoto(TDocumentReader& reader, const QString& workFolder,
                                           QString& title) {
  const QString workFile = TShpora::FindFreeFileName(workFolder, QStringLiteral(".jpg"));
  if (workFile.isEmpty()) throw std::runtime_error("The working folder has no free file name left");
  std::unique_ptr<TShpora> photo = TShpora::CreateForWorkFile(workFile);
  // The working file is created at once and exclusively: the name stays taken while the record
  // is read, and no other row's file can ever be reused.
  QFile work(workFile);
  if (!work.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
    photo->WorkFile.clear();  // not ours: the record must not delete it
    throw NamedError(workFile, OpenErrorText(QFileInfo(workFile).absolutePath(), work));
  }
  reader.ReadParameters(*photo);
  title = reader.ReadTitle();
  reader.CopyJpeg(work, workFile);
  if (!work.flush()) throw WriteFailure(workFile, work);
  work.close();
  return photo;
}

TDocumentExtras ReadDocumentExtras(TDocumentReader& reader, int32_t photoCount) {
  TDocumentExtras extras;
  const QString cut = QStringLiteral("the document ends inside a block after its photos");
  for (;;) {
    char head[12];
    const int64_t got = reader.ReadUpTo(head, sizeof head);
    if (got == 0) break;
    if (got < int64_t(sizeof head)) {
      extras.Problem = cut;
      break;
    }
    const int32_t tag = qFromLittleEndian<int32_t>(head);
    const int32_t version = qFromLittleEndian<int32_t>(head + 4);
    const int32_t length = qFromLittleEndian<int32_t>(head + 8);
    QByteArray payload;
    try {
      // Unknown blocks are read through as well: their length is all we know of them, and a
      // length past the end means nothing after it can be trusted.
      payload = reader.ReadBlock(length);
    } catch (const std::runtime_error&) {
      extras.Problem = cut;
      break;
    }
    if (tag != kPageBlockTag || version != kPageBlockVersion) continue;
    std::vector<TDocumentExtras::TPageEntry> entries;
    const QString problem = ParsePageBlock(payload, photoCount, entries);
    if (!problem.isEmpty()) {
      extras.Problem = problem;
      continue;
    }
    extras.Pages.insert(extras.Pages.end(), entries.begin(), entries.end());
  }
  return extras;
}
