// Every subcommand as a user runs it: the real program on real photos and documents. After each
// test the program's temporary folder must be empty again, also after a failed command.
#include <gtest/gtest.h>

#include <csignal>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QProcess>
#include <QThread>
#include <QtEndian>

#include "CliTestSupport.h"
#include "Codecs.h"
#include "PhotoDocument.h"
#include "SheetRenderer.h"
#include "Site.h"
#include "TerminalWait.h"

namespace {

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class CliCommands : public TCliTest {
 protected:
  void TearDown() override {
    EXPECT_TRUE(TempLeftovers().isEmpty()) << TempLeftovers().join(' ').toStdString();
  }

  QJsonObject PhotoInfo(const QString& doc, int number) {
    return Info(doc)["photos"].toArray().at(number - 1).toObject();
  }
};

// --- The program as a whole ---

TEST_F(CliCommands, HelpAndVersionGoToStandardOutput) {
  TRun run = Cli({"--help"});
  EXPECT_EQ(run.Code, 0);
  EXPECT_TRUE(run.Out.startsWith("Usage: tavrolin-cli COMMAND")) << run.Out.toStdString();
  for (const char* command : {"new", "add", "info", "set", "sheet", "print", "export"}) {
    run = Cli({command, "--help"});
    EXPECT_EQ(run.Code, 0) << command;
    EXPECT_TRUE(run.Out.startsWith(QStringLiteral("Usage: tavrolin-cli ") + command)) << command;
    EXPECT_TRUE(run.Err.isEmpty()) << command;
  }
  run = Cli({"--version"});
  EXPECT_EQ(run.Code, 0);
  EXPECT_EQ(run.Out.trimmed(), "tavrolin-cli " + tavrolin::ProgramVersion());
}

TEST_F(CliCommands, UsageErrorsExitWithTwoAndSayWhatIsWrong) {
  const std::vector<std::pair<QStringList, QString>> cases = {
      {{}, "Usage: tavrolin-cli"},
      {{"frobnicate"}, "tavrolin-cli: unknown command \"frobnicate\""},
      {{"--bogus"}, "tavrolin-cli: unknown option --bogus"},
      {{"new"}, "tavrolin-cli: missing the document to create"},
      {{"new", "x.TavDoc"}, "tavrolin-cli: missing the photos to import"},
      {{"info"}, "tavrolin-cli: missing the document"},
      {{"info", "a.TavDoc", "b.TavDoc"}, "tavrolin-cli: unexpected argument \"b.TavDoc\""},
      {{"info", "a.TavDoc", "--verbose"}, "tavrolin-cli: unknown option --verbose"},
      {{"new", "x.TavDoc", "a.jpg", "--rows", "6"},
       "tavrolin-cli: --rows: 6 is out of range (1 to 5)"},
      {{"new", "x.TavDoc", "a.jpg", "--columns"}, "tavrolin-cli: --columns needs a value"},
      {{"new", "a.jpg", "b.jpg"}, "tavrolin-cli: a.jpg is a photo's name"},
      {{"sheet", "d.TavDoc", "-o", "s.png"}, "tavrolin-cli: missing --page N"},
      {{"sheet", "d.TavDoc", "--page", "1"}, "tavrolin-cli: missing -o SHEET.png"},
      {{"export", "d.TavDoc"}, "tavrolin-cli: missing the folder to export into"},
      {{"export", "d.TavDoc", "out", "--format", "gif"}, "tavrolin-cli: --format: \"gif\""},
  };
  for (const auto& [args, message] : cases) {
    const TRun run = Cli(args);
    EXPECT_EQ(run.Code, 2) << args.join(' ').toStdString();
    EXPECT_TRUE(run.Err.startsWith(message)) << args.join(' ').toStdString() << "\n"
                                             << run.Err.toStdString();
  }
  EXPECT_FALSE(QFile::exists(Path("x.TavDoc")));
}

TEST_F(CliCommands, RunsWithoutADisplayAndWithoutBeingToldThePlatform) {
  MakeDocument("d.TavDoc", Photos(1));
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) Env.remove(name);
  const TRun run = Cli({"sheet", "d.TavDoc", "--page", "1", "-o", "s.png"});
  EXPECT_EQ(run.Code, 0) << run.Err.toStdString();
  EXPECT_EQ(QImage(Path("s.png")).size(), QSize(420, 594));
}

TEST_F(CliCommands, FailuresOfTheWorkExitWithOneAndLeaveNothingBehind) {
  QFile text(Path("notes.TavDoc"));
  ASSERT_TRUE(text.open(QIODevice::WriteOnly));
  text.write("these are notes, not a document");
  text.close();
  TRun run = Cli({"info", "notes.TavDoc"});
  EXPECT_EQ(run.Code, 1);
  EXPECT_EQ(run.Err.trimmed(), "tavrolin-cli: notes.TavDoc: not a Tavrolin document");

  run = Cli({"info", "missing.TavDoc"});
  EXPECT_EQ(run.Code, 1);
  EXPECT_EQ(run.Err.trimmed(), "tavrolin-cli: missing.TavDoc: File not found");

  // A document cut short in the middle of a photo's JPEG data.
  MakeDocument("whole.TavDoc", Photos(2));
  QByteArray bytes = ReadAll(Path("whole.TavDoc"));
  QFile cut(Path("cut.TavDoc"));
  ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
  cut.write(bytes.left(bytes.size() - 100));
  cut.close();
  run = Cli({"export", "cut.TavDoc", "out"});
  EXPECT_EQ(run.Code, 1);
  EXPECT_EQ(run.Err.trimmed(), "tavrolin-cli: Read beyond end of file");
  EXPECT_FALSE(QFile::exists(Path("out")));
}

TEST_F(CliCommands, InterruptStopsBetweenPhotosAndWritesNothing) {
  const QString first = Photo("photos/p00.jpg", 1600, 2100);
  QStringList photos = {first};
  for (int i = 1; i < 40; ++i) {
    photos << Path(QStringLiteral("photos/p%1.jpg").arg(i, 2, 10, QLatin1Char('0')));
    ASSERT_TRUE(QFile::copy(first, photos.back()));
  }
  QProcess process;
  process.setProcessEnvironment(Env);
  process.setWorkingDirectory(Dir.path());
  process.start(TAVROLIN_CLI_PATH, QStringList{"new", "d.TavDoc"} + photos);
  ASSERT_TRUE(process.waitForStarted());
  // The work folder appears with the first photo: by then the program listens for Ctrl-C.
  QElapsedTimer clock;
  clock.start();
  while (TempLeftovers().isEmpty() && process.state() == QProcess::Running &&
         clock.elapsed() < 30000)
    QThread::msleep(5);
  ASSERT_EQ(process.state(), QProcess::Running) << "finished before it could be interrupted";
  ::kill(static_cast<pid_t>(process.processId()), SIGINT);
  ASSERT_TRUE(process.waitForFinished(60000));
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 1);
  EXPECT_EQ(QString::fromLocal8Bit(process.readAllStandardError()).trimmed(),
            "tavrolin-cli: interrupted; nothing was written");
  EXPECT_FALSE(QFile::exists(Path("d.TavDoc")));
}

TEST_F(CliCommands, TheSampleDocumentOpens) {
  const QString sample = QStringLiteral(TAVROLIN_SOURCE_DIR "/samples/Sample.TavDoc");
  const QJsonObject info = Info(sample);
  EXPECT_EQ(Titles(sample), QStringList({"page-1.jpg", "page-2.jpg", "page-3.jpg"}));
  EXPECT_EQ(info["photos"].toArray()[1].toObject()["rotation"].toInt(), 1);  // taken sideways
  EXPECT_EQ(Cli({"sheet", sample, "--page", "1", "-o", Path("sample.png")}).Code, 0);
}

// --- new and add ---

TEST_F(CliCommands, NewImportsPhotosInTheOrderAddPhotosGivesThem) {
  const QStringList photos = {Photo("photos/b.jpg"), Photo("photos/A.JPG"),
                              Photo("photos/c.jpeg", 400, 300), Photo("photos/notes.png")};
  const TRun run = Cli(QStringList{"new", "d.TavDoc"} + photos);
  ASSERT_EQ(run.Code, 0) << run.Err.toStdString();
  EXPECT_EQ(run.Err.trimmed(), "tavrolin-cli: skipped " + photos[3] + ": not a JPEG file by name");

  const QJsonObject info = Info("d.TavDoc");
  EXPECT_EQ(Titles("d.TavDoc"), QStringList({"A.JPG", "b.jpg", "c.jpeg"}));
  EXPECT_EQ(info["rows"].toInt(), 4);
  EXPECT_EQ(info["columns"].toInt(), 4);
  EXPECT_EQ(info["order"].toInt(), 0);
  EXPECT_EQ(info["sheets"].toInt(), 1);
  // A new photo's parameters; the one wider than high gets a quarter turn.
  const QJsonObject a = info["photos"].toArray()[0].toObject();
  const QJsonObject c = info["photos"].toArray()[2].toObject();
  EXPECT_EQ(a["rotation"].toInt(), 0);
  EXPECT_EQ(c["rotation"].toInt(), 1);
  for (const QJsonObject& p : {a, c}) {
    EXPECT_EQ(p["imageType"].toInt(), 1);
    EXPECT_EQ(p["brightness"].toInt(), 1);
    EXPECT_EQ(p["contrast"].toInt(), 1);
    EXPECT_EQ(p["cropLeft"].toInt(), 40);
    EXPECT_EQ(p["cropRight"].toInt(), 380);
    EXPECT_EQ(p["cropTop"].toInt(), 40);
    EXPECT_EQ(p["cropBottom"].toInt(), 554);
  }
  EXPECT_EQ(a["width"].toInt(), 300);
  EXPECT_EQ(a["height"].toInt(), 400);
  EXPECT_EQ(c["width"].toInt(), 400);
  EXPECT_EQ(c["height"].toInt(), 300);
  EXPECT_GT(a["jpegBytes"].toInt(), 0);
}

TEST_F(CliCommands, NewWritesTheLayoutIntoTheDocumentHeader) {
  const QStringList photos = Photos(2);
  MakeDocument("notes", photos, {"--rows", "2", "--columns", "3", "--order", "columns"});
  const QByteArray bytes = ReadAll(Path("notes.TavDoc"));
  ASSERT_GE(bytes.size(), 24);
  const int32_t expected[] = {1701, 1, 2, 3, 1, 2};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(qFromLittleEndian<int32_t>(bytes.constData() + 4 * i), expected[i]) << "field " << i;
  }
}

TEST_F(CliCommands, NewNeverReplacesADocumentAndChecksEveryPhotoFirst) {
  const QStringList photos = Photos(2);
  MakeDocument("d.TavDoc", photos);
  const QByteArray before = ReadAll(Path("d.TavDoc"));
  TRun run = Cli(QStringList{"new", "d.TavDoc"} + photos);
  EXPECT_EQ(run.Code, 1);
  EXPECT_TRUE(run.Err.contains("exists already")) << run.Err.toStdString();
  EXPECT_EQ(ReadAll(Path("d.TavDoc")), before);

  run = Cli({"new", "e.TavDoc", photos[0], Path("photos/gone.jpg")});
  EXPECT_EQ(run.Code, 1);
  EXPECT_EQ(run.Err.trimmed(), "tavrolin-cli: " + Path("photos/gone.jpg") + ": File not found");
  EXPECT_FALSE(QFile::exists(Path("e.TavDoc")));

  run = Cli({"new", "nowhere/e.TavDoc", photos[0]});
  EXPECT_EQ(run.Code, 1);
  EXPECT_EQ(run.Err.trimmed(), "tavrolin-cli: " + Path("nowhere") + ": the folder does not exist");

  run = Cli({"new", "e.TavDoc", Photo("photos/notes.png")});
  EXPECT_EQ(run.Code, 1);
  EXPECT_FALSE(QFile::exists(Path("e.TavDoc")));
}

TEST_F(CliCommands, AddInsertsByTheListsRuleAndKeepsTheDocumentsPhotos) {
  MakeDocument("d.TavDoc", {Photo("photos/A.jpg"), Photo("photos/b.jpg")}, {"--rows", "2"});
  ASSERT_EQ(Cli({"set", "d.TavDoc", "--photos", "2", "--brightness", "7"}).Code, 0);

  // The document's rows carry its name as their path; a full path sorts before it, so the
  // added photos come first, in their own sorted order.
  const TRun run = Cli({"add", "d.TavDoc", Photo("other/z.jpg"), Photo("other/Y.jpg")});
  ASSERT_EQ(run.Code, 0) << run.Err.toStdString();
  EXPECT_TRUE(run.Err.isEmpty()) << run.Err.toStdString();
  EXPECT_EQ(Titles("d.TavDoc"), QStringList({"Y.jpg", "z.jpg", "A.jpg", "b.jpg"}));
  EXPECT_EQ(PhotoInfo("d.TavDoc", 4)["brightness"].toInt(), 7);
  EXPECT_EQ(PhotoInfo("d.TavDoc", 1)["brightness"].toInt(), 1);
  EXPECT_EQ(Info("d.TavDoc")["rows"].toInt(), 2);

  const QByteArray before = ReadAll(Path("d.TavDoc"));
  EXPECT_EQ(Cli({"add", "d.TavDoc", Photo("other/scan.png")}).Code, 1);
  EXPECT_EQ(Cli({"add", "d.TavDoc", Path("other/gone.jpg")}).Code, 1);
  EXPECT_EQ(ReadAll(Path("d.TavDoc")), before);
}

// --- info ---

TEST_F(CliCommands, InfoShowsTheLayoutAndEveryPhoto) {
  MakeDocument("d.TavDoc", {Photo("photos/page one.jpg"), Photo("photos/page two.jpg")},
               {"--rows", "1", "--columns", "1", "--order", "columns"});
  const TRun run = Cli({"info", "d.TavDoc"});
  ASSERT_EQ(run.Code, 0) << run.Err.toStdString();
  const QStringList lines = run.Out.split('\n');
  ASSERT_GE(lines.size(), 8);
  EXPECT_EQ(lines[0], "Document: d.TavDoc");
  EXPECT_EQ(lines[1], "Layout:   1 row x 1 column, by columns");
  EXPECT_EQ(lines[2], "Photos:   2");
  EXPECT_EQ(lines[3], "Sheets:   2");
  EXPECT_TRUE(lines[5].startsWith("#  Title")) << lines[5].toStdString();
  const QString first = lines[6].simplified();
  EXPECT_TRUE(first.startsWith("1 page one.jpg no grayscale 1 1 40,380,40,554 "))
      << first.toStdString();
  EXPECT_TRUE(first.endsWith("bytes, 300 x 400")) << first.toStdString();
  EXPECT_TRUE(lines[7].simplified().startsWith("2 page two.jpg")) << lines[7].toStdString();
}

// --- set ---

TEST_F(CliCommands, SetChangesOnlyTheChosenPhotosAndValues) {
  MakeDocument("d.TavDoc", Photos(5));
  ASSERT_EQ(Cli({"set", "d.TavDoc", "--photos", "odd", "--brightness", "5"}).Code, 0);
  ASSERT_EQ(Cli({"set", "d.TavDoc", "--photos", "2,4", "--type", "colored", "--rotate", "180",
                 "--crop", "10,400,20,500"})
                .Code,
            0);
  ASSERT_EQ(Cli({"set", "d.TavDoc", "--contrast", "-3", "--rows", "2"}).Code, 0);

  const QJsonObject info = Info("d.TavDoc");
  EXPECT_EQ(info["rows"].toInt(), 2);
  EXPECT_EQ(info["columns"].toInt(), 4);
  EXPECT_EQ(info["order"].toInt(), 0);
  const QJsonArray photos = info["photos"].toArray();
  for (int p = 1; p <= 5; ++p) {
    const QJsonObject photo = photos[p - 1].toObject();
    const bool odd = p % 2 == 1;
    EXPECT_EQ(photo["brightness"].toInt(), odd ? 5 : 1) << p;
    EXPECT_EQ(photo["contrast"].toInt(), -3) << p;
    EXPECT_EQ(photo["imageType"].toInt(), odd ? 1 : 0) << p;
    EXPECT_EQ(photo["rotation"].toInt(), odd ? 0 : 3) << p;
    EXPECT_EQ(photo["cropLeft"].toInt(), odd ? 40 : 10) << p;
    EXPECT_EQ(photo["cropRight"].toInt(), odd ? 380 : 400) << p;
    EXPECT_EQ(photo["cropTop"].toInt(), odd ? 40 : 20) << p;
    EXPECT_EQ(photo["cropBottom"].toInt(), odd ? 554 : 500) << p;
    EXPECT_EQ(photo["title"].toString(), QStringLiteral("p%1.jpg").arg(p));
  }
  // The extremes of every range are accepted.
  EXPECT_EQ(Cli({"set", "d.TavDoc", "--brightness", "-20", "--contrast", "20", "--crop",
                 "1,416,1,589", "--columns", "5", "--rows", "1"})
                .Code,
            0);
}

TEST_F(CliCommands, AWriterWaitsForTheDocumentsHolderThenFailsNamingIt) {
  MakeDocument("d.TavDoc", Photos(2));
  const QByteArray before = ReadAll(Path("d.TavDoc"));
  {
    // This process holds the document, as a window that has it open does.
    TPhotoDocument holder;
    TTerminalWait quiet(nullptr, false);
    holder.Open(Path("d.TavDoc"), quiet, {}, TPhotoDocument::TLockUse::Required);
    const QString pid = QString::number(QCoreApplication::applicationPid());
    for (const QStringList& args : {QStringList{"set", "d.TavDoc", "--brightness", "5"},
                                    QStringList{"add", "d.TavDoc", Photo("photos/new.jpg")}}) {
      const TRun run = Cli(args);
      EXPECT_EQ(run.Code, 1) << args.first().toStdString();
      EXPECT_TRUE(run.Err.contains(QStringLiteral("d.TavDoc is in use by ")) &&
                  run.Err.contains(QStringLiteral("(process ") + pid + u')'))
          << run.Err.toStdString();
      EXPECT_EQ(ReadAll(Path("d.TavDoc")), before) << args.first().toStdString();
    }
    // Reading needs no lock.
    EXPECT_EQ(Cli({"info", "d.TavDoc"}).Code, 0);
  }
  EXPECT_EQ(Cli({"set", "d.TavDoc", "--brightness", "5"}).Code, 0);
  EXPECT_NE(ReadAll(Path("d.TavDoc")), before);
  {
    // A document being made by someone else is not made a second time.
    TDocumentLock other(Path("n.TavDoc"));
    other.Take();
    const TRun run = Cli({"new", "n.TavDoc", Photo("photos/n.jpg")});
    EXPECT_EQ(run.Code, 1);
    EXPECT_TRUE(run.Err.contains(QStringLiteral("n.TavDoc is in use by ")))
        << run.Err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(Path("n.TavDoc")));
  }
  EXPECT_FALSE(QFileInfo::exists(Path(".d.TavDoc.lock")));
}

TEST_F(CliCommands, SetRefusesValuesOutsideTheEditorsRangesAndChangesNothing) {
  MakeDocument("d.TavDoc", Photos(3));
  const QByteArray before = ReadAll(Path("d.TavDoc"));
  const std::vector<std::pair<QStringList, QString>> cases = {
      {{"--brightness", "21"}, "--brightness: 21 is out of range (-20 to 20)"},
      {{"--contrast", "-21"}, "--contrast: -21 is out of range (-20 to 20)"},
      {{"--brightness", "five"}, "--brightness: \"five\" is not a whole number"},
      {{"--crop", "0,380,40,554"}, "--crop: the edges must lie within"},
      {{"--crop", "40,417,40,554"}, "--crop: the edges must lie within"},
      {{"--crop", "40,380,40,590"}, "--crop: the edges must lie within"},
      {{"--crop", "40,59,40,554"},
       "--crop: the left and right edges must be at least 20 units apart"},
      {{"--crop", "40,380,300,319"},
       "--crop: the top and bottom edges must be at least 20 units apart"},
      {{"--crop", "40,380"}, "--crop: \"40,380\" is not four numbers"},
      {{"--rows", "0"}, "--rows: 0 is out of range (1 to 5)"},
      {{"--columns", "6"}, "--columns: 6 is out of range (1 to 5)"},
      {{"--order", "diagonal"}, "--order: \"diagonal\" is not one of rows, columns"},
      {{"--type", "sepia"}, "--type: \"sepia\" is not one of colored, grayscale"},
      {{"--rotate", "45"}, "--rotate: \"45\" is not one of no, 90cw, 90ccw, 180"},
      {{"--photos", "4", "--brightness", "2"}, "--photos: there is no photo 4, the document has 3"},
      {{"--photos", "0", "--brightness", "2"}, "--photos: 0 is out of range"},
      {{"--photos", "odd"}, "--photos chooses the photos"},
      {{}, "nothing to change"},
  };
  for (const auto& [options, message] : cases) {
    const TRun run = Cli(QStringList{"set", "d.TavDoc"} + options);
    EXPECT_EQ(run.Code, 2) << options.join(' ').toStdString();
    EXPECT_TRUE(run.Err.startsWith("tavrolin-cli: " + message))
        << options.join(' ').toStdString() << "\n"
        << run.Err.toStdString();
    EXPECT_TRUE(run.Err.contains("tavrolin-cli set --help")) << options.join(' ').toStdString();
  }
  EXPECT_EQ(ReadAll(Path("d.TavDoc")), before);
}

TEST_F(CliCommands, SetKeepsStoredValuesItWasNotAskedToChange) {
  MakeDocument("d.TavDoc", Photos(2));
  // A document from elsewhere may carry values the editor never offers; they stay as stored.
  QFile file(Path("d.TavDoc"));
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  char value[4];
  qToLittleEndian<int32_t>(7, value);
  file.seek(16);  // the fill order
  file.write(value, 4);
  qToLittleEndian<int32_t>(9, value);
  file.seek(24);  // the first photo's Rotation
  file.write(value, 4);
  file.close();

  ASSERT_EQ(Cli({"set", "d.TavDoc", "--photos", "2", "--brightness", "3", "--rows", "3"}).Code, 0);
  const QJsonObject info = Info("d.TavDoc");
  EXPECT_EQ(info["order"].toInt(), 7);
  EXPECT_EQ(info["rows"].toInt(), 3);
  EXPECT_EQ(PhotoInfo("d.TavDoc", 1)["rotation"].toInt(), 9);
  EXPECT_EQ(PhotoInfo("d.TavDoc", 2)["brightness"].toInt(), 3);
  const TRun text = Cli({"info", "d.TavDoc"});
  EXPECT_TRUE(text.Out.contains("by columns (7)")) << text.Out.toStdString();
  EXPECT_TRUE(text.Out.contains("no (9)")) << text.Out.toStdString();
}

// --- sheet ---

TEST_F(CliCommands, SheetAtScaleTwoIsThePreviewWithoutTheRedMark) {
  MakeDocument("d.TavDoc",
               {Photo("photos/1.jpg", 300, 400, {240, 230, 210}),
                Photo("photos/2.jpg", 400, 300, {200, 230, 240}),
                Photo("photos/3.jpg", 320, 420, {250, 250, 250}),
                Photo("photos/4.jpg", 300, 400, {220, 200, 180}),
                Photo("photos/5.jpg", 300, 400, {210, 240, 200})},
               {"--rows", "2", "--columns", "2"});
  ASSERT_EQ(
      Cli({"set", "d.TavDoc", "--photos", "1", "--type", "colored", "--brightness", "4"}).Code, 0);
  ASSERT_EQ(Cli({"set", "d.TavDoc", "--photos", "2", "--crop", "5,300,60,500"}).Code, 0);

  for (int page = 1; page <= 2; ++page) {
    const QString out = Path(QStringLiteral("sheet%1.png").arg(page));
    const TRun run = Cli({"sheet", "d.TavDoc", "--page", QString::number(page), "-o", out});
    ASSERT_EQ(run.Code, 0) << run.Err.toStdString();
    const QImage written = QImage(out).convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(written.size(), QSize(420, 594));

    // The preview as the window draws it, from the same document read here.
    TPhotoDocument document;
    TTerminalWait quiet(nullptr, false);
    document.Open(Path("d.TavDoc"), quiet, {}, TPhotoDocument::TLockUse::None);
    TSheetTexts texts;
    texts.AddSheetText(tavrolin::SiteAddress());
    QImage preview;
    DrawSheet(preview, 2, page - 1, document.SheetLayout(), document.Photos(), texts, nullptr);
    EXPECT_EQ(written, preview.convertToFormat(QImage::Format_RGB888)) << "page " << page;

    // The window's own preview, with its photo open in the editor, carries the red mark.
    QImage marked;
    DrawSheet(marked, 2, page - 1, document.SheetLayout(), document.Photos(), texts,
              document.Photos()[static_cast<size_t>((page - 1) * 4)]);
    EXPECT_NE(written, marked.convertToFormat(QImage::Format_RGB888)) << "page " << page;
  }
}

TEST_F(CliCommands, SheetAtScaleTwelveIsThePrintedSheet) {
  MakeDocument("d.TavDoc", Photos(2));
  const TRun run =
      Cli({"sheet", "d.TavDoc", "--page", "1", "--scale", "12", "--output", "big.png"});
  ASSERT_EQ(run.Code, 0) << run.Err.toStdString();
  EXPECT_EQ(QImage(Path("big.png")).size(), QSize(2520, 3564));

  const std::vector<std::pair<QStringList, QString>> cases = {
      {{"--page", "2", "-o", "s.png"}, "--page: the document has 1 sheet"},
      {{"--page", "0", "-o", "s.png"}, "--page: 0 is out of range"},
      {{"--page", "1", "--scale", "3", "-o", "s.png"}, "--scale: 3 is neither 2"},
      {{"--page", "1", "-o", "s.jpg"}, "-o: sheets are written as PNG"},
  };
  for (const auto& [options, message] : cases) {
    const TRun bad = Cli(QStringList{"sheet", "d.TavDoc"} + options);
    EXPECT_EQ(bad.Code, 2) << options.join(' ').toStdString();
    EXPECT_TRUE(bad.Err.startsWith("tavrolin-cli: " + message)) << bad.Err.toStdString();
  }
  EXPECT_FALSE(QFile::exists(Path("s.png")));
  EXPECT_FALSE(QFile::exists(Path("s.jpg")));
}

// --- print ---

TEST_F(CliCommands, PrintToPdfGivesOnePagePerSheetOfTheRangeAndOneFilePerCopy) {
  MakeDocument("d.TavDoc", Photos(5), {"--rows", "1", "--columns", "1"});
  struct TCase {
    QStringList Options;
    std::vector<std::pair<QString, int>> Files;  // file -> pages
  };
  const std::vector<TCase> cases = {
      {{}, {{"all.pdf", 5}}},
      {{"--pages", "2-4"}, {{"range.pdf", 3}}},
      {{"--pages", "5"}, {{"one.pdf", 1}}},
      {{"--pages", "2-3", "--copies", "2"}, {{"copies.pdf", 2}, {"copies-2.pdf", 2}}},
  };
  for (const TCase& c : cases) {
    const QString target = Path(c.Files.front().first);
    const TRun run = Cli(QStringList{"print", "d.TavDoc", "--pdf", target} + c.Options);
    ASSERT_EQ(run.Code, 0) << run.Err.toStdString();
    for (const auto& [file, pages] : c.Files) {
      EXPECT_EQ(PdfPageCount(Path(file)), pages) << file.toStdString();
    }
  }
  EXPECT_FALSE(QFile::exists(Path("copies-3.pdf")));
  const TRun info = RunProgram("pdfinfo", {Path("one.pdf")});
  EXPECT_TRUE(info.Out.contains("A4")) << info.Out.toStdString();
  EXPECT_TRUE(info.Out.contains("Tavrolin " + tavrolin::ProgramVersion() + " - [d.TavDoc]"))
      << info.Out.toStdString();
}

TEST_F(CliCommands, PrintChecksItsTargetRangeAndCopies) {
  MakeDocument("d.TavDoc", Photos(2), {"--rows", "1", "--columns", "1"});
  const std::vector<std::pair<QStringList, QString>> cases = {
      {{}, "give either --pdf OUT.pdf or --printer NAME"},
      {{"--pdf", "a.pdf", "--printer", "office"}, "give either --pdf OUT.pdf or --printer NAME"},
      {{"--pdf", "a.pdf", "--pages", "2-3"}, "--pages: the document has 2 sheets"},
      {{"--pdf", "a.pdf", "--pages", "3-2"}, "--pages: 3-2 ends before it starts"},
      {{"--pdf", "a.pdf", "--copies", "0"}, "--copies: 0 is out of range (1 to 999)"},
  };
  for (const auto& [options, message] : cases) {
    const TRun run = Cli(QStringList{"print", "d.TavDoc"} + options);
    EXPECT_EQ(run.Code, 2) << options.join(' ').toStdString();
    EXPECT_TRUE(run.Err.startsWith("tavrolin-cli: " + message)) << run.Err.toStdString();
  }
  EXPECT_FALSE(QFile::exists(Path("a.pdf")));

  const TRun noPrinter = Cli({"print", "d.TavDoc", "--printer", "no-such-printer-here"});
  EXPECT_EQ(noPrinter.Code, 1);
  EXPECT_TRUE(
      noPrinter.Err.startsWith("tavrolin-cli: there is no printer named \"no-such-printer-here\""))
      << noPrinter.Err.toStdString();
}

// --- export ---

TEST_F(CliCommands, ExportWritesNumberedPagesAtTheirCroppedSize) {
  MakeDocument("d.TavDoc", Photos(3));
  TRun run = Cli({"export", "d.TavDoc", "out/pages"});
  ASSERT_EQ(run.Code, 0) << run.Err.toStdString();
  const QDir jpgs(Path("out/pages"));
  EXPECT_EQ(jpgs.entryList(QDir::Files, QDir::Name),
            QStringList({"TavDoc000.jpg", "TavDoc001.jpg", "TavDoc002.jpg"}));
  // The default crop of a 300 x 400 page: 340 x 514 units of 420 x 594.
  const JpegHeader header = ReadJpegHeader(jpgs.filePath("TavDoc001.jpg"));
  EXPECT_EQ(header.Width, 340 * 300 / 420);
  EXPECT_EQ(header.Height, 514 * 400 / 594);

  run = Cli({"export", "d.TavDoc", Path("png"), "--prefix", "page-", "--format", "png"});
  ASSERT_EQ(run.Code, 0) << run.Err.toStdString();
  const QDir pngs(Path("png"));
  EXPECT_EQ(pngs.entryList(QDir::Files, QDir::Name),
            QStringList({"page-000.png", "page-001.png", "page-002.png"}));
  EXPECT_EQ(QImage(pngs.filePath("page-002.png")).size(), QSize(242, 346));

  EXPECT_EQ(Cli({"export", "d.TavDoc", "out", "--prefix", "a/b"}).Code, 2);
}

}  // namespace
