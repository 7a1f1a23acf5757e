#include "ShellIntegration.h"

#include <exception>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QXmlStreamReader>

#include "Codecs.h"
#include "Icons.h"

namespace {

constexpr int kToolTimeoutMs = 15000;
constexpr int kIconSize = 64;

// A glob claims the name when it matches it; a glob of nothing but wildcards is nobody's claim.
bool GlobMatches(const QString& glob, const QString& fileName, bool caseSensitive) {
  if (glob.isEmpty() || glob.count(u'*') + glob.count(u'?') == glob.size()) return false;
  const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(glob),
                              caseSensitive ? QRegularExpression::NoPatternOption
                                            : QRegularExpression::CaseInsensitiveOption);
  return re.isValid() && re.match(fileName).hasMatch();
}

// The compiled database: "weight:type:glob[:flags]" in globs2, "type:glob" in the older globs.
bool GlobsFileClaims(const QString& path, int globField, const QString& fileName) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
  while (!file.atEnd()) {
    const QString line = QString::fromUtf8(file.readLine()).trimmed();
    if (line.isEmpty() || line.startsWith(u'#')) continue;
    const QStringList fields = line.split(u':');
    if (fields.size() <= globField) continue;
    const bool cs = fields.size() > globField + 1 &&
                    fields.mid(globField + 1).join(u':').split(u',').contains(QStringLiteral("cs"));
    if (GlobMatches(fields[globField], fileName, cs)) return true;
  }
  return false;
}

// A package in mime/packages that update-mime-database has not compiled yet still counts.
bool PackageClaims(const QString& path, const QString& fileName) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  QXmlStreamReader xml(&file);
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("glob")) {
      continue;
    }
    const auto attributes = xml.attributes();
    const bool cs = attributes.value(QLatin1String("case-sensitive")) == QLatin1String("true");
    if (GlobMatches(attributes.value(QLatin1String("pattern")).toString(), fileName, cs)) {
      return true;
    }
  }
  return false;
}

QByteArray MimePackage() {
  return QByteArrayLiteral(
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
             "  <mime-type type=\"") +
         kDocumentMimeType +
         QByteArrayLiteral(
             "\">\n"
             "    <comment>Tavrolin Document</comment>\n"
             "    <icon name=\"tavrolin\"/>\n"
             "    <glob pattern=\"*.TavDoc\"/>\n"
             "  </mime-type>\n"
             "</mime-info>\n");
}

QByteArray DesktopEntry(const QString& exePath) {
  QString text;
  text += QStringLiteral("[Desktop Entry]\n");
  text += QStringLiteral("Type=Application\n");
  text += QStringLiteral("Name=Tavrolin\n");
  text += QStringLiteral("Comment=Turns photos of pages into paper photocopies\n");
  text += QStringLiteral("Exec=") + DesktopExecArgument(exePath) + QStringLiteral(" %f\n");
  text += QStringLiteral("Icon=tavrolin\n");
  text += QStringLiteral("Terminal=false\n");
  text += QStringLiteral("MimeType=") + QLatin1String(kDocumentMimeType) + QStringLiteral(";\n");
  text += QStringLiteral("Categories=Graphics;Photography;\n");
  return text.toUtf8();
}

QByteArray IconPng() {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  LogoImage(kIconSize).save(&buffer, "PNG");
  return png;
}

void WriteInto(const QString& folder, const QString& name, const QByteArray& data) {
  if (!QDir().mkpath(folder)) throw std::runtime_error("cannot create a folder");
  WriteFileSafely(folder + u'/' + name, data);
}

// Lets the desktop see the new files at once; without the tools it sees them at its next
// database update.
void RunIfPresent(const QString& tool, const QString& folder) {
  const QString program = QStandardPaths::findExecutable(tool);
  if (program.isEmpty()) return;
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(program, {folder});
  if (process.waitForStarted(kToolTimeoutMs)) process.waitForFinished(kToolTimeoutMs);
}

void WriteAssociation(const QString& exePath) {
  const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (dataHome.isEmpty()) throw std::runtime_error("no data folder");
  const QString mime = dataHome + QStringLiteral("/mime");
  const QString applications = dataHome + QStringLiteral("/applications");
  WriteInto(mime + QStringLiteral("/packages"), QStringLiteral("tavrolin.xml"), MimePackage());
  WriteInto(applications, QLatin1String(kDesktopEntryName), DesktopEntry(exePath));
  WriteInto(dataHome + QStringLiteral("/icons/hicolor/%1x%1/apps").arg(kIconSize),
            QStringLiteral("tavrolin.png"), IconPng());
  RunIfPresent(QStringLiteral("update-mime-database"), mime);
  RunIfPresent(QStringLiteral("update-desktop-database"), applications);
}

}  // namespace

QString DesktopExecArgument(const QString& path) {
  QString quoted = QStringLiteral("\"");
  for (QChar c : path) {
    if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') quoted += u'\\';
    if (c == u'%') quoted += u'%';
    quoted += c;
  }
  quoted += u'"';
  // The value is also a desktop-entry string, whose own escapes apply before the quoting rule.
  QString value;
  for (QChar c : quoted) {
    if (c == u'\\')
      value += QStringLiteral("\\\\");
    else if (c == u'\n')
      value += QStringLiteral("\\n");
    else if (c == u'\t')
      value += QStringLiteral("\\t");
    else if (c == u'\r')
      value += QStringLiteral("\\r");
    else
      value += c;
  }
  return value;
}

bool MimeTypeClaims(const QString& fileName) {
  for (const QString& dir :
       QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
    const QString mime = dir + QStringLiteral("/mime/");
    if (GlobsFileClaims(mime + QStringLiteral("globs2"), 2, fileName)) return true;
    if (GlobsFileClaims(mime + QStringLiteral("globs"), 1, fileName)) return true;
    const QDir packages(mime + QStringLiteral("packages"));
    for (const QString& name : packages.entryList({QStringLiteral("*.xml")}, QDir::Files)) {
      if (PackageClaims(packages.filePath(name), fileName)) return true;
    }
  }
  return false;
}

QString VersionSettingsFile() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/Tavrolin/Tavrolin.ini");
}

bool RegisterFileType(const QString& exePath, const QString& exeVersion) {
  try {
    if (!MimeTypeClaims(QStringLiteral("document.TavDoc"))) WriteAssociation(exePath);

    // An explicit file rather than QSettings' default paths, which are fixed at first use.
    const QString file = VersionSettingsFile();
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSettings settings(file, QSettings::IniFormat);
    if (settings.value(QStringLiteral("Version"), QStringLiteral("xxx")).toString() == exeVersion) {
      return false;
    }
    settings.setValue(QStringLiteral("Version"), exeVersion);
    settings.sync();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}
