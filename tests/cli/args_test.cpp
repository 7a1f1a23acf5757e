// The argument checks, straight on the parsing functions: every accepted form and the usage
// errors that keep a mistyped command from touching a document.
#include <gtest/gtest.h>

#include <cstdio>

#include "CaseNames.h"
#include "CliArgs.h"
#include "TerminalWait.h"

namespace {

const std::vector<TOptionSpec> kSpecs = {TOptionSpec("--rows"), TOptionSpec("--json", false),
                                         TOptionSpec("--output", true, "-o")};

TEST(SplitArguments, TakesEveryFormOfOptionsAndKeepsPositionalOrder) {
  const TParsedArgs a = SplitArguments(
      {"doc.TavDoc", "--rows", "3", "a.jpg", "--json", "-o", "out.png", "--", "--b.jpg"}, kSpecs);
  EXPECT_EQ(a.Positional, QStringList({"doc.TavDoc", "a.jpg", "--b.jpg"}));
  EXPECT_EQ(a.Value("--rows"), "3");
  EXPECT_TRUE(a.Has("--json"));
  EXPECT_EQ(a.Value("--output"), "out.png");
  EXPECT_FALSE(a.Help);

  const TParsedArgs b = SplitArguments({"--rows=-2", "x", "-h"}, kSpecs);
  EXPECT_EQ(b.Value("--rows"), "-2");
  EXPECT_TRUE(b.Help);
  // A value that looks like a negative number is still the option's value.
  EXPECT_EQ(SplitArguments({"--rows", "-5"}, kSpecs).Value("--rows"), "-5");
}

TEST(SplitArguments, RefusesWhatItCannotRead) {
  for (const QStringList& args : std::vector<QStringList>{{"--colour", "red"},
                                                          {"--rows"},
                                                          {"--json=yes"},
                                                          {"--rows", "1", "--rows", "2"},
                                                          {"-x"}}) {
    EXPECT_THROW(SplitArguments(args, kSpecs), TUsageError) << args.join(' ').toStdString();
  }
}

TEST(ParseIntInRange, AcceptsPlainDecimalsWithinTheRangeOnly) {
  EXPECT_EQ(ParseIntInRange("--x", "-20", -20, 20), -20);
  EXPECT_EQ(ParseIntInRange("--x", "+20", -20, 20), 20);
  EXPECT_EQ(ParseIntInRange("--x", " 7 ", -20, 20), 7);
  for (const char* bad : {"21", "-21", "", "0x10", "1.5", "5a", "99999999999999999999"}) {
    EXPECT_THROW(ParseIntInRange("--x", bad, -20, 20), TUsageError) << bad;
  }
  try {
    ParseIntInRange("--brightness", "25", -20, 20);
  } catch (const TUsageError& e) {
    EXPECT_STREQ(e.what(), "--brightness: 25 is out of range (-20 to 20)");
  }
}

TEST(ParseChoices, GiveTheItemIndexOfTheEditorsLists) {
  EXPECT_EQ(ParseOrder("rows"), 0);
  EXPECT_EQ(ParseOrder("Columns"), 1);
  EXPECT_EQ(ParseImageType("colored"), 0);
  EXPECT_EQ(ParseImageType("grayscale"), 1);
  EXPECT_EQ(ParseRotation("no"), 0);
  EXPECT_EQ(ParseRotation("90cw"), 1);
  EXPECT_EQ(ParseRotation("90ccw"), 2);
  EXPECT_EQ(ParseRotation("180"), 3);
  EXPECT_EQ(ParseExportFormat("jpg"), 0);
  EXPECT_EQ(ParseExportFormat("png"), 1);
  EXPECT_THROW(ParseOrder("diagonal"), TUsageError);
  EXPECT_THROW(ParseImageType("sepia"), TUsageError);
  EXPECT_THROW(ParseRotation("90"), TUsageError);
  EXPECT_THROW(ParseExportFormat("bmp"), TUsageError);
}

TEST(PhotoSelection, CountsPositionsFromOneAsApplyToManyDoes) {
  using V = std::vector<int32_t>;
  EXPECT_EQ(SelectedIndexes(ParsePhotoSelection("all"), 5), V({0, 1, 2, 3, 4}));
  EXPECT_EQ(SelectedIndexes(ParsePhotoSelection("odd"), 5), V({0, 2, 4}));
  EXPECT_EQ(SelectedIndexes(ParsePhotoSelection("even"), 5), V({1, 3}));
  EXPECT_EQ(SelectedIndexes(ParsePhotoSelection("4,1,4"), 5), V({0, 3}));
  EXPECT_EQ(SelectedIndexes(ParsePhotoSelection("even"), 1), V());
  EXPECT_THROW(SelectedIndexes(ParsePhotoSelection("6"), 5), TUsageError);
  for (const char* bad : {"0", "1,,2", "first", "-1", ""}) {
    EXPECT_THROW(ParsePhotoSelection(bad), TUsageError) << bad;
  }
}

struct TCropCase {
  const char* Text;
  bool Valid;
};

class CropEdges : public ::testing::TestWithParam<TCropCase> {};

TEST_P(CropEdges, AreWhereTheEditorsHandlesCanGo) {
  if (GetParam().Valid) {
    EXPECT_NO_THROW(ParseCrop(GetParam().Text));
  } else {
    EXPECT_THROW(ParseCrop(GetParam().Text), TUsageError);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CropEdges,
    ::testing::Values(TCropCase{"40,380,40,554", true},    // a new photo's crop
                      TCropCase{"1,416,1,589", true},      // every frame limit
                      TCropCase{"40,60,40,60", true},      // exactly 20 apart
                      TCropCase{"0,380,40,554", false},    // left above the frame
                      TCropCase{"40,417,40,554", false},   // right past 416
                      TCropCase{"40,380,0,554", false},    // top above the frame
                      TCropCase{"40,380,40,590", false},   // bottom past 589
                      TCropCase{"40,59,40,554", false},    // left and right 19 apart
                      TCropCase{"380,40,40,554", false},   // left beyond right
                      TCropCase{"40,380,300,319", false},  // top and bottom 19 apart
                      TCropCase{"40,380,40", false},       // three edges
                      TCropCase{"40,380,40,554,1", false}, TCropCase{"a,b,c,d", false}),
    [](const ::testing::TestParamInfo<TCropCase>& info) {
      return CaseName({info.param.Valid ? "Valid_" : "Invalid_", info.param.Text});
    });

TEST(SheetRange, ReadsOneSheetOrARangeAndChecksItAgainstTheDocument) {
  EXPECT_EQ(ParseSheetRange("2-4").First, 2);
  EXPECT_EQ(ParseSheetRange("2-4").Last, 4);
  EXPECT_EQ(ParseSheetRange("3").First, 3);
  EXPECT_EQ(ParseSheetRange("3").Last, 3);
  for (const char* bad : {"4-2", "0-1", "1-", "-3", "a-b", "1-2-3"}) {
    EXPECT_THROW(ParseSheetRange(bad), TUsageError) << bad;
  }
  EXPECT_NO_THROW(CheckSheetRange({2, 3}, 3));
  EXPECT_THROW(CheckSheetRange({2, 4}, 3), TUsageError);
}

TEST(TerminalWait, DrawsABarOnATerminalAndNothingElsewhere) {
  EXPECT_EQ(TTerminalWait::BarLine("Adding files...", 0, 4, 2, 10),
            "Adding files... [#####     ]  50%");
  EXPECT_EQ(TTerminalWait::BarLine("Opening a.TavDoc...", 1, 1, 1, 4),
            "Opening a.TavDoc... [    ]   0%");
  EXPECT_EQ(TTerminalWait::BarLine("x", 0, 4, 9, 4), "x [####] 100%");

  for (const bool visible : {true, false}) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    {
      TTerminalWait wait(file, visible, 4);
      const TWaitScope scope(wait, "Please wait...", "Adding files...", 0, 2);
      wait.SetProgress(1);
      EXPECT_TRUE(wait.Running());
    }
    const long written = std::ftell(file);
    std::fclose(file);
    if (visible) {
      EXPECT_GT(written, 0);
    } else {
      EXPECT_EQ(written, 0);
    }
  }
}

}  // namespace
