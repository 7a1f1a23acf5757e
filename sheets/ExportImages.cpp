#include "ExportImages.h"

#include <stdexcept>

#include <QDir>

#include "Shpora.h"
#include "WaitProtocol.h"

QString ExportExtension(int32_t format) {
  switch (format) {
    case ExportJpeg:
      return QStringLiteral(".jpg");
    case ExportPng:
      return QStringLiteral(".png");
    default:
      return QString();
  }
}

QString ExportNumber(int32_t position) {
  return QStringLiteral("%1").arg(position, 3, 10, QLatin1Char('0'));
}

QString PrepareExportFolder(const QString& folderText) {
  if (folderText.isEmpty()) throw std::runtime_error("Unable to create directory");
  if (!QDir().mkpath(folderText))
    throw std::runtime_error(
        QStringLiteral("Unable to create directory \"%1\"").arg(folderText).toStdString());
  return folderText.endsWith(QLatin1Char('/')) ? folderText : folderText + QLatin1Char('/');
}

int32_t ExportImages(const std::vector<TShpora*>& photos, IWaitProtocol& wait,
                     const TExportSettings& settings) {
  if (photos.empty()) return 0;
  const QString folder = PrepareExportFolder(settings.Folder);
  const QString extension = ExportExtension(settings.Format);
  if (extension.isEmpty()) return 0;
  const QString base = folder + settings.Prefix;
  const int32_t count = static_cast<int32_t>(photos.size());

  // The scope closes the wait dialog also when a page fails to write.
  TWaitScope scope(wait, QStringLiteral("Please wait..."),
                   QStringLiteral("Exporting images...") + QStringLiteral("..."), 0, count - 1);
  int32_t written = 0;
  for (int32_t i = 0; i < count; ++i) {
    wait.SetProgress(i);
    if (!wait.Running()) break;
    TShpora* photo = photos[static_cast<size_t>(i)];
    if (photo == nullptr) continue;
    photo->ExportPage(base + ExportNumber(i) + extension, settings.Format == ExportPng, 0, 0);
    ++written;
  }
  return written;
}
