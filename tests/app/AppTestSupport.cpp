#include "AppTestSupport.h"

#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QSettings>
#include <QThread>
#include <QTimer>

QByteArray B(const QString& path) {
  return QFile::encodeName(path);
}

QList<QByteArray> B(const QStringList& paths) {
  QList<QByteArray> bytes;
  for (const QString& path : paths) bytes.append(B(path));
  return bytes;
}

bool WriteMp3(const QString& path, qint64 size) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  QByteArray data(size, '\0');
  const char header[] = {'\xFF', '\xFB', '\x90', '\x64'};  // MPEG-1 layer III, 128 kbit/s
  for (qint64 i = 0; i < size && i < 4; ++i) data[i] = header[i];
  return file.write(data) == size;
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return true;
}

TUrlRecorder::TUrlRecorder() {
  QDesktopServices::setUrlHandler("file", this, "Open");
}

TUrlRecorder::~TUrlRecorder() {
  QDesktopServices::unsetUrlHandler("file");
}

void RunEventLoop(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

void MainFormTest::SetUp() {
  ASSERT_TRUE(FDir.isValid());
  // Every test starts from the choices a first run has.
  QSettings(QStringLiteral("Melotag"), QStringLiteral("Melotag")).clear();
  FScope = std::make_unique<TDialogsScope>(&FDialogs);
}

void MainFormTest::TearDown() {
  FForm.reset();
  FScope.reset();
}

TMainForm& MainFormTest::MakeForm(const QStringList& commandLine) {
  return MakeForm(B(commandLine));
}

TMainForm& MainFormTest::MakeForm(const QList<QByteArray>& commandLine) {
  FForm.reset();
  FForm = std::make_unique<TMainForm>(commandLine);
  return *FForm;
}

void MainFormTest::Files(const QStringList& names, qint64 size) {
  for (const QString& name : names) {
    QDir().mkpath(QFileInfo(Path(name)).path());
    ASSERT_TRUE(WriteMp3(Path(name), size)) << name.toStdString();
  }
}

QStringList MainFormTest::Captions() const {
  QStringList captions;
  for (int i = 0; i < FForm->FileList().Count(); ++i) captions << FForm->FileList().Caption(i);
  return captions;
}

QStringList MainFormTest::Paths() const {
  QStringList paths;
  for (int i = 0; i < FForm->FileList().Count(); ++i)
    paths << QFile::decodeName(FForm->FileList().Path(i));
  return paths;
}

void MainFormTest::Select(const QList<int>& rows) {
  QTreeWidget* list = FForm->findChild<QTreeWidget*>("lvIniFileList");
  list->clearSelection();
  for (int row : rows)
    list->selectionModel()->select(list->model()->index(row, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
}
