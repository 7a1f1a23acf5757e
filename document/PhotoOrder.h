#pragma once
// The rules of the photo list that need no widgets: which files count as photos or documents,
// where a new row goes, in which order added names are taken, and how Up, Down and the title
// sort rearrange rows. The list applies the results to its rows.
#include <vector>

#include <QString>
#include <QStringList>

class QLocale;

// The extension of a path's file name from its last "." (dot included); empty without a dot.
QString FileExtension(const QString& path);
// ".JPG" or ".JPEG" in any letter case.
bool IsJpegName(const QString& path);
// ".TavDoc" in any letter case.
bool IsDocumentName(const QString& path);

// Ordinal comparison of UTF-16 code units; where one text is a prefix of the other, the
// shorter is smaller. Negative, zero or positive.
int OrdinalCompare(const QString& a, const QString& b);

// Where a photo at `path` joins the list: the index of the first row whose second column
// compares greater than `path`, or the number of rows.
int InsertionPlace(const QStringList& secondColumns, const QString& path);

// The names in the order they are added: case-insensitive, with the comparison of `locale`.
// Equal names keep their order.
QStringList SortedForAdding(const QStringList& names, const QLocale& locale);

// A row during a rearrangement: the index it had before, and whether it is selected.
struct TRowState {
  int Row = 0;
  bool Selected = false;
};
using TRowOrder = std::vector<TRowState>;

// The rows 0..count-1 with the given selection.
TRowOrder MakeRowOrder(const std::vector<bool>& selected);

// "Up": from the second row downwards, every selected row trades places with the row above it,
// so a block of adjacent selected rows moves as a block and row 0 never moves up.
TRowOrder MoveSelectedUp(TRowOrder rows);
// "Down": the mirror image, from the second last row upwards.
TRowOrder MoveSelectedDown(TRowOrder rows);
// "Sort by name": exchange passes until one makes no exchange, comparing titles ordinally
// (`titles` indexed by the rows' former index). Equal titles keep their order; a row that moved
// down past its neighbour loses its selection.
TRowOrder SortByTitle(TRowOrder rows, const QStringList& titles);

// The row selected after removing rows: the first selected index before the removal, or the new
// last row when that index is past the end; -1 for none.
int SelectionAfterRemoval(int firstSelected, int newCount);
