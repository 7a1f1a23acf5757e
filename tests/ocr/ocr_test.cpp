// Recognition on pages drawn here with known text at about 300 dpi: the text comes back with few
// wrong characters, each word's box lies where the word was drawn, the page's turn is told in
// all four positions, and recognitions in parallel give what they give one at a time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <future>
#include <string>

#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QTransform>

#include "Ocr.h"

namespace {

struct TDrawnWord {
  QString Text;
  QRect Box;  // the advance across, ascent to descent down
};

struct TTestPage {
  std::unique_ptr<TFastDIB> Picture;
  QImage Image;
  std::vector<TDrawnWord> Words;
};

std::unique_ptr<TFastDIB> ToGrayDIB(const QImage& source) {
  const QImage image = source.convertToFormat(QImage::Format_Grayscale8);
  auto dib = std::make_unique<TFastDIB>(image.width(), 8, image.height());
  for (int i = 0; i < 256; ++i)
    dib->Colors[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0};
  for (int y = 0; y < image.height(); ++y)
    std::memcpy(dib->Scanlines[static_cast<size_t>(image.height() - 1 - y)], image.constScanLine(y),
                static_cast<size_t>(image.width()));
  return dib;
}

// Black text on white, 12-point letters at 300 dpi (50 pixels), one line per string.
TTestPage DrawPage(const QStringList& lines, int width = 1300) {
  TTestPage page;
  const int lineHeight = 80, margin = 60;
  page.Image =
      QImage(width, 2 * margin + lineHeight * static_cast<int>(lines.size()), QImage::Format_RGB32);
  page.Image.fill(Qt::white);
  QFont font(QStringLiteral("Carlito"));
  font.setPixelSize(50);
  QPainter painter(&page.Image);
  painter.setFont(font);
  painter.setPen(Qt::black);
  const QFontMetrics metrics(font);
  int baseline = margin + metrics.ascent();
  for (const QString& line : lines) {
    painter.drawText(margin, baseline, line);
    int x = margin;
    for (const QString& word : line.split(' ')) {
      const int advance = metrics.horizontalAdvance(word);
      page.Words.push_back(
          {word, QRect(x, baseline - metrics.ascent(), advance, metrics.height())});
      x += advance + metrics.horizontalAdvance(' ');
    }
    baseline += lineHeight;
  }
  painter.end();
  page.Picture = ToGrayDIB(page.Image);
  return page;
}

int EditDistance(const std::u32string& a, const std::u32string& b) {
  std::vector<int> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = static_cast<int>(j);
  for (size_t i = 1; i <= a.size(); ++i) {
    int diagonal = row[0];
    row[0] = static_cast<int>(i);
    for (size_t j = 1; j <= b.size(); ++j) {
      const int above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// The recognised words as lines of text, words joined by spaces.
QStringList LinesOf(const std::vector<TOcrWord>& words) {
  QStringList lines;
  for (const TOcrWord& word : words) {
    while (lines.size() <= word.Line) lines << QString();
    QString& line = lines[word.Line];
    line += (line.isEmpty() ? "" : " ") + word.Text;
  }
  return lines;
}

std::u32string U32(const QString& text) {
  const QList<uint> codes = text.toUcs4();
  return std::u32string(codes.begin(), codes.end());
}

void RequireLanguages(const QStringList& names) {
  const QStringList installed = InstalledOcrLanguages();
  for (const QString& name : names)
    if (!installed.contains(name))
      GTEST_SKIP() << "no recognition data for " << name.toStdString()
                   << " (Debian package tesseract-ocr-" << name.toStdString() << ")";
}

struct TTextCase {
  const char* Name;
  const char* Language;
  QStringList Lines;
};

class OcrTextTest : public ::testing::TestWithParam<TTextCase> {};

// The bound on the share of wrong characters: clean printed text at 300 dpi is read nearly
// perfectly; 3 % leaves room for a confused accent or two, not for a misread line.
constexpr double kMostWrongCharacters = 0.03;

TEST_P(OcrTextTest, ReadsTheDrawnText) {
  const TTextCase& c = GetParam();
  RequireLanguages(QString::fromLatin1(c.Language).split('+'));
  const TTestPage page = DrawPage(c.Lines);
  const std::vector<TOcrWord> words = RecogniseWords(*page.Picture, c.Language);

  const QString expected = c.Lines.join('\n'), got = LinesOf(words).join('\n');
  const double wrong = static_cast<double>(EditDistance(U32(expected), U32(got))) /
                       static_cast<double>(U32(expected).size());
  EXPECT_LT(wrong, kMostWrongCharacters) << "read:\n" << got.toStdString();
  EXPECT_EQ(LinesOf(words).size(), c.Lines.size());

  // Every word read right lies in the box it was drawn in: the recogniser boxes the ink, the
  // drawn box runs to the advance, so the ends may differ by a letter's side bearing (a fifth of
  // the 50-pixel letter size).
  constexpr int kSlack = 10;
  int placed = 0;
  for (const TOcrWord& word : words) {
    EXPECT_GE(word.Confidence, 0);
    EXPECT_LE(word.Confidence, 100);
    const auto drawn = std::find_if(page.Words.begin(), page.Words.end(), [&](const TDrawnWord& d) {
      return d.Text == word.Text &&
             d.Box.adjusted(-kSlack, -kSlack, kSlack, kSlack).contains(word.Box.center());
    });
    if (drawn == page.Words.end()) continue;
    ++placed;
    SCOPED_TRACE(word.Text.toStdString());
    EXPECT_TRUE(drawn->Box.adjusted(-kSlack, -kSlack, kSlack, kSlack).contains(word.Box));
    EXPECT_NEAR(word.Box.left(), drawn->Box.left(), kSlack);
    EXPECT_NEAR(word.Box.right(), drawn->Box.right(), kSlack);
  }
  EXPECT_GE(placed, static_cast<int>(page.Words.size()) - 1);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, OcrTextTest,
    ::testing::Values(TTextCase{"Latin",
                                "eng+deu+fra",
                                {"The quick brown fox jumps over",
                                 QString::fromUtf8("Grüße aus Köln, schöne Straße"),
                                 QString::fromUtf8("Où est l'élève? Déjà vu.")}},
                      TTextCase{"Cyrillic",
                                "rus",
                                {QString::fromUtf8("Съешь же ещё этих мягких"),
                                 QString::fromUtf8("французских булок, да выпей чаю")}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(OcrTest, ParallelCallsGiveTheSameWords) {
  RequireLanguages({"eng"});
  const TTestPage first = DrawPage({"First page of two", "runs beside the second"});
  const TTestPage second = DrawPage({"Second page here", "with other words"});
  const auto alone = RecogniseWords(*first.Picture, "eng");
  auto a = std::async(std::launch::async, [&] { return RecogniseWords(*first.Picture, "eng"); });
  auto b = std::async(std::launch::async, [&] { return RecogniseWords(*second.Picture, "eng"); });
  const auto together = a.get();
  EXPECT_EQ(LinesOf(together), LinesOf(alone));
  EXPECT_EQ(LinesOf(b.get()), QStringList({"Second page here", "with other words"}));
}

TEST(OcrTest, RefusesWhatItCannotRead) {
  EXPECT_THROW(RecogniseWords(TFastDIB(8, 32, 8), "eng"), std::runtime_error);
  try {
    RecogniseWords(TFastDIB(8, 8, 8), "xx1");
    FAIL() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Text recognition for the language \"xx1\" is not installed");
  }
  RequireLanguages({"eng"});
  EXPECT_TRUE(RecogniseWords(TFastDIB(), "eng").empty());
  const QStringList installed = InstalledOcrLanguages();
  EXPECT_FALSE(installed.contains("osd"));
  EXPECT_TRUE(std::is_sorted(installed.begin(), installed.end()));
}

class OcrTurnTest : public ::testing::TestWithParam<int> {};

TEST_P(OcrTurnTest, TellsHowThePageIsTurned) {
  if (OcrDataFolder().isEmpty() || !QFile::exists(OcrDataFolder() + "/osd.traineddata"))
    GTEST_SKIP() << "no orientation data (Debian package tesseract-ocr-osd)";
  const TTestPage page =
      DrawPage({"Orientation is found from the shapes", "of many letters on a page,",
                "so this page carries a few lines", "of ordinary English text to",
                "give the detector enough to see."});
  const int turn = GetParam();
  // QTransform turns clockwise on the picture for positive angles, y pointing down.
  const QImage turned = page.Image.transformed(QTransform().rotate(turn));
  EXPECT_EQ(DetectPageTurn(*ToGrayDIB(turned)), std::optional<int>(turn));
}

INSTANTIATE_TEST_SUITE_P(Turns, OcrTurnTest, ::testing::Values(0, 90, 180, 270),
                         [](const auto& info) { return "Clockwise" + std::to_string(info.param); });

TEST(OcrTest, ABlankPageHasNoTurn) {
  if (OcrDataFolder().isEmpty() || !QFile::exists(OcrDataFolder() + "/osd.traineddata"))
    GTEST_SKIP() << "no orientation data (Debian package tesseract-ocr-osd)";
  TFastDIB blank(600, 24, 400);
  for (uint8_t* row : blank.Scanlines) std::memset(row, 255, 600 * 3);
  EXPECT_EQ(DetectPageTurn(blank), std::nullopt);
}

}  // namespace
