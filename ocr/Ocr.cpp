#include "Ocr.h"

#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <memory>
#include <stdexcept>
#include <string>

#include <QDir>
#include <QFileInfo>

namespace {

// Tesseract works on gray; a picture is handed over as 8-bit samples, top row first.
std::vector<uint8_t> GraySamples(const TFastDIB& page) {
  const size_t width = static_cast<size_t>(page.Width());
  std::vector<uint8_t> samples(width * static_cast<size_t>(page.AbsHeight));
  for (int32_t y = 0; y < page.AbsHeight; ++y) {
    const uint8_t* row = page.Scanlines[static_cast<size_t>(page.AbsHeight - 1 - y)];
    uint8_t* out = &samples[static_cast<size_t>(y) * width];
    if (page.BitCount() == 8) {
      for (size_t x = 0; x < width; ++x) {
        const PaletteEntry& c = page.Colors[row[x]];
        out[x] = static_cast<uint8_t>((c.Red * 299 + c.Green * 587 + c.Blue * 114 + 500) / 1000);
      }
    } else {
      for (size_t x = 0; x < width; ++x, row += 3)
        out[x] = static_cast<uint8_t>((row[2] * 299 + row[1] * 587 + row[0] * 114 + 500) / 1000);
    }
  }
  return samples;
}

void RequirePicture(const TFastDIB& page) {
  if (!page.IsEmpty() && page.BitCount() != 8 && page.BitCount() != 24)
    throw std::runtime_error("Text can be recognised only on 8- or 24-bit pictures");
}

// A recogniser for `language`; ends it on every path.
struct TRecogniser {
  tesseract::TessBaseAPI Api;
  TRecogniser(const QString& language, tesseract::OcrEngineMode mode) {
    const QString folder = OcrDataFolder();
    const QStringList installed = InstalledOcrLanguages() << QStringLiteral("osd");
    for (const QString& name : language.split('+'))
      if (!installed.contains(name))
        throw std::runtime_error(
            QStringLiteral("Text recognition for the language \"%1\" is not installed")
                .arg(name)
                .toStdString());
    if (Api.Init(QFile::encodeName(folder).constData(), language.toUtf8().constData(), mode) != 0)
      throw std::runtime_error(QStringLiteral("Text recognition could not start for \"%1\"")
                                   .arg(language)
                                   .toStdString());
  }
  ~TRecogniser() { Api.End(); }
  void SetPage(const std::vector<uint8_t>& samples, const TFastDIB& page, int dpi) {
    // Tesseract's notes ("Too few characters", resolution guesses) are for its own command
    // line; the program says what matters itself.
    Api.SetVariable("debug_file", "/dev/null");
    // The orientation pass reads the resolution from here, not from SetSourceResolution.
    Api.SetVariable("user_defined_dpi", std::to_string(dpi).c_str());
    Api.SetImage(samples.data(), page.Width(), page.AbsHeight, 1, page.Width());
    Api.SetSourceResolution(dpi);
  }
};

}  // namespace

QString OcrDataFolder() {
  const QString prefix = qEnvironmentVariable("TESSDATA_PREFIX");
  if (!prefix.isEmpty()) {
    if (QDir(prefix + QStringLiteral("/tessdata")).exists())
      return prefix + QStringLiteral("/tessdata");
    return prefix;
  }
  for (const char* folder : {"/usr/share/tesseract-ocr/5/tessdata",
                             "/usr/share/tesseract-ocr/4.00/tessdata", "/usr/share/tessdata"})
    if (QDir(QString::fromLatin1(folder)).exists()) return QString::fromLatin1(folder);
  return {};
}

QStringList InstalledOcrLanguages() {
  const QString folder = OcrDataFolder();
  if (folder.isEmpty()) return {};
  QStringList languages;
  for (const QFileInfo& file :
       QDir(folder).entryInfoList({"*.traineddata"}, QDir::Files, QDir::Name))
    if (file.completeBaseName() != QLatin1String("osd")) languages << file.completeBaseName();
  return languages;
}

std::vector<TOcrWord> RecogniseWords(const TFastDIB& page, const QString& language, int dpi) {
  RequirePicture(page);
  TRecogniser recogniser(language, tesseract::OEM_LSTM_ONLY);
  if (page.IsEmpty()) return {};
  const std::vector<uint8_t> samples = GraySamples(page);
  recogniser.SetPage(samples, page, dpi);
  if (recogniser.Api.Recognize(nullptr) != 0)
    throw std::runtime_error("Text recognition failed on a page");
  std::vector<TOcrWord> words;
  std::unique_ptr<tesseract::ResultIterator> it(recogniser.Api.GetIterator());
  if (!it) return words;
  int32_t line = -1;
  do {
    if (it->Empty(tesseract::RIL_WORD)) continue;
    if (it->IsAtBeginningOf(tesseract::RIL_TEXTLINE) || line < 0) ++line;
    std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_WORD));
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    if (!text || !it->BoundingBox(tesseract::RIL_WORD, &x0, &y0, &x1, &y1)) continue;
    TOcrWord word;
    word.Text = QString::fromUtf8(text.get()).trimmed();
    if (word.Text.isEmpty()) continue;
    word.Box = QRect(QPoint(x0, y0), QPoint(x1 - 1, y1 - 1));
    word.Confidence = it->Confidence(tesseract::RIL_WORD);
    word.Line = line;
    words.push_back(std::move(word));
  } while (it->Next(tesseract::RIL_WORD));
  return words;
}

std::optional<int> DetectPageTurn(const TFastDIB& page, int dpi) {
  RequirePicture(page);
  TRecogniser recogniser(QStringLiteral("osd"), tesseract::OEM_TESSERACT_ONLY);
  if (page.IsEmpty()) return std::nullopt;
  const std::vector<uint8_t> samples = GraySamples(page);
  recogniser.SetPage(samples, page, dpi);
  recogniser.Api.SetPageSegMode(tesseract::PSM_OSD_ONLY);
  int degrees = 0;
  float confidence = 0, scriptConfidence = 0;
  const char* script = nullptr;
  if (!recogniser.Api.DetectOrientationScript(&degrees, &confidence, &script, &scriptConfidence))
    return std::nullopt;
  // Below this the detector is guessing; its own tool reports such pages but they flip often.
  constexpr float kLeastConfidence = 2.0f;
  if (confidence < kLeastConfidence) return std::nullopt;
  return ((degrees % 360) + 360) % 360;
}
