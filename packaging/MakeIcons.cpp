// Writes the program's logo as PNG icons of the given sizes, OUTDIR/SIZExSIZE/tavrolin.png, for
// the icon theme. The icons come from the very drawing the window uses, so the desktop shows
// the program's own picture at every size.
//   tavrolin_icons OUTDIR SIZE...
#include <cstdio>

#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include "Icons.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  if (args.size() < 3) {
    std::fprintf(stderr, "usage: tavrolin_icons OUTDIR SIZE...\n");
    return 2;
  }
  for (qsizetype i = 2; i < args.size(); ++i) {
    bool ok = false;
    const int size = args[i].toInt(&ok);
    if (!ok || size < 8 || size > 1024) {
      std::fprintf(stderr, "tavrolin_icons: bad size %s\n", args[i].toLocal8Bit().constData());
      return 2;
    }
    const QString folder = QStringLiteral("%1/%2x%2").arg(args[1]).arg(size);
    if (!QDir().mkpath(folder) || !LogoImage(size).save(folder + QStringLiteral("/tavrolin.png"))) {
      std::fprintf(stderr, "tavrolin_icons: cannot write into %s\n",
                   folder.toLocal8Bit().constData());
      return 1;
    }
  }
  return 0;
}
