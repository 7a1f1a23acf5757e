// The work folder: private, new, never adopting what is there, and removed only when empty.
#include <gtest/gtest.h>

#include <stdexcept>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "TestFiles.h"
#include "WorkFolder.h"

namespace {

using testfiles::ModeOf;
using testfiles::TPrivateEnvironment;

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

}  // namespace
