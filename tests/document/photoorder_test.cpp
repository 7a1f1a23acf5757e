// The list rules without widgets: names, the insertion place, the order of added names, and the
// Up, Down and title-sort rearrangements.
#include <gtest/gtest.h>

#include <QLocale>

#include "PhotoOrder.h"

namespace {

// Rows "A", "B", ... with the selection marked by lower case: "aBcD" selects A and C.
TRowOrder Rows(const std::string& marked) {
  std::vector<bool> selected;
  for (char c : marked) selected.push_back(c >= 'a' && c <= 'z');
  return MakeRowOrder(selected);
}

// The order back in the same notation.
std::string Marked(const TRowOrder& rows) {
  std::string text;
  for (const TRowState& row : rows) {
    text += static_cast<char>((row.Selected ? 'a' : 'A') + row.Row);
  }
  return text;
}

TEST(PhotoNames, ExtensionsDecideWhatIsAPhotoOrADocument) {
  struct Case {
    const char* Path;
    bool Jpeg;
    bool Document;
  };
  const Case cases[] = {
      {"/p/IMG_1.jpg", true, false},        {"/p/IMG_1.JPEG", true, false},
      {"/p/scan.JpG", true, false},         {"/p/scan.png", false, false},
      {"/p/archive.jpg.png", false, false}, {"/p/jpg", false, false},
      {"/p.jpg/readme", false, false},      {"/p/notes.TavDoc", false, true},
      {"/p/NOTES.TAVDOC", false, true},     {"/p/notes.tavdoc.bak", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsJpegName(QString::fromUtf8(c.Path)), c.Jpeg) << c.Path;
    EXPECT_EQ(IsDocumentName(QString::fromUtf8(c.Path)), c.Document) << c.Path;
  }
  EXPECT_EQ(FileExtension(QStringLiteral("/a.b/c.tar.gz")), QStringLiteral(".gz"));
  EXPECT_EQ(FileExtension(QStringLiteral("/a.b/noext")), QString());
}

TEST(PhotoNames, OrdinalComparisonIsByCodeUnits) {
  EXPECT_LT(OrdinalCompare(QStringLiteral("B"), QStringLiteral("a")), 0);  // 'B' < 'a'
  EXPECT_LT(OrdinalCompare(QStringLiteral("IMG_10.jpg"), QStringLiteral("IMG_9.jpg")), 0);
  EXPECT_LT(OrdinalCompare(QStringLiteral("abc"), QStringLiteral("abcd")), 0);
  EXPECT_EQ(OrdinalCompare(QStringLiteral("abc"), QStringLiteral("abc")), 0);
  // A character beyond U+FFFF is stored as surrogates (D800..DFFF): by code units it sorts
  // below U+FF21 although its code point is higher.
  EXPECT_LT(OrdinalCompare(QString::fromUcs4(U"\U0001F600"), QString(QChar(0xFF21))), 0);
}

TEST(InsertionPlace, NewPhotoGoesBeforeTheFirstGreaterSecondColumn) {
  // Rows read from a document show the document's name; rows of added photos their folder.
  const QStringList columns = {QStringLiteral("/home/u/photos/"), QStringLiteral("notes.TavDoc"),
                               QStringLiteral("notes.TavDoc")};
  // A full path starting with "/" is smaller than "notes.TavDoc": it goes before those rows.
  EXPECT_EQ(InsertionPlace(columns, QStringLiteral("/home/u/photos/IMG_2.jpg")), 1);
  EXPECT_EQ(InsertionPlace(columns, QStringLiteral("C:/scans/a.jpg")), 1);
  EXPECT_EQ(InsertionPlace(columns, QStringLiteral("/a/b.jpg")), 0);
  EXPECT_EQ(InsertionPlace(columns, QStringLiteral("z.jpg")), 3);
  EXPECT_EQ(InsertionPlace({}, QStringLiteral("/x.jpg")), 0);
  // A folder is a prefix of the paths inside it, so photos of one folder keep being appended.
  const QStringList oneFolder = {QStringLiteral("/p/"), QStringLiteral("/p/")};
  EXPECT_EQ(InsertionPlace(oneFolder, QStringLiteral("/p/A.jpg")), 2);
}

TEST(SortedForAdding, IgnoresCaseAndKeepsEqualNamesInOrder) {
  const QStringList names = {QStringLiteral("/p/c.jpg"), QStringLiteral("/p/B.jpg"),
                             QStringLiteral("/p/a.jpg"), QStringLiteral("/p/A.jpg")};
  for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates)}) {
    EXPECT_EQ(SortedForAdding(names, locale),
              QStringList({QStringLiteral("/p/a.jpg"), QStringLiteral("/p/A.jpg"),
                           QStringLiteral("/p/B.jpg"), QStringLiteral("/p/c.jpg")}))
        << locale.name().toStdString();
  }
}

TEST(RowMoves, UpAndDownMoveSelectedBlocks) {
  struct Case {
    const char* Before;
    const char* Up;
    const char* Down;
  };
  // clang-format off
  const Case cases[] = {
      {"aBCD", "aBCD", "BaCD"},  // row 0 cannot move up
      {"ABCd", "ABdC", "ABCd"},  // the last row cannot move down
      {"abcD", "bcaD", "Dabc"},  // A, B, C up: the rows below A move past it
      {"Abcd", "bcdA", "Adbc"},  // B, C, D down: D moves past the block
      {"AbcD", "bcAD", "ADbc"},
      {"aBcD", "acBD", "BaDc"},
      {"ABCD", "ABCD", "ABCD"},
      {"", "", ""},
      {"a", "a", "a"},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(Marked(MoveSelectedUp(Rows(c.Before))), c.Up) << "Up " << c.Before;
    EXPECT_EQ(Marked(MoveSelectedDown(Rows(c.Before))), c.Down) << "Down " << c.Before;
  }
  // The examples as given: A, B, C selected and Up gives B, C, A, D; B, C, D selected and Down
  // gives A, D, B, C.
  EXPECT_EQ(Marked(MoveSelectedUp(Rows("abcD"))), "bcaD");
  EXPECT_EQ(Marked(MoveSelectedDown(Rows("Abcd"))), "Adbc");
}

TEST(RowMoves, SortByTitleIsStableOrdinalAndDropsTheSelectionOfMovedRows) {
  const QStringList titles = {QStringLiteral("b"), QStringLiteral("B"), QStringLiteral("a")};
  const TRowOrder sorted = SortByTitle(MakeRowOrder({true, true, true}), titles);
  QStringList result;
  for (const TRowState& row : sorted) result << titles[row.Row];
  EXPECT_EQ(result, QStringList({QStringLiteral("B"), QStringLiteral("a"), QStringLiteral("b")}));
  // "b" moved down twice and lost its selection; "B" and "a" only moved up.
  EXPECT_EQ(Marked(sorted), "bcA");

  const QStringList numbered = {QStringLiteral("IMG_9.jpg"), QStringLiteral("IMG_10.jpg")};
  EXPECT_EQ(Marked(SortByTitle(Rows("AB"), numbered)), "BA");

  const QStringList equal = {QStringLiteral("x"), QStringLiteral("x"), QStringLiteral("x")};
  EXPECT_EQ(Marked(SortByTitle(Rows("AbC"), equal)), "AbC");
}

TEST(RowMoves, SelectionAfterRemoval) {
  EXPECT_EQ(SelectionAfterRemoval(2, 2), 1);    // the last three of five removed
  EXPECT_EQ(SelectionAfterRemoval(1, 3), 1);    // rows 1 and 2 of five removed
  EXPECT_EQ(SelectionAfterRemoval(0, 0), -1);   // everything removed
  EXPECT_EQ(SelectionAfterRemoval(-1, 4), -1);  // nothing was selected
}

}  // namespace
