// DecodeReduceEncode, the import's decoding, reduction and encoding made side by side: the same
// reduced picture and the same JPEG bytes as the three steps one after the other, on one thread
// or several, for every colour space and for reductions up and down; broken photos fail the same
// way.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include <QFile>
#include <QTemporaryDir>

#include "Codecs.h"
#include "FastDIB.h"
#include "ImagingTestSupport.h"
#include "LibjpegEncoder.h"

namespace {

// A JPEG of w x h in `space`, written with libjpeg itself, with smooth content and some detail.
QByteArray PhotoJpeg(int w, int h, J_COLOR_SPACE space, int components) {
  return EncodeWithLibjpeg(w, h, {space, 92, false}, [&](int y, unsigned char* row) {
    for (int x = 0; x < w; ++x)
      for (int k = 0; k < components; ++k)
        row[size_t(x * components + k)] =
            uint8_t((x * (k + 1) + y * 3 + ((x ^ y) & 15) * 4) & 0xFF);
  });
}

int Denominator(int32_t w, int32_t h) {
  const int32_t longer = w > h ? w : h;
  return longer >= 600 ? 4 : longer >= 300 ? 2 : 1;
}

// Down to 200 on the longer side, or up when the photo is smaller.
void ToLonger200(int32_t w, int32_t h, int32_t& rw, int32_t& rh) {
  const int32_t longer = w > h ? w : h;
  rw = std::max<int32_t>(1, int32_t(int64_t(w) * 200 / longer));
  rh = std::max<int32_t>(1, int32_t(int64_t(h) * 200 / longer));
}

class DecodeReduceEncodeTest : public testing::Test {
 protected:
  void SetUp() override { Threads = PixelThreads(); }
  void TearDown() override { SetPixelThreads(Threads); }
  int32_t Threads = 1;
  QTemporaryDir Dir;
  QString Write(const QString& name, const QByteArray& data) {
    const QString path = Dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    EXPECT_EQ(f.write(data), data.size());
    return path;
  }
};

TEST_F(DecodeReduceEncodeTest, GivesWhatTheThreeStepsGive) {
  struct Case {
    int w, h;
    J_COLOR_SPACE space;
    int components;
  };
  const Case cases[] = {{650, 480, JCS_RGB, 3},  {333, 517, JCS_RGB, 3},
                        {150, 90, JCS_RGB, 3},   {640, 400, JCS_GRAYSCALE, 1},
                        {310, 250, JCS_CMYK, 4}, {1, 300, JCS_RGB, 3},
                        {200, 200, JCS_RGB, 3},  {2600, 1900, JCS_RGB, 3}};
  for (const Case& c : cases) {
    const QString path = Write(QStringLiteral("p%1x%2-%3.jpg").arg(c.w).arg(c.h).arg(int(c.space)),
                               PhotoJpeg(c.w, c.h, c.space, c.components));
    auto decoded = DecodeJpegAsColor(path, Denominator, true);
    int32_t rw = 0, rh = 0;
    ToLonger200(decoded->Width(), decoded->AbsHeight, rw, rh);
    TFastDIB reduced(rw, 24, rh);
    decoded->QuickResizeInto(reduced);
    const QByteArray jpeg = EncodeJpeg(reduced, 90);
    for (int threads : {1, 2, 3, 4, 8}) {
      SCOPED_TRACE(testing::Message()
                   << c.w << "x" << c.h << " space " << c.space << ", " << threads << " thread(s)");
      SetPixelThreads(threads);
      const TReducedPhoto photo = DecodeReduceEncode(path, Denominator, ToLonger200, 90);
      EXPECT_EQ(photo.DecodedWidth, decoded->Width());
      EXPECT_EQ(photo.DecodedHeight, decoded->AbsHeight);
      ASSERT_NE(photo.Picture, nullptr);
      EXPECT_EQ(PixelBytes(*photo.Picture), PixelBytes(reduced));
      EXPECT_EQ(photo.Jpeg, jpeg);
      EXPECT_TRUE(photo.EncodeError.empty());
    }
  }
}

TEST_F(DecodeReduceEncodeTest, BrokenPhotosFailAsTheDecoderDoes) {
  const QByteArray good = PhotoJpeg(640, 480, JCS_RGB, 3);
  const QString cases[] = {Write(QStringLiteral("half.jpg"), good.left(good.size() / 2)),
                           Write(QStringLiteral("empty.jpg"), QByteArray()),
                           Write(QStringLiteral("text.jpg"), QByteArray("no picture here")),
                           Dir.filePath(QStringLiteral("missing.jpg"))};
  for (const QString& path : cases) {
    for (int threads : {1, 2}) {
      SetPixelThreads(threads);
      std::string expected, got;
      try {
        DecodeJpegAsColor(path, Denominator, true);
      } catch (const std::runtime_error& e) {
        expected = e.what();
      }
      try {
        DecodeReduceEncode(path, Denominator, ToLonger200, 90);
      } catch (const std::runtime_error& e) {
        got = e.what();
      }
      EXPECT_FALSE(got.empty()) << path.toStdString();
      EXPECT_EQ(got, expected) << path.toStdString();
    }
  }
}

}  // namespace
