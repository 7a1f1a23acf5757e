// The document format without windows: the bytes the writer produces, the reader's refusal to
// trust lengths, and saving that never destroys the previous document.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <random>

#include <QBuffer>
#include <QDir>
#include <QFile>

#include "Document.h"
#include "TestFiles.h"

namespace {

using testfiles::FilesIn;
using testfiles::ReadAll;
using testfiles::TDocBytes;
using testfiles::TPrivateEnvironment;
using testfiles::WriteAll;

QByteArray RandomBytes(qsizetype size, unsigned seed) {
  std::mt19937 random(seed);
  QByteArray bytes(size, Qt::Uninitialized);
  for (char& b : bytes) b = static_cast<char>(random() & 0xFF);
  return bytes;
}

TShporaData Parameters(int32_t base) {
  TShporaData p;
  p.Rotation = base;
  p.ImageType = base + 1;
  p.Brightness = -base - 2;
  p.Contrast = base + 3;
  p.CropLeft = base + 4;
  p.CropRight = base + 5;
  p.CropTop = base + 6;
  p.CropBottom = base + 7;
  return p;
}

std::vector<int32_t> Eight(const TShporaData& p) {
  return {p.Rotation, p.ImageType, p.Brightness, p.Contrast,
          p.CropLeft, p.CropRight, p.CropTop,    p.CropBottom};
}

QByteArray Written(const TDocumentLayout& layout, const std::vector<TDocumentEntry>& entries) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  WriteDocumentTo(buffer, layout, entries);
  return bytes;
}

// A device that hands out its bytes one way only and cannot say how many are left.
class TSequentialDevice : public QIODevice {
 public:
  explicit TSequentialDevice(QByteArray data) : Data(std::move(data)) { open(ReadOnly); }
  bool isSequential() const override { return true; }

 protected:
  qint64 readData(char* data, qint64 size) override {
    const qint64 n = std::min<qint64>(size, Data.size() - Pos);
    std::memcpy(data, Data.constData() + Pos, n);
    Pos += n;
    return n;
  }
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  QByteArray Data;
  qint64 Pos = 0;
};

// A device that accepts `Room` bytes and then fails like a broken medium.
class TFailingDevice : public QIODevice {
 public:
  explicit TFailingDevice(qint64 room) : Room(room) { open(WriteOnly); }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char*, qint64 size) override {
    if (Room < size) {
      setErrorString(QStringLiteral("Input/output error"));
      return -1;
    }
    Room -= size;
    return size;
  }

 private:
  qint64 Room;
};

TEST(DocumentWriter, OnePhotoGivesTheDocumentedBytes) {
  TPrivateEnvironment env;
  const QByteArray jpeg = RandomBytes(1234, 1);
  const QString work = env.Path(QStringLiteral("work/0.jpg"));
  WriteAll(work, jpeg);
  const TShporaData defaults;
  const QByteArray bytes = Written({4, 4, 0}, {{&defaults, QStringLiteral("IMG_1.jpg"), work}});

  ASSERT_EQ(bytes.size(), 24 + 40 + 18 + jpeg.size());
  // clang-format off
  const unsigned char header[24] = {
      0xA5, 0x06, 0x00, 0x00,  0x01, 0x00, 0x00, 0x00,  0x04, 0x00, 0x00, 0x00,
      0x04, 0x00, 0x00, 0x00,  0x00, 0x00, 0x00, 0x00,  0x01, 0x00, 0x00, 0x00,
  };
  // clang-format on
  EXPECT_EQ(bytes.left(24), QByteArray(reinterpret_cast<const char*>(header), 24));
  const QByteArray expected = TDocBytes()
                                  .Header(4, 4, 0, 1)
                                  .Parameters({0, 1, 1, 1, 40, 380, 40, 554})
                                  .Title(QStringLiteral("IMG_1.jpg"))
                                  .Jpeg(jpeg)
                                  .Bytes;
  EXPECT_EQ(bytes, expected);
}

TEST(DocumentWriter, RoundTripKeepsEverythingByteForByte) {
  TPrivateEnvironment env;
  // The second picture spans several 1 MiB chunks and ends inside one.
  const std::vector<QByteArray> jpegs = {RandomBytes(10, 2), RandomBytes(2 * 1048576 + 77, 3),
                                         QByteArray()};
  const QStringList titles = {QStringLiteral("IMG_0042.JPG"), QString::fromUtf8("Zápisky č. 2"),
                              QString()};
  std::vector<TShporaData> parameters = {Parameters(3), Parameters(-100), Parameters(2000000)};
  std::vector<TDocumentEntry> entries;
  for (size_t i = 0; i < jpegs.size(); ++i) {
    const QString work = env.Path(QStringLiteral("work/%1.jpg").arg(i));
    WriteAll(work, jpegs[i]);
    entries.push_back({&parameters[i], titles[i], work});
  }
  QByteArray bytes = Written({5, 2, 1}, entries);

  QBuffer in(&bytes);
  in.open(QIODevice::ReadOnly);
  TDocumentReader reader(in);
  ASSERT_TRUE(reader.ReadMagic());
  EXPECT_EQ(reader.ReadInt32(), kDocumentVersion);
  const TDocumentLayout layout = reader.ReadLayout();
  EXPECT_EQ(layout.Rows, 5);
  EXPECT_EQ(layout.Columns, 2);
  EXPECT_EQ(layout.Order, 1);
  ASSERT_EQ(reader.ReadCount(), 3);
  for (size_t i = 0; i < jpegs.size(); ++i) {
    TShporaData read(TShporaData::Zeroed{});
    reader.ReadParameters(read);
    EXPECT_EQ(Eight(read), Eight(parameters[i]));
    EXPECT_EQ(reader.ReadTitle(), titles[i]);
    QByteArray copied;
    QBuffer out(&copied);
    out.open(QIODevice::WriteOnly);
    reader.CopyJpeg(out, QStringLiteral("copy"));
    EXPECT_TRUE(copied == jpegs[i]) << "photo " << i;
  }
  EXPECT_EQ(reader.Remaining(), 0);
}

TEST(DocumentReader, NeverTrustsALengthOrACount) {
  const QByteArray jpeg = RandomBytes(100, 4);
  const std::vector<int32_t> params = {0, 1, 1, 1, 40, 380, 40, 554};
  struct Case {
    const char* Name;
    QByteArray Bytes;
  };
  const Case cases[] = {
      {"negative count", TDocBytes().Header(4, 4, 0, -1).Bytes},
      {"header cut short", TDocBytes().Int(1701).Int(1).Int(4).Bytes},
      {"count larger than the file",
       TDocBytes().Header(4, 4, 0, 2000000000).Parameters(params).Title("a").Jpeg(jpeg).Bytes},
      {"negative title length", TDocBytes().Header(4, 4, 0, 1).Parameters(params).Int(-1).Bytes},
      {"title longer than the file",
       TDocBytes().Header(4, 4, 0, 1).Parameters(params).Int(0x7FFFFFFF).Raw("ab").Bytes},
      {"negative JPEG length",
       TDocBytes().Header(4, 4, 0, 1).Parameters(params).Title("a").Int(-5).Bytes},
      {"JPEG longer than the file",
       TDocBytes().Header(4, 4, 0, 1).Parameters(params).Title("a").Int(101).Raw(jpeg).Bytes},
      {"file ends inside the parameters", TDocBytes().Header(4, 4, 0, 1).Int(0).Int(1).Bytes},
  };
  for (const Case& c : cases) {
    QByteArray bytes = c.Bytes;
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    TDocumentReader reader(in);
    QByteArray copied;
    QBuffer out(&copied);
    out.open(QIODevice::WriteOnly);
    try {
      ASSERT_TRUE(reader.ReadMagic());
      reader.ReadInt32();
      reader.ReadLayout();
      const int32_t count = reader.ReadCount();
      for (int32_t i = 0; i < count; ++i) {
        TShporaData p;
        reader.ReadParameters(p);
        reader.ReadTitle();
        reader.CopyJpeg(out, QStringLiteral("copy"));
      }
      ADD_FAILURE() << c.Name << ": read without an error";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "Read beyond end of file") << c.Name;
    }
    // Nothing of a photo whose length did not fit was copied.
    EXPECT_LE(copied.size(), jpeg.size()) << c.Name;
  }
}

TEST(DocumentReader, MagicAndProgressRange) {
  for (const QByteArray& bytes : {QByteArray(), QByteArray("\xA5\x06\x00", 3),
                                  TDocBytes().Int(1702).Bytes, QByteArray("garbage text")}) {
    QByteArray copy = bytes;
    QBuffer in(&copy);
    in.open(QIODevice::ReadOnly);
    EXPECT_FALSE(TDocumentReader(in).ReadMagic()) << bytes.toHex().toStdString();
  }
  // The progress bar's range is capped by what the rest of the file can hold.
  QByteArray bytes = TDocBytes().Header(4, 4, 0, 1000).Raw(QByteArray(400, '\0')).Bytes;
  QBuffer in(&bytes);
  in.open(QIODevice::ReadOnly);
  TDocumentReader reader(in);
  ASSERT_TRUE(reader.ReadMagic());
  reader.ReadInt32();
  reader.ReadLayout();
  EXPECT_EQ(reader.MaxPhotosLeft(reader.ReadCount()), 10);
}

TEST(DocumentReader, SequentialDeviceWithHugeTitleLength) {
  // Nothing can be checked in advance here: the title is read in pieces and ends with an error.
  TSequentialDevice in(TDocBytes().Int(0x7FFFFFFF).Raw("abcdef").Bytes);
  TDocumentReader reader(in);
  EXPECT_THROW(reader.ReadTitle(), std::runtime_error);
}

TEST(DocumentWriter, AFailingDeviceEndsTheWriteWithItsError) {
  TPrivateEnvironment env;
  const QString work = env.Path(QStringLiteral("work/0.jpg"));
  WriteAll(work, RandomBytes(5000, 5));
  const TShporaData p;
  TFailingDevice out(100);
  try {
    WriteDocumentTo(out, {}, {{&p, QStringLiteral("t"), work}});
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("Input/output error"), std::string::npos) << e.what();
  }
}

// Saving over an existing document: every failure leaves it exactly as it was and leaves no
// temporary file behind.
class SafeSave : public testing::Test {
 protected:
  TPrivateEnvironment Env;
  QString Folder = Env.Path(QStringLiteral("docs/"));
  QString Target = Folder + QStringLiteral("notes.TavDoc");
  QByteArray Old = TDocBytes().Header(2, 3, 1, 0).Bytes;
  TShporaData P;

  void SetUp() override { WriteAll(Target, Old); }
  void ExpectOldDocumentIntact() {
    EXPECT_EQ(ReadAll(Target), Old);
    EXPECT_EQ(FilesIn(Folder), QStringList({QStringLiteral("notes.TavDoc")}));
  }
};

TEST_F(SafeSave, MissingWorkingJpeg) {
  const QString present = Env.Path(QStringLiteral("work/0.jpg"));
  WriteAll(present, RandomBytes(3000, 6));
  const QString missing = Env.Path(QStringLiteral("work/1.jpg"));
  try {
    SaveDocumentFile(Target, {},
                     {{&P, QStringLiteral("a"), present}, {&P, QStringLiteral("b"), missing}});
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "1.jpg: File not found");
  }
  ExpectOldDocumentIntact();
}

TEST_F(SafeSave, MissingFolder) {
  const QString work = Env.Path(QStringLiteral("work/0.jpg"));
  WriteAll(work, RandomBytes(10, 7));
  EXPECT_THROW(SaveDocumentFile(Folder + QStringLiteral("gone/x.TavDoc"), {},
                                {{&P, QStringLiteral("a"), work}}),
               std::runtime_error);
  ExpectOldDocumentIntact();
}

TEST_F(SafeSave, SuccessReplacesTheDocument) {
  const QString work = Env.Path(QStringLiteral("work/0.jpg"));
  WriteAll(work, RandomBytes(10, 8));
  SaveDocumentFile(Target, {4, 4, 0}, {{&P, QStringLiteral("a"), work}});
  EXPECT_EQ(ReadAll(Target).size(), 24 + 40 + 2 + 10);
  EXPECT_EQ(FilesIn(Folder), QStringList({QStringLiteral("notes.TavDoc")}));
}

// A real full disk: a 256 KiB tmpfs mounted in a mount namespace of this thread alone.
TEST_F(SafeSave, DiskFull) {
  const QString small = Env.Path(QStringLiteral("small/"));
  if (unshare(CLONE_NEWNS) != 0 ||
      mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
      mount("tavrolin-test", QFile::encodeName(small).constData(), "tmpfs", 0, "size=256k") != 0) {
    GTEST_SKIP() << "a small file system needs a private mount namespace: " << std::strerror(errno);
  }
  const QString target = small + QStringLiteral("notes.TavDoc");
  WriteAll(target, Old);
  const QString work = Env.Path(QStringLiteral("work/0.jpg"));
  WriteAll(work, RandomBytes(1024 * 1024, 9));
  try {
    SaveDocumentFile(target, {}, {{&P, QStringLiteral("big"), work}});
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Disk full");
  }
  EXPECT_EQ(ReadAll(target), Old);
  EXPECT_EQ(FilesIn(small), QStringList({QStringLiteral("notes.TavDoc")}));
  umount2(QFile::encodeName(small).constData(), MNT_DETACH);
}

}  // namespace
