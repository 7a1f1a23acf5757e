// The install step of this build tree into a temporary prefix: the programs, the desktop entry,
// the file type, icons, AppStream metadata and manual pages, each accepted by the desktop's own
// checking tools.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "CliTestSupport.h"
#include "Site.h"

namespace {

QString ReadText(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool HaveTool(const char* name) { return !QStandardPaths::findExecutable(name).isEmpty(); }

class Install : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Prefix = new QTemporaryDir();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DESTDIR"));
    Result =
        new TRun(RunProgram(QStringLiteral(TAVROLIN_CMAKE_COMMAND),
                            {"--install", TAVROLIN_BUILD_DIR, "--prefix", Prefix->path()}, env));
  }
  static void TearDownTestSuite() {
    delete Result;
    delete Prefix;
  }

  void SetUp() override {
    ASSERT_EQ(Result->Code, 0) << Result->Out.toStdString() << Result->Err.toStdString();
  }

  static QString Installed(const QString& path) { return Prefix->filePath(path); }

  static QTemporaryDir* Prefix;
  static TRun* Result;
};

QTemporaryDir* Install::Prefix = nullptr;
TRun* Install::Result = nullptr;

TEST_F(Install, LaysDownTheProgramsAndTheirDesktopFiles) {
  for (const char* program : {"bin/tavrolin", "bin/tavrolin-cli"}) {
    const QFileInfo info(Installed(program));
    EXPECT_TRUE(info.isFile() && info.isExecutable()) << program;
  }
  for (const char* file :
       {"share/applications/tavrolin.desktop", "share/mime/packages/tavrolin.xml",
        "share/metainfo/example.tavrolin.Tavrolin.metainfo.xml",
        "share/icons/hicolor/scalable/apps/tavrolin.svg",
        "share/icons/hicolor/48x48/apps/tavrolin.png",
        "share/icons/hicolor/256x256/apps/tavrolin.png", "share/man/man1/tavrolin.1",
        "share/man/man1/tavrolin-cli.1"}) {
    EXPECT_GT(QFileInfo(Installed(file)).size(), 0) << file;
  }
  const TRun version = RunProgram(Installed("bin/tavrolin-cli"), {"--version"});
  EXPECT_EQ(version.Code, 0) << version.Err.toStdString();
  EXPECT_EQ(version.Out.trimmed(), "tavrolin-cli " + tavrolin::ProgramVersion());
}

TEST_F(Install, DesktopEntryOpensDocumentsOfItsOwnFileType) {
  const QString entry = Installed("share/applications/tavrolin.desktop");
  const QString text = ReadText(entry);
  EXPECT_TRUE(text.contains("\nExec=tavrolin %f\n")) << text.toStdString();
  EXPECT_TRUE(text.contains("\nMimeType=application/x-tavrolin;\n")) << text.toStdString();
  EXPECT_TRUE(text.contains("\nIcon=tavrolin\n")) << text.toStdString();
  if (!HaveTool("desktop-file-validate")) GTEST_SKIP() << "desktop-file-validate is not installed";
  const TRun check = RunProgram("desktop-file-validate", {entry});
  EXPECT_EQ(check.Code, 0) << check.Out.toStdString() << check.Err.toStdString();
  EXPECT_FALSE((check.Out + check.Err).contains("error")) << check.Out.toStdString();
}

TEST_F(Install, FileTypeClaimsTavDocFilesAndIsWellFormed) {
  const QString package = Installed("share/mime/packages/tavrolin.xml");
  const QString text = ReadText(package);
  EXPECT_TRUE(text.contains("<mime-type type=\"application/x-tavrolin\">"));
  EXPECT_TRUE(text.contains("<comment>Tavrolin Document</comment>"));
  EXPECT_TRUE(text.contains("<glob pattern=\"*.TavDoc\"/>"));
  if (!HaveTool("xmllint")) GTEST_SKIP() << "xmllint is not installed";
  for (const QString& file :
       {package, Installed("share/metainfo/example.tavrolin.Tavrolin.metainfo.xml"),
        Installed("share/icons/hicolor/scalable/apps/tavrolin.svg")}) {
    const TRun check = RunProgram("xmllint", {"--noout", file});
    EXPECT_EQ(check.Code, 0) << file.toStdString() << "\n" << check.Err.toStdString();
  }
  // The install step brings the prefix's MIME database up to date, so the type is known there.
  if (HaveTool("update-mime-database")) {
    EXPECT_TRUE(
        ReadText(Installed("share/mime/globs2")).contains("application/x-tavrolin:*.tavdoc"));
  }
}

TEST_F(Install, MetadataAndManualPagesNameThisVersion) {
  const QString metainfo =
      ReadText(Installed("share/metainfo/example.tavrolin.Tavrolin.metainfo.xml"));
  EXPECT_TRUE(metainfo.contains("<release version=\"" + tavrolin::ProgramVersion() + "\""));
  EXPECT_TRUE(metainfo.contains("<launchable type=\"desktop-id\">tavrolin.desktop</launchable>"));
  for (const char* page : {"share/man/man1/tavrolin.1", "share/man/man1/tavrolin-cli.1"}) {
    const QString text = ReadText(Installed(page));
    EXPECT_TRUE(text.contains("\"Tavrolin " + tavrolin::ProgramVersion() + "\"")) << page;
    if (HaveTool("groff")) {
      // -ww reports every questionable request or macro; a clean page says nothing.
      const TRun check = RunProgram("groff", {"-man", "-ww", "-z", "-Tutf8", Installed(page)});
      EXPECT_EQ(check.Code, 0) << page;
      EXPECT_TRUE(check.Err.isEmpty()) << page << "\n" << check.Err.toStdString();
    }
  }
}

}  // namespace
