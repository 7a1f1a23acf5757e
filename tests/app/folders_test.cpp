// The folders the program works in and its version string.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "AppTestSupport.h"
#include "Folders.h"
#include "WorkFolder.h"

namespace {

using apptest::AppTest;
using apptest::TPrivateEnvironment;

mode_t ModeOf(const QString& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
  return st.st_mode & 07777;
}

TEST(WorkFolder, IsNewAndPrivateAndNeverAdoptsWhatIsThere) {
  TPrivateEnvironment env;
  const QString temp = env.Temp() + u'/';
  // Something already holds the names for ticks 1000 to 1002: a folder (perhaps made by someone
  // else to read our photos), a file and a link.
  QDir().mkpath(temp + QStringLiteral("Tavrolin-1000"));
  QFile(temp + QStringLiteral("Tavrolin-1001")).open(QIODevice::WriteOnly);
  QFile::link(env.Root(), temp + QStringLiteral("Tavrolin-1002"));

  const QString folder = CreatePrivateWorkFolder(temp, 1000);
  EXPECT_EQ(folder, temp + QStringLiteral("Tavrolin-1003/"));
  EXPECT_EQ(ModeOf(folder), mode_t(0700));
  EXPECT_EQ(CreatePrivateWorkFolder(temp, 1000), temp + QStringLiteral("Tavrolin-1004/"));

  // A temporary folder that cannot hold folders at all is reported.
  QFile(temp + QStringLiteral("file")).open(QIODevice::WriteOnly);
  EXPECT_THROW(CreatePrivateWorkFolder(temp + QStringLiteral("file/"), 1), std::runtime_error);
}

TEST(WorkFolder, RemovedOnlyWhenEmpty) {
  TPrivateEnvironment env;
  const QString folder = CreatePrivateWorkFolder(env.Temp() + u'/', 5);
  QFile(folder + QStringLiteral("0.jpg")).open(QIODevice::WriteOnly);
  RemoveFolderIfEmpty(folder);
  EXPECT_TRUE(QFileInfo::exists(folder));
  QFile::remove(folder + QStringLiteral("0.jpg"));
  RemoveFolderIfEmpty(folder);
  EXPECT_FALSE(QFileInfo::exists(folder));
  RemoveFolderIfEmpty(QString());  // nothing happens
}

TEST(ProgramVersion, FromTheBuildForAnExistingFile) {
  EXPECT_EQ(GetFileVersionString(QString()), QStringLiteral("0.0.0.0"));
  EXPECT_EQ(GetFileVersionString(QStringLiteral("/nonexistent/tavrolin")),
            QStringLiteral("0.0.0.0"));
  EXPECT_EQ(GetFileVersionString(QCoreApplication::applicationFilePath()),
            QStringLiteral("1.0.0.1"));
}

class WorkFolderOfTheWindow : public AppTest {};

TEST_F(WorkFolderOfTheWindow, MadeOnceAndKeptForTheRun) {
  MakeForm();
  Form->EnsureWorkFolder();
  const QString first = Form->WorkFolder();
  EXPECT_TRUE(first.startsWith(Env.Temp() + QStringLiteral("/Tavrolin-")));
  EXPECT_TRUE(first.endsWith(u'/'));
  usleep(5000);
  Form->EnsureWorkFolder();
  EXPECT_EQ(Form->WorkFolder(), first);
  EXPECT_EQ(ModeOf(first), mode_t(0700));
  Form->RemoveWorkFolder();
  EXPECT_FALSE(QFileInfo::exists(first));
  EXPECT_TRUE(Form->WorkFolder().isEmpty());
}

}  // namespace
