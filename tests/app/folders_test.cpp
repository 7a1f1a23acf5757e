// The window's work folder and the program's version string.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "AppTestSupport.h"
#include "Folders.h"

namespace {

using apptest::AppTest;
using testfiles::ModeOf;

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
