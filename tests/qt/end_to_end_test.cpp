#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/qt/form1.h"
#include "app/qt/posix_desktop.h"
#include "app/qt/qt_text.h"
#include "modal_answer.h"

namespace {

QStringList Entries(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

bool StartsAsJpeg(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) && file.read(3) == QByteArray("\xff\xd8\xff");
}

}  // namespace

// The whole road on the real window, the real POSIX Desktop and the real converter in bin/
// beside this program: only the two dialogs are answered by the test.
class EndToEndTest : public QObject {
  Q_OBJECT

 private slots:
  void AnXpsAndAnOpenXpsDocumentBecomeJpgImages() {
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/vellumor 全程-XXXXXX"));
    QVERIFY(root.isValid());
    const QString sources = root.filePath(QStringLiteral("源 文件"));
    const QString out = root.filePath(QStringLiteral("图 像"));
    QVERIFY(QDir().mkpath(sources) && QDir().mkpath(out));
    // text.xps has three pages, openxps.oxps one.
    QVERIFY(QFile::copy(QStringLiteral(FIXTURES_DIR "/text.xps"), sources + "/文 本.xps"));
    QVERIFY(QFile::copy(QStringLiteral(FIXTURES_DIR "/openxps.oxps"), sources + "/open.oxps"));

    PosixDesktop desktop;
    TForm1 window(desktop);
    desktop.SetOwner(&window);
    window.show();

    {
      ModalAnswer<QFileDialog> answer([&](QFileDialog* dialog) {
        dialog->setDirectory(sources);
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
            ->setText(QStringLiteral("\"文 本.xps\" \"open.oxps\""));
        static_cast<QDialog*>(dialog)->accept();
      });
      QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
      QVERIFY(answer.answered());
    }
    QCOMPARE(window.SourceItems(), (std::vector<std::u16string>{ToU16(sources + "/文 本.xps"),
                                                                ToU16(sources + "/open.oxps")}));

    QComboBox* resolution = window.findChild<QComboBox*>(QStringLiteral("ComboBox1"));
    resolution->setCurrentIndex(resolution->findText(QStringLiteral("150")));
    QCOMPARE(window.FormatText(), u"jpeg");
    {
      ModalAnswer<QFileDialog> answer([&](QFileDialog* dialog) {
        dialog->setDirectory(out);
        static_cast<QDialog*>(dialog)->accept();
      });
      QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Button2")), Qt::LeftButton);
      QVERIFY(answer.answered());
    }

    const QStringList jpeg{"图1-1.jpeg", "图1-2.jpeg", "图1-3.jpeg", "图2-1.jpeg"};
    QTRY_COMPARE_WITH_TIMEOUT(Entries(out), jpeg, 120000);

    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Button3")), Qt::LeftButton);
    const QStringList jpg{"图1-1.jpg", "图1-2.jpg", "图1-3.jpg", "图2-1.jpg"};
    QCOMPARE(Entries(out), jpg);
    for (const QString& name : jpg) QVERIFY2(StartsAsJpeg(out + '/' + name), qPrintable(name));
  }
};

QTEST_MAIN(EndToEndTest)
#include "end_to_end_test.moc"
