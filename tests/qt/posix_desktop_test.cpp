#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstring>

#include "app/qt/posix_desktop.h"
#include "app/qt/qt_text.h"
#include "app/qt/terminal.h"
#include "base/operation_error.h"
#include "base/texts.h"
#include "convert/convert_operation.h"
#include "fake_desktop.h"
#include "modal_answer.h"
#include "tidy/jpeg_fix.h"

using namespace std::chrono_literals;

namespace {

// The real desktop with the folder dialog answered, for driving the convert operation.
class FolderAnsweredDesktop : public PosixDesktop {
 public:
  std::u16string folder;
  std::optional<std::u16string> ChooseFolder(std::u16string_view) override { return folder; }
};

QByteArray Read(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void Write(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  QCOMPARE(file.write(bytes), bytes.size());
}

QStringList Entries(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

// The names of the files that the open dialog lists in its current folder, sorted, once at
// least `expected` have appeared (the dialog reads the folder in a thread of its own) or after
// five seconds.
QStringList ListedFiles(QFileDialog* dialog, int expected) {
  auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
  QStringList names;
  const bool complete = QTest::qWaitFor(
      [&] {
        names.clear();
        const QModelIndex root = view->rootIndex();
        for (int row = 0; row < view->model()->rowCount(root); ++row) {
          const QModelIndex index = view->model()->index(row, 0, root);
          if (index.flags().testFlag(Qt::ItemIsEnabled)) names << index.data().toString();
        }
        return names.size() >= expected;
      },
      5000);
  if (!complete) qWarning("the open dialog lists fewer files than expected");
  names.sort();
  return names;
}

bool HasChildren() {
  int status = 0;
  return !(waitpid(-1, &status, WNOHANG) < 0 && errno == ECHILD);
}

// Sets the variables the terminal is chosen by (null: unset).
void SetTerminalEnvironment(const QByteArray& display, const QByteArray& terminal,
                            const QByteArray& path) {
  display.isNull() ? qunsetenv("DISPLAY") : qputenv("DISPLAY", display);
  terminal.isNull() ? qunsetenv("TERMINAL") : qputenv("TERMINAL", terminal);
  qputenv("PATH", path);
}

// A stand-in terminal emulator: records its arguments, each ended by a NUL, into NAME.args
// beside itself, then runs what follows its first argument (-e or --).
std::string WriteStandInTerminal(const QString& folder, const QString& name) {
  const QString path = folder + u'/' + name;
  Write(path,
        "#!/bin/sh\nprintf '%s\\0' \"$@\" > \"$0.part\" && /bin/mv \"$0.part\" \"$0.args\"\n"
        "shift\nexec \"$@\"\n");
  QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
  return path.toStdString();
}

}  // namespace

class PosixDesktopTest : public QObject {
  Q_OBJECT

  QTemporaryDir root_{QDir::tempPath() + QStringLiteral("/vellumor 测试-XXXXXX")};

 private slots:
  void initTestCase() { QVERIFY(root_.isValid()); }

  void StartsTheConverterWithExactlyItsArguments() {
    const QString out = root_.filePath(QStringLiteral("输出 目录"));
    QVERIFY(QDir().mkpath(out));
    FakeForm form;
    form.items = {ToU16(root_.filePath(QStringLiteral("a b.xps"))),
                  ToU16(root_.filePath(QStringLiteral("文档 \"二\".xps")))};
    form.format = u" tiff  x";
    form.resolution = u"150";
    FolderAnsweredDesktop desktop;
    desktop.folder = ToU16(out);

    ConvertSources(form, desktop);
    QVERIFY(!HasChildren());

    const QString first = out + QStringLiteral("/图1-.args");
    const QString second = out + QStringLiteral("/图2-.args");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(first) && QFile::exists(second), 30000);
    const QByteArray session = QByteArray::number(getsid(0));
    for (int i = 0; i < 2; ++i) {
      QList<QByteArray> record = Read(i == 0 ? first : second).split('\0');
      QCOMPARE(record.takeLast(), QByteArray());
      QCOMPARE(record.mid(0, 3), (QList<QByteArray>{"/dev/null", "/dev/null", "/dev/null"}));
      QVERIFY(record[3] != session);
      const QList<QByteArray> expected{
          ToQString(form.items[i]).toUtf8(),
          out.toUtf8(),
          "-f",
          "tiff",
          "x",
          "-d",
          "150",
          "-i",
          i == 0 ? QStringLiteral("图1-").toUtf8() : QStringLiteral("图2-").toUtf8()};
      QCOMPARE(record.mid(4), expected);
    }
  }

  // The terminal that $TERMINAL names, else x-terminal-emulator, as found on PATH, and the
  // converter started through it with exactly its arguments; none without a display.
  void StartsTheConverterInTheDesktopsTerminalEmulator() {
    const QByteArray path = qgetenv("PATH");
    qunsetenv("WAYLAND_DISPLAY");
    const QString bin = root_.filePath(QStringLiteral("终端 bin"));
    const QString out = root_.filePath(QStringLiteral("终端 输出"));
    QVERIFY(QDir().mkpath(bin) && QDir().mkpath(out));
    const std::string debian = WriteStandInTerminal(bin, QStringLiteral("x-terminal-emulator"));
    const std::string mine = WriteStandInTerminal(bin, QStringLiteral("my term"));
    const std::string gnome = WriteStandInTerminal(bin, QStringLiteral("gnome-terminal"));
    const QByteArray folders = bin.toUtf8() + ':' + path;
    struct Case {
      QByteArray display, terminal, path;
      std::vector<std::string> launcher;
    };
    for (const Case& c : std::vector<Case>{{":1", {}, folders, {debian, "-e"}},
                                           {":1", "my term", folders, {mine, "-e"}},
                                           {":1", "gnome-terminal", folders, {gnome, "--"}},
                                           {":1", "no such term", folders, {debian, "-e"}},
                                           {":1", "my term", out.toUtf8(), {}},
                                           {"", "my term", folders, {}}}) {
      SetTerminalEnvironment(c.display, c.terminal, c.path);
      QCOMPARE(TerminalLauncher(), c.launcher);
    }

    SetTerminalEnvironment(":1", {}, folders);
    FakeForm form;
    form.items = {ToU16(root_.filePath(QStringLiteral("c \"d\" e.xps")))};
    FolderAnsweredDesktop desktop;
    desktop.folder = ToU16(out);
    ConvertSources(form, desktop);
    SetTerminalEnvironment("", {}, path);
    const QString record = out + QStringLiteral("/图.args");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 30000);
    const QList<QByteArray> arguments{ToQString(form.items[0]).toUtf8(),
                                      out.toUtf8(),
                                      "-f",
                                      "jpeg",
                                      "-d",
                                      "300",
                                      "-i",
                                      QStringLiteral("图").toUtf8(),
                                      {}};
    const QByteArray converter = (QCoreApplication::applicationDirPath() + "/bin/xps2img").toUtf8();
    QCOMPARE(Read(QString::fromStdString(debian) + QStringLiteral(".args")).split('\0'),
             (QList<QByteArray>{"-e", converter} + arguments));
    QCOMPARE(Read(record).split('\0').mid(4), arguments);
  }

  void AFailedStartIsIgnored() {
    PosixDesktop desktop;
    desktop.StartProcess(u"/no/such/folder/xps2img", {{ProgramArgument::Kind::Whole, u"a.xps"}});
    desktop.StartProcess(u"", {});
    QVERIFY(!HasChildren());
  }

  void CreatesFilesOnlyAnew() {
    PosixDesktop desktop;
    const QString path = root_.filePath(QStringLiteral("新 file.sh"));
    QVERIFY(desktop.CreateNewFile(ToU16(path), "first\n"));
    QVERIFY(!desktop.CreateNewFile(ToU16(path), "second\n"));
    QCOMPARE(Read(path), QByteArray("first\n"));

    const std::u16string missing = ToU16(root_.filePath(QStringLiteral("gone/rename.sh")));
    try {
      desktop.CreateNewFile(missing, "x");
      QFAIL("no error for a file in a missing folder");
    } catch (const OperationError& error) {
      QCOMPARE(ToQString(error.Message()),
               ToQString(CreateFileErrorMessage(
                   missing, ToU16(QString::fromLocal8Bit(std::strerror(ENOENT))))));
    }

    QVERIFY(desktop.FolderExists(ToU16(root_.path())));
    QVERIFY(!desktop.FolderExists(ToU16(path)));
    QVERIFY(!desktop.FolderExists(missing));
    QVERIFY(!desktop.FolderExists(u""));
    desktop.RemoveFile(ToU16(path));
    QVERIFY(!QFile::exists(path));
  }

  void RunsTheScriptInItsFolderAndWaitsForIt() {
    const QString folder = root_.filePath(QStringLiteral("脚本 folder"));
    QVERIFY(QDir().mkpath(folder));
    PosixDesktop desktop;
    const std::u16string script = ToU16(folder + QStringLiteral("/slow.sh"));
    QVERIFY(desktop.CreateNewFile(script, "sleep 0.5\necho done > finished\n"));
    QVERIFY(desktop.RunScript(script, ToU16(folder), 10s));
    QCOMPARE(Read(folder + QStringLiteral("/finished")), QByteArray("done\n"));
    QVERIFY(!HasChildren());
  }

  void JpegFixRenamesAndLeavesTheRestAlone() {
    const QString folder = root_.filePath(QStringLiteral("图 片"));
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/d.jpeg")));
    const QByteArray userScript("#!/bin/sh\r\necho mine \xff\n");
    Write(folder + QStringLiteral("/rename.sh"), userScript);
    Write(folder + QStringLiteral("/a.jpeg"), "A");
    Write(folder + QStringLiteral("/p q.jpeg"), "PQ");
    Write(folder + QStringLiteral("/-n.jpeg"), "N");
    Write(folder + QStringLiteral("/c.jpeg"), "new");
    Write(folder + QStringLiteral("/c.jpg"), "old");
    Write(folder + QStringLiteral("/x.png"), "X");

    FakeForm form;
    form.outputDirectory = ToU16(folder);
    PosixDesktop desktop;
    const QStringList expected{"-n.jpg", "a.jpg",   "c.jpeg",    "c.jpg",
                               "d.jpeg", "p q.jpg", "rename.sh", "x.png"};
    for (int run = 0; run < 2; ++run) {  // the second run finds nothing left to rename
      FixJpegExtensions(form, desktop);
      QCOMPARE(Entries(folder), expected);
      QCOMPARE(Read(folder + QStringLiteral("/a.jpg")), QByteArray("A"));
      QCOMPARE(Read(folder + QStringLiteral("/p q.jpg")), QByteArray("PQ"));
      QCOMPARE(Read(folder + QStringLiteral("/-n.jpg")), QByteArray("N"));
      QCOMPARE(Read(folder + QStringLiteral("/c.jpeg")), QByteArray("new"));
      QCOMPARE(Read(folder + QStringLiteral("/c.jpg")), QByteArray("old"));
      QCOMPARE(Read(folder + QStringLiteral("/rename.sh")), userScript);
    }
  }

  void FileDialogOffersXpsAndOpenXpsFilesAndReportsFullPaths() {
    const QString folder = root_.filePath(QStringLiteral("选 择"));
    QVERIFY(QDir().mkpath(folder));
    for (const char* name :
         {"b 1.xps", "文档.xps", "打印.oxps", "Scan.OXPS", "notes.pdf", "a.xps.txt"}) {
      Write(folder + '/' + QString::fromUtf8(name), "");
    }
    PosixDesktop desktop;
    QStringList filters, listed;
    QFileDialog::FileMode mode{};
    ModalAnswer<QFileDialog> answer([&](QFileDialog* dialog) {
      filters = dialog->nameFilters();
      mode = dialog->fileMode();
      dialog->setDirectory(folder);
      listed = ListedFiles(dialog, 4);
      QVERIFY(dialog->grab().save(QStringLiteral(DIALOG_SCREENSHOT_PATH)));
      dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
          ->setText(QStringLiteral("\"b 1.xps\" \"打印.oxps\""));
      static_cast<QDialog*>(dialog)->accept();  // QFileDialog hides it; it still runs its own
    });
    const auto selection = desktop.ChooseFiles(texts::kOpenDialogFilter);
    QVERIFY(answer.answered());
    QCOMPARE(filters, QStringList{QStringLiteral("XPS文件 (*.xps *.oxps)")});
    QCOMPARE(mode, QFileDialog::ExistingFiles);
    // The patterns match whatever the letter case; other files are not offered.
    QCOMPARE(listed, (QStringList{"Scan.OXPS", "b 1.xps", "打印.oxps", "文档.xps"}));
    QVERIFY(selection.has_value());
    QStringList names;
    for (const std::u16string& name : selection->names) names << ToQString(name);
    names.sort();
    QCOMPARE(names, (QStringList{folder + QStringLiteral("/b 1.xps"),
                                 folder + QStringLiteral("/打印.oxps")}));

    ModalAnswer<QFileDialog> cancel([](QFileDialog* dialog) { dialog->reject(); });
    QVERIFY(!desktop.ChooseFiles(texts::kOpenDialogFilter).has_value());
    QVERIFY(cancel.answered());
  }

  void FolderDialogStartsAtHomeAndMakesNoFolders() {
    const QString target = root_.filePath(QStringLiteral("目标 folder"));
    QVERIFY(QDir().mkpath(target));
    PosixDesktop desktop;
    for (int run = 0; run < 2; ++run) {  // never at the folder chosen last
      QString title, start;
      QFileDialog::Options options;
      QFileDialog::FileMode mode{};
      ModalAnswer<QFileDialog> answer([&](QFileDialog* dialog) {
        title = dialog->windowTitle();
        start = dialog->directory().absolutePath();
        options = dialog->options();
        mode = dialog->fileMode();
        dialog->setDirectory(target);
        static_cast<QDialog*>(dialog)->accept();  // QFileDialog hides it; it still runs its own
      });
      const auto folder = desktop.ChooseFolder(texts::kFolderDialogTitle);
      QVERIFY(answer.answered());
      QCOMPARE(title, QStringLiteral("文件保存路径浏览... "));
      QCOMPARE(start, QDir::homePath());
      QCOMPARE(mode, QFileDialog::Directory);
      QVERIFY(options.testFlag(QFileDialog::ShowDirsOnly));
      QVERIFY(options.testFlag(QFileDialog::ReadOnly));
      QCOMPARE(folder, std::optional<std::u16string>(ToU16(target)));
    }
    ModalAnswer<QFileDialog> cancel([](QFileDialog* dialog) { dialog->reject(); });
    QVERIFY(!desktop.ChooseFolder(texts::kFolderDialogTitle).has_value());
    QVERIFY(cancel.answered());
  }
};

QTEST_MAIN(PosixDesktopTest)
#include "posix_desktop_test.moc"
