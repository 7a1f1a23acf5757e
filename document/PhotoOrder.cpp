#include "PhotoOrder.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include <QCollator>
#include <QLocale>

namespace {

QString AsciiUpper(QString text) {
  for (QChar& c : text) {
    if (c >= u'a' && c <= u'z') c = QChar(c.unicode() - u'a' + u'A');
  }
  return text;
}

QString FileNameOf(const QString& path) { return path.mid(path.lastIndexOf(u'/') + 1); }

}  // namespace

QString FileExtension(const QString& path) {
  const QString name = FileNameOf(path);
  const qsizetype dot = name.lastIndexOf(u'.');
  return dot < 0 ? QString() : name.mid(dot);
}

bool IsJpegName(const QString& path) {
  const QString ext = AsciiUpper(FileExtension(path));
  return ext == QLatin1String(".JPG") || ext == QLatin1String(".JPEG");
}

bool IsDocumentName(const QString& path) {
  return AsciiUpper(FileExtension(path)) == QLatin1String(".TAVDOC");
}

int OrdinalCompare(const QString& a, const QString& b) {
  const std::u16string_view x(reinterpret_cast<const char16_t*>(a.utf16()), a.size());
  const std::u16string_view y(reinterpret_cast<const char16_t*>(b.utf16()), b.size());
  const int c = x.compare(y);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int InsertionPlace(const QStringList& secondColumns, const QString& path) {
  for (qsizetype i = 0; i < secondColumns.size(); ++i) {
    if (OrdinalCompare(secondColumns[i], path) > 0) return static_cast<int>(i);
  }
  return static_cast<int>(secondColumns.size());
}

QStringList SortedForAdding(const QStringList& names, const QLocale& locale) {
  QCollator collator(locale);
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  QStringList sorted = names;
  std::stable_sort(sorted.begin(), sorted.end(), [&collator](const QString& a, const QString& b) {
    return collator.compare(a, b) < 0;
  });
  return sorted;
}

TRowOrder MakeRowOrder(const std::vector<bool>& selected) {
  TRowOrder rows(selected.size());
  for (size_t i = 0; i < selected.size(); ++i) rows[i] = {static_cast<int>(i), selected[i]};
  return rows;
}

TRowOrder MoveSelectedUp(TRowOrder rows) {
  for (size_t i = 1; i < rows.size(); ++i) {
    if (rows[i].Selected) std::swap(rows[i - 1], rows[i]);
  }
  return rows;
}

TRowOrder MoveSelectedDown(TRowOrder rows) {
  for (size_t i = rows.size() >= 2 ? rows.size() - 1 : 0; i-- > 0;) {
    if (rows[i].Selected) std::swap(rows[i], rows[i + 1]);
  }
  return rows;
}

TRowOrder SortByTitle(TRowOrder rows, const QStringList& titles) {
  bool exchanged = true;
  while (exchanged) {
    exchanged = false;
    for (size_t i = 0; i + 1 < rows.size(); ++i) {
      if (OrdinalCompare(titles[rows[i].Row], titles[rows[i + 1].Row]) > 0) {
        // The row moving down is a fresh copy of the old one: it does not keep the selection.
        rows[i].Selected = false;
        std::swap(rows[i], rows[i + 1]);
        exchanged = true;
      }
    }
  }
  return rows;
}

int SelectionAfterRemoval(int firstSelected, int newCount) {
  return firstSelected >= newCount ? newCount - 1 : firstSelected;
}
