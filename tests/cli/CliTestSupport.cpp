#include "CliTestSupport.h"

#include <cstring>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>

#include "JpegFixture.h"

void WriteTestJpeg(const QString& path, int width, int height, TRgb paper) {
  WriteJpegFixture(
      path, width, height,
      [=](int x, int y) {
        const bool ink = y > height / 4 && y < height / 3 && x > width / 8 && x < width * 7 / 8;
        return ink ? BgrPixel{30, 30, 30} : BgrPixel{paper.B, paper.G, paper.R};
      },
      92);
}

TRun RunProgram(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                const QString& workingDir) {
  QProcess process;
  process.setProcessEnvironment(env);
  if (!workingDir.isEmpty()) process.setWorkingDirectory(workingDir);
  process.start(program, args);
  TRun run;
  if (!process.waitForStarted(30000)) {
    run.Err = QStringLiteral("could not start ") + program;
    return run;
  }
  process.closeWriteChannel();
  if (!process.waitForFinished(120000)) {
    process.kill();
    process.waitForFinished();
    run.Err = QStringLiteral("timed out: ") + program;
    return run;
  }
  run.Out = QString::fromLocal8Bit(process.readAllStandardOutput());
  run.Err = QString::fromLocal8Bit(process.readAllStandardError());
  run.Code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  return run;
}

int PdfPageCount(const QString& file) {
  const TRun run = RunProgram(QStringLiteral("pdfinfo"), {file});
  if (run.Code != 0) return -1;
  const QRegularExpressionMatch m =
      QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption)
          .match(run.Out);
  return m.hasMatch() ? m.captured(1).toInt() : -1;
}

TCliTest::TCliTest() : Env(QProcessEnvironment::systemEnvironment()) {
  QDir(Dir.path()).mkpath(QStringLiteral("tmp"));
  Env.insert(QStringLiteral("TMPDIR"), Path(QStringLiteral("tmp")));
}

QString TCliTest::Photo(const QString& name, int width, int height, TRgb paper) {
  const QString path = Path(name);
  WriteTestJpeg(path, width, height, paper);
  return path;
}

QStringList TCliTest::Photos(int count) {
  QStringList paths;
  for (int i = 1; i <= count; ++i) paths << Photo(QStringLiteral("photos/p%1.jpg").arg(i));
  return paths;
}

TRun TCliTest::Cli(const QStringList& args) const {
  return RunProgram(QStringLiteral(TAVROLIN_CLI_PATH), args, Env, Dir.path());
}

void TCliTest::MakeDocument(const QString& doc, const QStringList& photos,
                            const QStringList& options) {
  const TRun run = Cli(QStringList{QStringLiteral("new"), doc} + photos + options);
  ASSERT_EQ(run.Code, 0) << run.Err.toStdString();
}

QJsonObject TCliTest::Info(const QString& doc) const {
  const TRun run = Cli({QStringLiteral("info"), doc, QStringLiteral("--json")});
  EXPECT_EQ(run.Code, 0) << run.Err.toStdString();
  return QJsonDocument::fromJson(run.Out.toUtf8()).object();
}

QStringList TCliTest::Titles(const QString& doc) const {
  QStringList titles;
  for (const QJsonValue& photo : Info(doc)[QStringLiteral("photos")].toArray())
    titles << photo[QStringLiteral("title")].toString();
  return titles;
}

QStringList TCliTest::TempLeftovers() const {
  return QDir(Path(QStringLiteral("tmp")))
      .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}
