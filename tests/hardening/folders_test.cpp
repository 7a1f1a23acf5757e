// Folders that vanish or cannot be written: the work folder (in the temporary folder), the data
// folder and the export folder. Each gives a clear message or is recovered from, and the window
// stays usable with its list as it was. As root every folder is writable, so "cannot be written"
// is made with a file standing where a folder should be, and, where mounts are possible, with a
// read-only file system.
#include <gtest/gtest.h>

#include <sys/mount.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "AppTestSupport.h"
#include "ExportImages.h"
#include "HardeningSupport.h"

namespace {

using apptest::AppTest;
using hardening::FilesIn;

// A folder that cannot be written: a read-only tmpfs where mounts are possible, otherwise a
// regular file of that name (nothing can be created "inside" it).
class TUnwritableFolder {
 public:
  explicit TUnwritableFolder(const QString& path) : Path(path) {
    QDir().mkpath(path);
    if (hardening::PrivateMounts && mount("tavrolin-readonly", QFile::encodeName(path).constData(),
                                          "tmpfs", MS_RDONLY, "size=64k") == 0) {
      Mounted = true;
      return;
    }
    QDir().rmdir(path);
    apptest::WriteAll(path, "not a folder");
  }
  ~TUnwritableFolder() {
    if (Mounted) umount2(QFile::encodeName(Path).constData(), MNT_DETACH);
  }
  const QString Path;

 private:
  bool Mounted = false;
};

class FolderFaults : public AppTest {
 protected:
  QStringList WorkFoldersInTemp() const {
    return QDir(Env.Temp()).entryList({QStringLiteral("Tavrolin-*")}, QDir::AllEntries);
  }
};

TEST_F(FolderFaults, AnUnwritableTemporaryFolderFailsTheAddAndALaterAddWorks) {
  const TUnwritableFolder locked(Env.Root() + QStringLiteral("/locked-tmp"));
  qputenv("TMPDIR", QFile::encodeName(locked.Path));
  const QString photo = MakePhoto(QStringLiteral("a.jpg"));
  MakeForm();
  Form->RunHandler([&] { Form->AddFileList({photo}); });
  ASSERT_EQ(Prompts.Errors().size(), 1);
  EXPECT_FALSE(Prompts.Errors().front().isEmpty());
  EXPECT_EQ(Form->PhotoCount(), 0);
  EXPECT_TRUE(Form->isEnabled());
  EXPECT_FALSE(Form->Busy());

  qputenv("TMPDIR", QFile::encodeName(Env.Temp()));
  Form->RunHandler([&] { Form->AddFileList({photo}); });
  EXPECT_EQ(Prompts.Errors().size(), 1);
  EXPECT_EQ(Titles(), QStringList({QStringLiteral("a.jpg")}));
}

// A cleaner of the temporary folder may remove the work folder while the program runs. The
// photos already in the list keep their previews; new ones go into a new private folder.
TEST_F(FolderFaults, AWorkFolderThatVanishedIsMadeAgainForTheNextPhoto) {
  FormWithRows({QStringLiteral("a"), QStringLiteral("b")});
  const QString first = Form->WorkFolder();
  ASSERT_TRUE(QDir(first).removeRecursively());
  const QString photo = MakePhoto(QStringLiteral("c.jpg"));
  Form->RunHandler([&] { Form->AddFileList({photo}); });
  EXPECT_TRUE(Prompts.Errors().isEmpty()) << Prompts.Errors().join(u'\n').toStdString();
  ASSERT_EQ(Titles(), QStringList({QStringLiteral("a.jpg"), QStringLiteral("b.jpg"),
                                   QStringLiteral("c.jpg")}));
  EXPECT_TRUE(QFileInfo::exists(Form->Photo(2)->WorkFile));
  EXPECT_TRUE(Form->Photo(0)->Preview && Form->Photo(1)->Preview);

  // Saving needs the lost working copies: it says so and writes nothing.
  const QString doc = Env.Path(QStringLiteral("docs/notes.TavDoc"));
  Prompts.FileToSave.push_back(doc);
  Form->SaveasTavrolinDocument1->trigger();
  ASSERT_EQ(Prompts.Errors().size(), 1);
  EXPECT_TRUE(Prompts.Errors().front().contains(QStringLiteral("File not found")))
      << Prompts.Errors().front().toStdString();
  EXPECT_FALSE(QFileInfo::exists(doc));

  // Closing clears the list and leaves no folder behind.
  Prompts.Answers.push_back(IUserPrompts::Answer::No);
  EXPECT_TRUE(Form->FormClose());
  EXPECT_EQ(WorkFoldersInTemp(), QStringList());
}

// Without a data folder the program still starts and works; the settings copy, the advertising
// cache and the installer simply have nowhere to go, and nothing lands anywhere else.
TEST_F(FolderFaults, AnUnwritableDataFolderLeavesTheProgramUsable) {
  const TUnwritableFolder locked(Env.Root() + QStringLiteral("/locked-data"));
  qputenv("XDG_DATA_HOME", QFile::encodeName(locked.Path));
  ShowForm();
  EXPECT_TRUE(Form->AppDataFolder.startsWith(locked.Path + u'/'))
      << Form->AppDataFolder.toStdString();
  FormWithRows({QStringLiteral("a")});
  EXPECT_TRUE(Prompts.Errors().isEmpty()) << Prompts.Errors().join(u'\n').toStdString();
  EXPECT_EQ(Form->PhotoCount(), 1);
  Prompts.Answers.push_back(IUserPrompts::Answer::No);
  EXPECT_TRUE(Form->FormClose());
}

TEST_F(FolderFaults, AnExportFolderThatVanishesMidwayEndsTheExportWithItsName) {
  FormWithRows({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
  const QString folder = Env.Path(QStringLiteral("exported/pages"));
  Wait.OnProgress = [&](int position) {
    if (position == 1) QDir(folder).removeRecursively();
  };
  std::string error;
  try {
    ExportImages(Form->Photos(), Wait, folder, QStringLiteral("TavDoc"), ExportPng);
  } catch (const std::runtime_error& e) {
    error = e.what();
  }
  EXPECT_NE(error.find("TavDoc001.png"), std::string::npos) << error;
  EXPECT_EQ(Wait.Calls.back().What, QStringLiteral("Close"));
  EXPECT_EQ(Form->PhotoCount(), 3);

  // A folder that cannot be made is refused before the first page, with its name.
  const TUnwritableFolder locked(Env.Root() + QStringLiteral("/locked-export"));
  try {
    ExportImages(Form->Photos(), Wait, locked.Path + QStringLiteral("/pages"),
                 QStringLiteral("TavDoc"), ExportJpeg);
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("Unable to create directory"), std::string::npos)
        << e.what();
  }
}

}  // namespace
