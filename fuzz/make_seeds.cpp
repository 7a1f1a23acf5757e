// Writes the seed corpus of the fuzz targets into fuzz/corpus/ (run by hand after a change of
// the formats; the files are committed):
//   build-fuzz/fuzz/fuzz_make_seeds fuzz/corpus
// Every seed is a few hundred bytes: small JPEGs of each kind the import meets, documents built
// field by field (good ones and ones with every length field wrong), settings texts and addresses.
#include <array>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QtEndian>

#include "LibjpegEncoder.h"

namespace {

QString Root;

void Write(const QString& relative, const QByteArray& data) {
  const QString path = Root + u'/' + relative;
  QDir().mkpath(path.left(path.lastIndexOf(u'/')));
  QFile out(path);
  if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(data) != data.size()) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    std::exit(1);
  }
}

// A width x height JPEG of `components` (1 gray, 3 colour, 4 CMYK), optionally progressive.
QByteArray Jpeg(int width, int height, int components, bool progressive, int quality = 75) {
  const J_COLOR_SPACE space = components == 1   ? JCS_GRAYSCALE
                              : components == 3 ? JCS_RGB
                                                : JCS_CMYK;
  return EncodeWithLibjpeg(width, height, {space, quality, progressive},
                           [&](int y, unsigned char* row) {
                             for (int x = 0; x < width * components; ++x)
                               row[x] = static_cast<unsigned char>((x * 37 + y * 11) & 255);
                           });
}

// The same JPEG claiming another size in its frame header: the data stays that of the original.
QByteArray WithFrameSize(QByteArray jpeg, int width, int height) {
  for (qsizetype i = 2; i + 9 < jpeg.size(); ++i) {
    const auto marker = static_cast<unsigned char>(jpeg[i + 1]);
    if (static_cast<unsigned char>(jpeg[i]) == 0xFF && (marker == 0xC0 || marker == 0xC2)) {
      qToBigEndian<uint16_t>(static_cast<uint16_t>(height), jpeg.data() + i + 5);
      qToBigEndian<uint16_t>(static_cast<uint16_t>(width), jpeg.data() + i + 7);
      return jpeg;
    }
  }
  std::fprintf(stderr, "no frame header\n");
  std::exit(1);
}

class TDoc {
 public:
  TDoc& Int(int32_t v) {
    char b[4];
    qToLittleEndian<int32_t>(v, b);
    Bytes.append(b, 4);
    return *this;
  }
  TDoc& Header(int32_t rows, int32_t columns, int32_t order, int32_t count) {
    return Int(1701).Int(1).Int(rows).Int(columns).Int(order).Int(count);
  }
  TDoc& Parameters(std::initializer_list<int32_t> eight) {
    for (int32_t v : eight) Int(v);
    return *this;
  }
  TDoc& Title(const QString& t) {
    Int(static_cast<int32_t>(t.size()));
    for (QChar ch : t) {
      char b[2];
      qToLittleEndian<uint16_t>(ch.unicode(), b);
      Bytes.append(b, 2);
    }
    return *this;
  }
  TDoc& Jpeg(const QByteArray& data) {
    Int(static_cast<int32_t>(data.size()));
    Bytes += data;
    return *this;
  }
  QByteArray Bytes;
};

void Documents() {
  const QByteArray colour = Jpeg(16, 24, 3, false, 90);
  const QByteArray wide = Jpeg(24, 8, 3, true, 90);
  const QByteArray gray = Jpeg(8, 8, 1, false, 90);
  const std::initializer_list<int32_t> defaults{0, 1, 1, 1, 40, 380, 40, 554};
  Write("document/one-photo.TavDoc",
        TDoc().Header(4, 4, 0, 1).Parameters(defaults).Title("IMG_1.jpg").Jpeg(colour).Bytes);
  Write("document/three-photos.TavDoc", TDoc()
                                            .Header(2, 3, 1, 3)
                                            .Parameters({1, 0, -20, 20, 0, 420, 0, 594})
                                            .Title("wide")
                                            .Jpeg(wide)
                                            .Parameters({3, 1, 20, -20, 100, 300, 500, 100})
                                            .Title(QString::fromUtf8("страница"))
                                            .Jpeg(gray)
                                            .Parameters({2, 7, 0, 9, -40, 460, -1, 600})
                                            .Title("")
                                            .Jpeg(colour)
                                            .Bytes);
  Write("document/no-photos.TavDoc", TDoc().Header(5, 5, 1, 0).Bytes);
  Write("document/other-version.TavDoc", TDoc().Int(1701).Int(2).Int(1).Int(1).Int(0).Int(0).Bytes);
  Write("document/not-a-document.TavDoc", QByteArray("PK\x03\x04 not ours"));
  Write("document/short.TavDoc", QByteArray("\xA5\x06\x00", 3));
  // Every length field wrong in turn: negative, huge, past the end.
  Write("document/negative-count.TavDoc", TDoc().Header(1, 1, 0, -1).Bytes);
  Write("document/huge-count.TavDoc",
        TDoc().Header(1, 1, 0, 0x7FFFFFFF).Parameters(defaults).Title("a").Jpeg(colour).Bytes);
  Write("document/negative-title.TavDoc",
        TDoc().Header(1, 1, 0, 1).Parameters(defaults).Int(-5).Jpeg(colour).Bytes);
  Write("document/huge-title.TavDoc",
        TDoc().Header(1, 1, 0, 1).Parameters(defaults).Int(0x40000000).Jpeg(colour).Bytes);
  Write("document/negative-jpeg.TavDoc",
        TDoc().Header(1, 1, 0, 1).Parameters(defaults).Title("a").Int(-1).Bytes);
  TDoc past;
  past.Header(1, 1, 0, 1).Parameters(defaults).Title("a").Int(colour.size() + 1000);
  past.Bytes += colour;
  Write("document/jpeg-past-end.TavDoc", past.Bytes);
  Write("document/parameters-cut.TavDoc", TDoc().Header(1, 1, 0, 1).Int(0).Int(1).Bytes);
  Write("document/not-a-jpeg-inside.TavDoc",
        TDoc().Header(1, 1, 0, 1).Parameters(defaults).Title("a").Jpeg("\x89PNG\r\n\x1a\n").Bytes);
  Write("document/extreme-parameters.TavDoc",
        TDoc()
            .Header(-7, 1000, 2, 1)
            .Parameters({int32_t(0x80000000), 0, 0x7FFFFFFF, int32_t(0x80000000),
                         int32_t(0x80000000), 0x7FFFFFFF, int32_t(0x80000000), 0x7FFFFFFF})
            .Title("x")
            .Jpeg(wide)
            .Bytes);
}

// The page block after the photos: `n` entries of photo index, flags and eight coordinates.
QByteArray PageBlock(std::initializer_list<std::pair<int32_t, std::array<double, 8>>> entries,
                     int32_t version = 1) {
  TDoc payload;
  payload.Int(static_cast<int32_t>(entries.size()));
  for (const auto& [photo, corners] : entries) {
    payload.Int(photo).Int(1);
    for (double v : corners) {
      char b[8];
      qToLittleEndian<uint64_t>(std::bit_cast<uint64_t>(v), b);
      payload.Bytes.append(b, 8);
    }
  }
  TDoc block;
  block.Int(0x45474150).Int(version).Int(static_cast<int32_t>(payload.Bytes.size()));
  return block.Bytes + payload.Bytes;
}

void StraightenedDocuments() {
  const QByteArray colour = Jpeg(16, 24, 3, false, 90);
  const QByteArray wide = Jpeg(24, 8, 3, true, 90);
  const std::initializer_list<int32_t> straight{0, 1, 1, 1, 1, 416, 1, 589};
  const QByteArray two = TDoc()
                             .Header(4, 4, 0, 2)
                             .Parameters(straight)
                             .Title("page")
                             .Jpeg(colour)
                             .Parameters({1, 0, 0, 0, 1, 416, 1, 589})
                             .Title("wide")
                             .Jpeg(wide)
                             .Bytes;
  Write("document/straightened.TavDoc",
        two + PageBlock({{0, {1.5, 2, 15, 1, 14.5, 23, 2, 22}}, {1, {0, 0, 24, 0, 24, 8, 0, 8}}}));
  // Corners far outside the picture, an unknown block before ours, and one cut short after it.
  TDoc unknown;
  unknown.Int(0x4F4D4F5A).Int(3).Int(4).Int(7);
  Write("document/straightened-odd-blocks.TavDoc",
        two + unknown.Bytes + PageBlock({{1, {-500, -500, 900, 0, 900, 900, 0, 900}}}) +
            PageBlock({{0, {1, 1, 15, 1, 15, 23, 1, 23}}}).left(30));
}

void Photos() {
  const QByteArray colour = Jpeg(16, 8, 3, false);
  Write("photo/wide.jpg", colour);
  Write("photo/tall-progressive.jpg", Jpeg(8, 16, 3, true));
  Write("photo/gray.jpg", Jpeg(8, 8, 1, false));
  Write("photo/cmyk.jpg", Jpeg(8, 8, 4, false));
  Write("photo/one-pixel.jpg", Jpeg(1, 1, 3, false));
  Write("photo/truncated.jpg", colour.left(colour.size() / 2));
  Write("photo/65500x65500-header.jpg", WithFrameSize(colour, 65500, 65500));
  Write("photo/65500x65500-progressive-header.jpg",
        WithFrameSize(Jpeg(8, 8, 3, true), 65500, 65500));
  Write("photo/3000x1-header.jpg", WithFrameSize(colour, 3000, 1));
  Write("photo/png-renamed.jpg",
        QByteArray::fromBase64(
            "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAIAAACQd1PeAAAADElEQVQI12P4z8AAAAMBAQAY"
            "3Y2wAAAAAElFTkSuQmCC"));
  Write("photo/empty.jpg", QByteArray());
}

void Settings() {
  Write(
      "settings/full.txt",
      "; the vendor's settings\r\n[common]\r\nversion=1.0.0.2\r\nupdateUrl=http://127.0.0.1:1/"
      "files/setup/Tavrolin_Setup.exe\r\nupdateCritical=0x1\r\nShowAds=1\r\n[link1]\r\nurl1="
      "http://127.0.0.1:1/ads/big1.png\r\nurl2=http://127.0.0.1:1/ads/small1.jpg\r\nwww=http://"
      "127.0.0.1:1/partners\r\ntxt=Partner one\r\n[LINK2]\r\nURL1=http://127.0.0.1:1/a.jpg?v=2\r\n"
      "url2=\r\n[link7]\r\nurl1=http://\r\nurl2=..\r\n");
  Write("settings/odd-lines.txt",
        "orphan=1\n[common\n[]\n=x\n[common]\n  version = 2.0  \nShowAds=yes\nupdateCritical="
        "-2147483648\rupdateUrl=http://host/..\r[link3]\nurl1=http://h/a.bmp\nurl2=/\n");
  Write("settings/empty.txt", QByteArray());
}

void Names() {
  Write("names/plain.txt", "http://host/ads/a.jpg");
  Write("names/query.txt", "http://host/a.jpg?v=2");
  Write("names/dots.txt", "http://..");
  Write("names/bare-scheme.txt", "http://");
  Write("names/installer.txt", "http://host/files/setup/");
  Write("names/backslashes.txt", "https://host\\..\\..\\x.exe");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS-FOLDER\n", argv[0]);
    return 2;
  }
  Root = QString::fromLocal8Bit(argv[1]);
  Documents();
  StraightenedDocuments();
  Photos();
  Settings();
  Names();
  return 0;
}
