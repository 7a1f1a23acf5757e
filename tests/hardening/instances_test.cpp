// Two programs at once, sharing the temporary folder as two windows of one user do: each has a
// work folder of its own, closing one never deletes the other's working files, and the second
// one to open a document cannot save it over the first one's changes.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include "AppTestSupport.h"
#include "HardeningSupport.h"

namespace {

using apptest::ReadAll;
using apptest::TDocBytes;
using apptest::TPrivateEnvironment;

// One helper process (hardening_tests --instance DOC) with what it reported.
struct TInstance {
  std::unique_ptr<QProcess> Process = std::make_unique<QProcess>();
  QString WorkFolder;
  QStringList Files;
  QStringList Errors;

  void Start(const QString& document) {
    Process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    Process->start(QCoreApplication::applicationFilePath(),
                   {QStringLiteral("--instance"), document});
    ASSERT_TRUE(Process->waitForStarted(30000));
  }
  // Reads the report up to its "end" line.
  void ReadReport() {
    for (;;) {
      while (!Process->canReadLine()) ASSERT_TRUE(Process->waitForReadyRead(120000)) << "no report";
      const QString line = QString::fromUtf8(Process->readLine()).trimmed();
      if (line == u"end") return;
      if (line.startsWith(u"ready ")) WorkFolder = line.mid(6);
      if (line.startsWith(u"file ")) Files << line.mid(5);
      if (line.startsWith(u"error ")) Errors << line.mid(6);
    }
  }
  // Saves the document; the errors the window showed meanwhile.
  QStringList Save() {
    Errors.clear();
    Process->write("save\n");
    ReadReport();
    return Errors;
  }
  QString Close() {
    Process->write("close\n");
    Process->closeWriteChannel();
    EXPECT_TRUE(Process->waitForFinished(120000));
    return QString::fromUtf8(Process->readAllStandardOutput()).trimmed();
  }
};

TEST(TwoInstances, SeparateWorkFoldersAndNeitherDeletesTheOthersFiles) {
  TPrivateEnvironment env;
  const QString photo = env.Path(QStringLiteral("p.jpg"));
  apptest::WriteJpeg(photo, 24, 32, 3);
  const QByteArray jpeg = ReadAll(photo);
  const std::vector<int32_t> p{0, 1, 1, 1, 40, 380, 40, 554};
  const QString doc = env.Path(QStringLiteral("docs/three.TavDoc"));
  apptest::WriteAll(doc, TDocBytes()
                             .Header(2, 2, 0, 3)
                             .Parameters(p)
                             .Title(QStringLiteral("a"))
                             .Jpeg(jpeg)
                             .Parameters(p)
                             .Title(QStringLiteral("b"))
                             .Jpeg(jpeg)
                             .Parameters(p)
                             .Title(QStringLiteral("c"))
                             .Jpeg(jpeg)
                             .Bytes);
  // Both start at once, with the same temporary folder.
  TInstance first, second;
  first.Start(doc);
  second.Start(doc);
  first.ReadReport();
  second.ReadReport();
  EXPECT_TRUE(first.Errors.isEmpty()) << first.Errors.join(u'\n').toStdString();
  EXPECT_TRUE(second.Errors.isEmpty()) << second.Errors.join(u'\n').toStdString();
  ASSERT_EQ(first.Files.size(), 3);
  ASSERT_EQ(second.Files.size(), 3);
  EXPECT_NE(first.WorkFolder, second.WorkFolder);
  for (const QString& file : first.Files) EXPECT_TRUE(file.startsWith(first.WorkFolder));
  for (const QString& file : second.Files) EXPECT_TRUE(file.startsWith(second.WorkFolder));

  EXPECT_EQ(first.Close(), QStringLiteral("closed"));
  for (const QString& file : first.Files) EXPECT_FALSE(QFileInfo::exists(file));
  EXPECT_FALSE(QFileInfo::exists(first.WorkFolder));
  for (const QString& file : second.Files)
    EXPECT_TRUE(QFileInfo::exists(file)) << file.toStdString();

  EXPECT_EQ(second.Close(), QStringLiteral("closed"));
  EXPECT_EQ(QDir(env.Temp()).entryList({QStringLiteral("Tavrolin-*")}, QDir::AllEntries),
            QStringList());
}

TEST(TwoInstances, TheSecondWindowOnADocumentCannotSaveOverTheFirst) {
  TPrivateEnvironment env;
  const QString photo = env.Path(QStringLiteral("p.jpg"));
  apptest::WriteJpeg(photo, 24, 32, 3);
  const std::vector<int32_t> p{0, 1, 1, 1, 40, 380, 40, 554};
  const QString doc = env.Path(QStringLiteral("one.TavDoc"));
  apptest::WriteAll(doc, TDocBytes()
                             .Header(2, 2, 0, 1)
                             .Parameters(p)
                             .Title(QStringLiteral("a"))
                             .Jpeg(ReadAll(photo))
                             .Bytes);
  TInstance first, second;
  first.Start(doc);
  first.ReadReport();
  second.Start(doc);
  second.ReadReport();
  EXPECT_EQ(first.Save(), QStringList());
  const QByteArray saved = ReadAll(doc);
  const QStringList refused = second.Save();
  ASSERT_EQ(refused.size(), 1);
  EXPECT_TRUE(refused[0].startsWith(QStringLiteral("one.TavDoc is in use by ")) &&
              refused[0].contains(QStringLiteral("(process %1)").arg(first.Process->processId())))
      << refused[0].toStdString();
  EXPECT_EQ(ReadAll(doc), saved);
  // Once the first window has closed, the second may save.
  EXPECT_EQ(first.Close(), QStringLiteral("closed"));
  EXPECT_EQ(second.Save(), QStringList());
  EXPECT_EQ(second.Close(), QStringLiteral("closed"));
  EXPECT_FALSE(QFileInfo::exists(env.Path(QStringLiteral(".one.TavDoc.lock"))));
}

}  // namespace
