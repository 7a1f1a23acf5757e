// The desktop integration: the file type written only while nothing claims *.TavDoc, and the
// per-user version record that tells the first run of a version.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>

#include "AppTestSupport.h"
#include "ShellIntegration.h"

namespace {

using apptest::ReadAll;
using apptest::TPrivateEnvironment;
using apptest::WriteAll;

class Shell : public testing::Test {
 protected:
  TPrivateEnvironment Env;
  QString Exe = Env.Path(QStringLiteral("bin dir/tavrolin"));

  void SetUp() override { WriteAll(Exe, "program"); }
  QString Package() const { return Env.DataHome() + QStringLiteral("/mime/packages/tavrolin.xml"); }
  QString Entry() const {
    return Env.DataHome() + QStringLiteral("/applications/tavrolin.desktop");
  }
  QString StoredVersion() const {
    return QSettings(Env.ConfigHome() + QStringLiteral("/Tavrolin/Tavrolin.ini"),
                     QSettings::IniFormat)
        .value(QStringLiteral("Version"))
        .toString();
  }
};

TEST_F(Shell, FirstRunWritesTheAssociationAndTheVersion) {
  EXPECT_TRUE(RegisterFileType(Exe, QStringLiteral("1.0.0.1")));
  const QString package = QString::fromUtf8(ReadAll(Package()));
  EXPECT_TRUE(package.contains(QStringLiteral("<comment>Tavrolin Document</comment>")));
  EXPECT_TRUE(package.contains(QStringLiteral("<glob pattern=\"*.TavDoc\"/>")));
  const QString entry = QString::fromUtf8(ReadAll(Entry()));
  EXPECT_TRUE(entry.contains(QStringLiteral("Exec=\"") + Exe + QStringLiteral("\" %f\n")))
      << entry.toStdString();
  EXPECT_TRUE(entry.contains(QStringLiteral("MimeType=application/x-tavrolin;")));
  const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
  if (!validator.isEmpty()) {
    QProcess check;
    check.start(validator, {Entry()});
    ASSERT_TRUE(check.waitForFinished(10000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAll().toStdString();
  }
  EXPECT_TRUE(
      QFileInfo::exists(Env.DataHome() + QStringLiteral("/icons/hicolor/64x64/apps/tavrolin.png")));
  EXPECT_EQ(StoredVersion(), QStringLiteral("1.0.0.1"));
  EXPECT_TRUE(MimeTypeClaims(QStringLiteral("x.TavDoc")));
}

TEST_F(Shell, SecondRunWritesNothingAndANewVersionOnlyTheVersion) {
  ASSERT_TRUE(RegisterFileType(Exe, QStringLiteral("1.0.0.1")));
  const QDateTime written = QFileInfo(Entry()).lastModified();
  const QByteArray entry = ReadAll(Entry());

  // The program moved: the association stays as it was.
  const QString moved = Env.Path(QStringLiteral("elsewhere/tavrolin"));
  WriteAll(moved, "program");
  EXPECT_FALSE(RegisterFileType(moved, QStringLiteral("1.0.0.1")));
  EXPECT_EQ(ReadAll(Entry()), entry);
  EXPECT_EQ(QFileInfo(Entry()).lastModified(), written);

  EXPECT_TRUE(RegisterFileType(moved, QStringLiteral("1.0.0.2")));
  EXPECT_EQ(StoredVersion(), QStringLiteral("1.0.0.2"));
  EXPECT_EQ(ReadAll(Entry()), entry);
  // A downgrade, or a stored version differing only in letter case, is a first run too.
  EXPECT_TRUE(RegisterFileType(moved, QStringLiteral("1.0.0.1")));
  QSettings(Env.ConfigHome() + QStringLiteral("/Tavrolin/Tavrolin.ini"), QSettings::IniFormat)
      .setValue(QStringLiteral("Version"), QStringLiteral("1.0.0.1-RC"));
  EXPECT_TRUE(RegisterFileType(moved, QStringLiteral("1.0.0.1-rc")));
}

TEST_F(Shell, AnotherProgramsAssociationStays) {
  struct Case {
    const char* Name;
    QString File;
    QByteArray Content;
  };
  const Case cases[] = {
      {"package in the user's data", Env.DataHome() + QStringLiteral("/mime/packages/other.xml"),
       "<?xml version=\"1.0\"?>\n<mime-info "
       "xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
       "<mime-type type=\"application/x-other\"><glob pattern=\"*.tavdoc\"/></mime-type>\n"
       "</mime-info>\n"},
      {"compiled system database", Env.SystemData() + QStringLiteral("/mime/globs2"),
       "# comment\n50:application/x-other:*.tavdoc\n"},
  };
  for (const Case& c : cases) {
    for (const QString& folder : {Env.DataHome(), Env.SystemData(), Env.ConfigHome()}) {
      QDir(folder).removeRecursively();
    }
    WriteAll(c.File, c.Content);
    EXPECT_TRUE(MimeTypeClaims(QStringLiteral("a.TavDoc"))) << c.Name;
    // The version step still runs.
    EXPECT_TRUE(RegisterFileType(Exe, QStringLiteral("2.0.0.0"))) << c.Name;
    EXPECT_EQ(StoredVersion(), QStringLiteral("2.0.0.0")) << c.Name;
    EXPECT_FALSE(QFileInfo::exists(Package())) << c.Name;
    EXPECT_FALSE(QFileInfo::exists(Entry())) << c.Name;
    EXPECT_EQ(ReadAll(c.File), c.Content) << c.Name;
  }
  // A case-sensitive glob for another spelling, or a bare "*", is no claim on *.TavDoc.
  QDir(Env.SystemData()).removeRecursively();
  WriteAll(Env.SystemData() + QStringLiteral("/mime/globs2"),
           "50:application/x-other:*.tavdoc:cs\n10:application/x-any:*\n");
  QDir(Env.DataHome()).removeRecursively();
  EXPECT_FALSE(MimeTypeClaims(QStringLiteral("a.TavDoc")));
}

TEST_F(Shell, FailuresAreSilentAndSkipTheVersionStep) {
  // The data folder is a file: nothing can be written under it.
  QDir(Env.DataHome()).removeRecursively();
  WriteAll(Env.DataHome(), "not a folder");
  EXPECT_FALSE(RegisterFileType(Exe, QStringLiteral("1.0.0.1")));
  EXPECT_TRUE(StoredVersion().isEmpty());
}

TEST(DesktopEntry, ExecArgumentIsQuotedAndEscaped) {
  EXPECT_EQ(DesktopExecArgument(QStringLiteral("/usr/bin/tavrolin")),
            QStringLiteral("\"/usr/bin/tavrolin\""));
  EXPECT_EQ(DesktopExecArgument(QStringLiteral("/opt/my apps/tav$rolin")),
            QStringLiteral("\"/opt/my apps/tav\\\\$rolin\""));
  EXPECT_EQ(DesktopExecArgument(QStringLiteral("/a\"b`c\\d%e")),
            QStringLiteral("\"/a\\\\\"b\\\\`c\\\\\\\\d%%e\""));
}

}  // namespace
