// Not built: the sample that the widget include scan must object to (tests/sheets/CMakeLists.txt).
#include <QAction>
#include <QDialog>
#include <QImage>
#include <QtPrintSupport/QPrinter>
