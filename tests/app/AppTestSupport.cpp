#include "AppTestSupport.h"

#include <cstdio>
#include <vector>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QTimer>
#include <QtEndian>

#include <jpeglib.h>

namespace apptest {

TPrivateEnvironment::TPrivateEnvironment() {
  EXPECT_TRUE(Dir.isValid());
  for (const QString& folder : {Temp(), DataHome(), ConfigHome(), SystemData()}) {
    QDir().mkpath(folder);
  }
  Set("TMPDIR", Temp());
  Set("XDG_DATA_HOME", DataHome());
  Set("XDG_CONFIG_HOME", ConfigHome());
  Set("XDG_DATA_DIRS", SystemData());
  // The window fetches its settings and pings at start; in tests they go to a closed local
  // port and fail at once, never to a name that needs a resolver. Tests of the online parts
  // point it at their own server.
  Set("TAVROLIN_SITE", QStringLiteral("127.0.0.1:9"));
}

TPrivateEnvironment::~TPrivateEnvironment() {
  for (auto it = Saved.rbegin(); it != Saved.rend(); ++it) {
    if (it->second) {
      qputenv(it->first.constData(), *it->second);
    } else {
      qunsetenv(it->first.constData());
    }
  }
}

void TPrivateEnvironment::Set(const char* name, const QString& value) {
  Saved.emplace_back(name, qEnvironmentVariableIsSet(name)
                               ? std::optional<QByteArray>(qgetenv(name))
                               : std::nullopt);
  qputenv(name, QFile::encodeName(value));
}

QString TPrivateEnvironment::Path(const QString& relative) const {
  const QString path = Root() + u'/' + relative;
  QDir().mkpath(QFileInfo(path).absolutePath());
  return path;
}

void WriteJpeg(const QString& path, int width, int height, int seed) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buffer, &size);
  c.image_width = static_cast<JDIMENSION>(width);
  c.image_height = static_cast<JDIMENSION>(height);
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  jpeg_start_compress(&c, TRUE);
  std::vector<unsigned char> row(static_cast<size_t>(width) * 3);
  while (c.next_scanline < c.image_height) {
    const int y = static_cast<int>(c.next_scanline);
    for (int x = 0; x < width; ++x) {
      row[x * 3 + 0] = static_cast<unsigned char>((x * 5 + seed * 37) & 0xFF);
      row[x * 3 + 1] = static_cast<unsigned char>((y * 3 + seed * 11) & 0xFF);
      row[x * 3 + 2] = static_cast<unsigned char>(((x ^ y) + seed) & 0xFF);
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&c, rows, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  WriteAll(path, QByteArray(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size)));
  std::free(buffer);
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    ADD_FAILURE() << "cannot read " << path.toStdString();
    return {};
  }
  return file.readAll();
}

void WriteAll(const QString& path, const QByteArray& data) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
  ASSERT_EQ(file.write(data), data.size());
}

QStringList FilesIn(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

TDocBytes& TDocBytes::Int(int32_t value) {
  char bytes[4];
  qToLittleEndian<int32_t>(value, bytes);
  Bytes.append(bytes, 4);
  return *this;
}

TDocBytes& TDocBytes::Header(int32_t rows, int32_t columns, int32_t order, int32_t count,
                             int32_t magic, int32_t version) {
  return Int(magic).Int(version).Int(rows).Int(columns).Int(order).Int(count);
}

TDocBytes& TDocBytes::Parameters(const std::vector<int32_t>& eight) {
  for (int32_t value : eight) Int(value);
  return *this;
}

TDocBytes& TDocBytes::Title(const QString& title) {
  Int(static_cast<int32_t>(title.size()));
  for (QChar c : title) {
    char bytes[2];
    qToLittleEndian<uint16_t>(c.unicode(), bytes);
    Bytes.append(bytes, 2);
  }
  return *this;
}

TDocBytes& TDocBytes::Jpeg(const QByteArray& data) {
  Int(static_cast<int32_t>(data.size()));
  Bytes.append(data);
  return *this;
}

TDocBytes& TDocBytes::Raw(const QByteArray& data) {
  Bytes.append(data);
  return *this;
}

QStringList TScriptedPrompts::Errors() const {
  QStringList errors;
  for (const TMessageCall& call : Messages) {
    if (call.Icon == Icon::Error) errors << call.Text;
  }
  return errors;
}

IUserPrompts::Answer TScriptedPrompts::Message(QWidget*, const QString& caption,
                                               const QString& text, Buttons buttons, Icon icon) {
  Messages.push_back({caption, text, buttons, icon});
  if (buttons == Buttons::Ok) return Answer::Ok;
  if (Answers.empty()) {
    ADD_FAILURE() << "unexpected question: " << text.toStdString();
    return Answer::Cancel;
  }
  const Answer answer = Answers.front();
  Answers.pop_front();
  return answer;
}

QStringList TScriptedPrompts::OpenFiles(QWidget*, const QString& title, const QString& filter) {
  Dialogs.push_back({QStringLiteral("OpenFiles"), title, filter, QString(), {}});
  if (FilesToOpen.empty()) {
    ADD_FAILURE() << "unexpected open dialog: " << title.toStdString();
    return {};
  }
  QStringList files = FilesToOpen.front();
  FilesToOpen.pop_front();
  return files;
}

QString TScriptedPrompts::OpenFile(QWidget*, const QString& title, const QString& filter) {
  Dialogs.push_back({QStringLiteral("OpenFile"), title, filter, QString(), {}});
  if (FileToOpen.empty()) {
    ADD_FAILURE() << "unexpected open dialog: " << title.toStdString();
    return {};
  }
  QString file = FileToOpen.front();
  FileToOpen.pop_front();
  return file;
}

QString TScriptedPrompts::SaveFile(QWidget*, const QString& title, const QString& filter,
                                   const QString& defaultSuffix) {
  Dialogs.push_back({QStringLiteral("SaveFile"), title, filter, defaultSuffix, {}});
  if (FileToSave.empty()) {
    ADD_FAILURE() << "unexpected save dialog: " << title.toStdString();
    return {};
  }
  QString file = FileToSave.front();
  FileToSave.pop_front();
  return file;
}

QString TScriptedPrompts::BrowseFolder(QWidget*, const QString& title, const QString& start) {
  Dialogs.push_back({QStringLiteral("BrowseFolder"), title, QString(), QString(), start});
  if (FoldersToBrowse.empty()) {
    ADD_FAILURE() << "unexpected folder dialog: " << title.toStdString();
    return {};
  }
  QString folder = FoldersToBrowse.front();
  FoldersToBrowse.pop_front();
  if (AfterBrowse) QTimer::singleShot(0, AfterBrowse);
  return folder;
}

bool TScriptedPrompts::Print(QWidget*, QPrinter& printer, PrintChoice& choice) {
  PrintOffers.push_back(choice);
  if (!PrintAnswer) {
    ADD_FAILURE() << "unexpected print dialog";
    return false;
  }
  return PrintAnswer(printer, choice);
}

void TScriptedWait::Record(Call call) {
  call.WatchedEnabled = Watched ? Watched->isEnabled() : true;
  Calls.push_back(std::move(call));
}

void TScriptedWait::ShowWait(const QString& caption, const QString& text, int minimum,
                             int maximum) {
  RunningFlag = true;
  ProgressCalls = 0;
  Record({QStringLiteral("ShowWait"), caption, text, minimum, maximum});
}

void TScriptedWait::SetProgress(int position) {
  Record({QStringLiteral("SetProgress"), {}, {}, position, 0});
  if (OnProgress) OnProgress(position);
  if (++ProgressCalls == CancelAfter) RunningFlag = false;
}

void TScriptedWait::Close() {
  RunningFlag = false;
  Record({QStringLiteral("Close"), {}, {}, 0, 0});
}

std::vector<int> TScriptedWait::Progress() const {
  std::vector<int> positions;
  for (const Call& call : Calls) {
    if (call.What == QLatin1String("SetProgress")) positions.push_back(call.A);
  }
  return positions;
}

int TScriptedWait::Count(const QString& what) const {
  int n = 0;
  for (const Call& call : Calls) n += call.What == what ? 1 : 0;
  return n;
}

TFormMain& AppTest::MakeForm() {
  Form = std::make_unique<TFormMain>(Prompts);
  Form->SetWaitDialog(Wait);
  ExportDialog = new TForm3(Prompts, Form.get());
  Form->SetExportDialog(*ExportDialog);
  Wait.Watched = Form.get();
  return *Form;
}

void AppTest::ShowForm() {
  if (!Form) MakeForm();
  Form->show();
  EXPECT_TRUE(QTest::qWaitFor([this] { return Form->FormShowDone; }, 5000));
}

QString AppTest::MakePhoto(const QString& name, int width, int height, int seed) {
  const QString path = Env.Path(QStringLiteral("photos/") + name);
  WriteJpeg(path, width, height, seed);
  return path;
}

QStringList AppTest::Titles() const {
  QStringList titles;
  for (int i = 0; i < Form->PhotoCount(); ++i) titles << Form->RowTitle(i);
  return titles;
}

TFormMain& AppTest::FormWithRows(const QStringList& names) {
  if (!Form) MakeForm();
  QStringList paths;
  int seed = 0;
  for (const QString& name : names) paths << MakePhoto(name + QStringLiteral(".jpg"), 40, 56, ++seed);
  Form->AddFileList(paths);
  return *Form;
}

void AppTest::TearDown() { Form.reset(); }

}  // namespace apptest
