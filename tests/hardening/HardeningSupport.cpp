#include "HardeningSupport.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <string>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "AppTestSupport.h"
#include "FormMain.h"
#include "TestMain.h"

namespace hardening {

bool PrivateMounts = false;

namespace {

const char* const kFiller = ".filler";

// What the fault tests add to the shared main: a mount namespace of their own for the full-disk
// tests, which must be made while the process has one thread, and the helper process mode.
[[maybe_unused]] const bool kMainHooked = [] {
  testsupport::TMainHooks& hooks = testsupport::MainHooks();
  hooks.BeforeAnything = [] {
    // A file that may not grow any more fails its write instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    PrivateMounts = unshare(CLONE_NEWNS) == 0 &&
                    mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    // The windows' start-up fetch and pings go to a closed port here, never out of the machine.
    if (qEnvironmentVariableIsEmpty("TAVROLIN_SITE")) qputenv("TAVROLIN_SITE", "127.0.0.1:9");
  };
  hooks.InsteadOfTests = [](int argc, char** argv) -> std::optional<int> {
    if (argc == 3 && std::strcmp(argv[1], "--instance") == 0)
      return RunInstance(QString::fromLocal8Bit(argv[2]));
    return std::nullopt;
  };
  return true;
}();

}  // namespace

TSmallDisk::TSmallDisk(const QString& folder, int64_t bytes) : Folder(folder) {
  QDir().mkpath(folder);
  if (PrivateMounts) {
    const QByteArray options = "size=" + QByteArray::number(qint64(bytes));
    if (mount("tavrolin-hardening", QFile::encodeName(folder).constData(), "tmpfs", 0,
              options.constData()) == 0) {
      Mounted = true;
      return;
    }
    Reason = QStringLiteral("tmpfs: ") + QString::fromLocal8Bit(std::strerror(errno));
  } else {
    Reason = QStringLiteral("no private mount namespace");
  }
  rlimit limit{};
  LimitWorks = getrlimit(RLIMIT_FSIZE, &limit) == 0;
  if (!LimitWorks) Reason += QStringLiteral("; no file-size limit either");
}

TSmallDisk::~TSmallDisk() {
  Release();
  if (Mounted) umount2(QFile::encodeName(Folder).constData(), MNT_DETACH);
}

void TSmallDisk::FillUp() {
  if (Mounted) {
    QFile filler(Folder + u'/' + QLatin1String(kFiller));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Append)) return;
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    // The last partial block, byte by byte.
    while (filler.write("x", 1) == 1 && filler.flush()) {
    }
    return;
  }
  if (LimitWorks) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 0;
    Limited = setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
}

void TSmallDisk::Release() {
  if (Mounted) QFile::remove(Folder + u'/' + QLatin1String(kFiller));
  if (Limited) {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_FSIZE, &limit);
    Limited = false;
  }
}

QStringList FilesIn(const QString& folder) {
  QStringList names = QDir(folder).entryList(
      QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
  names.removeAll(QLatin1String(kFiller));
  return names;
}

int64_t PeakResidentMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

QString FuzzCorpus(const QString& target) {
  return QStringLiteral(TAVROLIN_SOURCE_DIR "/fuzz/corpus/") + target;
}

int RunInstance(const QString& document) {
  TScriptedPrompts prompts;
  TScriptedWait wait;
  // The save prompt when closing: "No", the list is discarded.
  prompts.Answers.push_back(IUserPrompts::Answer::No);
  auto form = std::make_unique<TFormMain>(prompts);
  form->SetWaitDialog(wait);
  form->RunHandler([&] { form->OpenDocument(document); });
  std::cout << "ready " << form->WorkFolder().toStdString() << '\n';
  for (int i = 0; i < form->PhotoCount(); ++i)
    std::cout << "file " << form->Photo(i)->WorkFile.toStdString() << '\n';
  for (const QString& error : prompts.Errors())
    std::cout << "error " << error.toStdString() << '\n';
  std::cout << "end" << std::endl;
  std::string line;
  while (std::getline(std::cin, line) && line != "close") {
    // "save": writes the document back where it came from, as "Save" does after the dialog.
    if (line != "save") continue;
    const qsizetype known = prompts.Errors().size();
    form->RunHandler([&] { form->WriteDocument(document); });
    for (qsizetype i = known; i < prompts.Errors().size(); ++i)
      std::cout << "error " << prompts.Errors()[i].toStdString() << '\n';
    std::cout << "end" << std::endl;
  }
  const bool closed = form->FormClose();
  form.reset();
  std::cout << (closed ? "closed" : "kept open") << std::endl;
  return closed ? 0 : 1;
}

}  // namespace hardening
