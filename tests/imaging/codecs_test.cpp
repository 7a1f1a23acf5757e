// JPEG and PNG files: what loads at which depth, and broken files raising instead of crashing.
#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "Codecs.h"
#include "FastDIB.h"
#include "LibjpegEncoder.h"

namespace {

// A JPEG of the given colour space written with libjpeg itself (not through the code under test).
QByteArray MakeJpeg(int w, int h, J_COLOR_SPACE space, int components) {
  return EncodeWithLibjpeg(w, h, {space, 95, false}, [&](int y, unsigned char* row) {
    for (int x = 0; x < w * components; ++x) row[x] = (x * 7 + y * 3) & 0xFF;
  });
}

class Codecs : public testing::Test {
 protected:
  QTemporaryDir dir;
  QString Write(const QString& name, const QByteArray& data) {
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
    return path;
  }
};

TEST_F(Codecs, ColourJpegLoadsAt24BitsAndGrayAt8) {
  auto colour = TFastDIB::LoadFromJpegFile(Write("c.jpg", MakeJpeg(33, 17, JCS_RGB, 3)));
  EXPECT_EQ(colour->BitCount(), 24);
  EXPECT_EQ(colour->Width(), 33);
  EXPECT_EQ(colour->Height(), 17);
  auto gray = TFastDIB::LoadFromJpegFile(Write("g.jpg", MakeJpeg(20, 10, JCS_GRAYSCALE, 1)));
  EXPECT_EQ(gray->BitCount(), 8);
  EXPECT_EQ(gray->Width(), 20);
  EXPECT_EQ(gray->Colors[200].Green, 200);  // the decoder's gray table
}

TEST_F(Codecs, EncodeThenDecodeRoundTripsUprightAndClose) {
  TFastDIB image(64, 24, 48);
  // Top picture rows (last memory rows) bright, bottom dark: the orientation must survive.
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64 * 3; ++x) image.Scanlines[y][x] = y < 24 ? 30 : 220;
  const QString path = dir.filePath("round.jpg");
  SaveJpegFile(image, path, 90);
  auto back = TFastDIB::LoadFromJpegFile(path);
  ASSERT_EQ(back->Width(), 64);
  ASSERT_EQ(back->AbsHeight, 48);
  EXPECT_NEAR(back->Scanlines[2][10], 30, 4);
  EXPECT_NEAR(back->Scanlines[45][10], 220, 4);
  const QByteArray png = EncodePng(image);
  EXPECT_TRUE(png.startsWith("\x89PNG"));
}

TEST_F(Codecs, ImportDecoderGivesColourForEveryColourSpace) {
  struct {
    J_COLOR_SPACE space;
    int components;
  } cases[] = {{JCS_RGB, 3}, {JCS_GRAYSCALE, 1}, {JCS_CMYK, 4}};
  for (auto c : cases) {
    const QString path = Write("s.jpg", MakeJpeg(40, 16, c.space, c.components));
    int seenW = 0, seenH = 0;
    auto image = DecodeJpegAsColor(
        path,
        [&](int w, int h) {
          seenW = w;
          seenH = h;
          return 2;
        },
        true);
    EXPECT_EQ(image->BitCount(), 24);
    EXPECT_EQ(image->Width(), 20);
    EXPECT_EQ(image->AbsHeight, 8);
    EXPECT_EQ(seenW, 40);
    EXPECT_EQ(seenH, 16);
  }
}

TEST_F(Codecs, BrokenFilesRaiseReadableErrors) {
  const QByteArray good = MakeJpeg(64, 64, JCS_RGB, 3);
  const QString cases[] = {
      dir.filePath("missing.jpg"),
      Write("empty.jpg", QByteArray()),
      Write("truncated.jpg", good.left(good.size() / 2)),
      Write("text.jpg", QByteArray("this is not a picture at all")),
      Write("png.jpg", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)),
  };
  for (const QString& path : cases) {
    try {
      TFastDIB::LoadFromJpegFile(path);
      ADD_FAILURE() << "no error for " << path.toStdString();
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(QFileInfo(path).fileName().toStdString()),
                std::string::npos);
    }
    EXPECT_THROW(DecodeJpegAsColor(
                     path, [](int, int) { return 1; }, true),
                 std::runtime_error);
  }
}

TEST_F(Codecs, FailedWriteLeavesThePreviousFile) {
  const QString path = Write("keep.jpg", QByteArray("old contents"));
  TFastDIB empty;
  EXPECT_THROW(SaveJpegFile(empty, path, 90), std::runtime_error);
  EXPECT_THROW(SaveJpegFile(TFastDIB(4, 24, 4), dir.filePath("no/such/dir/x.jpg"), 90),
               std::runtime_error);
  EXPECT_EQ(ReadWholeFile(path), QByteArray("old contents"));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}

}  // namespace
