#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTest>

#include "app/qt/form1.h"
#include "app/qt/posix_desktop.h"
#include "app/qt/qt_text.h"
#include "base/operation_error.h"
#include "fake_desktop.h"
#include "modal_answer.h"

namespace {

template <class W = QWidget>
W* Find(QWidget& window, std::u16string_view name) {
  return window.findChild<W*>(ToQString(name));
}

QStringList Texts(std::span<const std::u16string_view> items) {
  QStringList texts;
  for (std::u16string_view item : items) texts << ToQString(item);
  return texts;
}

QStringList ComboItems(const QComboBox* combo) {
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
  return items;
}

// A desktop whose file dialog fails with an error, as a platform call might.
class ThrowingDesktop : public FakeDesktop {
 public:
  std::function<void()> thrower;
  std::optional<FileSelection> ChooseFiles(std::u16string_view filter) override {
    FakeDesktop::ChooseFiles(filter);
    thrower();
    return std::nullopt;
  }
};

// The box as "title|icon|buttons|text".
QString Box(QMessageBox::Icon icon, const QString& text) {
  return QStringLiteral("Vellumor|%1|%2|%3").arg(icon).arg(QMessageBox::Ok).arg(text);
}

// The box that `action` shows, answered with OK; "none" when it shows none.
QString BoxShownBy(const std::function<void()>& action) {
  QString seen = QStringLiteral("none");
  ModalAnswer<QMessageBox> answer([&seen](QMessageBox* box) {
    seen = QStringLiteral("%1|%2|%3|%4")
               .arg(box->windowTitle())
               .arg(box->icon())
               .arg(box->standardButtons().toInt())
               .arg(box->text());
    box->accept();
  });
  action();
  return seen;
}

}  // namespace

class Form1Test : public QObject {
  Q_OBJECT

 private slots:
  void WindowProperties() {
    FakeDesktop desktop;
    TForm1 window(desktop);
    window.show();
    QCOMPARE(window.windowTitle(), QStringLiteral("Vellumor"));
    QCOMPARE(window.size(), QSize(form::kClientWidth, form::kClientHeight));
    // Centred, give or take the rounding and the frame the platform adds.
    const QPoint offCentre =
        window.geometry().center() - window.screen()->availableGeometry().center();
    QVERIFY2(offCentre.manhattanLength() <= 4, qPrintable(QString::number(offCentre.x())));
    QVERIFY(window.minimumSize() != window.maximumSize());
    QVERIFY(!window.windowIcon().isNull());
    QCOMPARE(window.font().family(), ToQString(form::kFontFace));
    QCOMPARE(window.font().pixelSize(), form::kFontHeightPixels);
    QVERIFY(window.autoFillBackground());
    QCOMPARE(window.palette().color(QPalette::Window), window.palette().color(QPalette::Button));
  }

  void ControlsFollowTheTable() {
    FakeDesktop desktop;
    TForm1 window(desktop);
    window.show();
    for (const form::ControlSpec& control : form::kControls) {
      const QString name = ToQString(control.name);
      QWidget* widget = Find(window, control.name);
      if (control.kind == form::ControlKind::OpenDialog) {
        QVERIFY2(widget == nullptr, qPrintable(name));
        continue;
      }
      QVERIFY2(widget != nullptr, qPrintable(name));
      QCOMPARE(widget->parentWidget()->objectName(), ToQString(control.parent));
      QCOMPARE(widget->geometry(), QRect(control.left, control.top, control.width, control.height));
      const QString text = ToQString(control.text);
      switch (control.kind) {
        case form::ControlKind::Button:
          QCOMPARE(qobject_cast<QPushButton*>(widget)->text(), text);
          break;
        case form::ControlKind::Label:
          QCOMPARE(qobject_cast<QLabel*>(widget)->text(), text);
          break;
        case form::ControlKind::ComboBox: {
          auto* combo = qobject_cast<QComboBox*>(widget);
          QVERIFY(combo->isEditable());
          QCOMPARE(combo->currentText(), text);
          QCOMPARE(combo->itemText(combo->currentIndex()), text);
          QCOMPARE(ComboItems(combo), Texts(control.items));
          break;
        }
        case form::ControlKind::Panel:
          QCOMPARE(qobject_cast<QFrame*>(widget)->frameShape(), QFrame::NoFrame);
          break;
        case form::ControlKind::ListBox: {
          auto* list = qobject_cast<QListWidget*>(widget);
          QCOMPARE(list->count(), 0);
          QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
          QVERIFY(!list->isSortingEnabled());
          break;
        }
        case form::ControlKind::StatusBar:
          QVERIFY(qobject_cast<QStatusBar*>(widget)->isSizeGripEnabled());
          break;
        case form::ControlKind::OpenDialog:
          break;
      }
    }
  }

  void StatusBarPanels() {
    FakeDesktop desktop;
    TForm1 window(desktop);
    window.show();
    const auto panels = Find<QStatusBar>(window, u"StatusBar1")->findChildren<QLabel*>();
    QCOMPARE(panels.size(), 2);
    QCOMPARE(panels[0]->width(), 400);
    QCOMPARE(panels[0]->text(), QString());
    QCOMPARE(panels[1]->text(), QStringLiteral("Quorvel出品"));
    QVERIFY(panels[1]->alignment() & Qt::AlignHCenter);
    QVERIFY(panels[1]->geometry().left() >= panels[0]->geometry().right());
  }

  void ListItemsAreUnsortedAndOfFixedHeight() {
    FakeDesktop desktop;
    TForm1 window(desktop);
    window.show();
    window.ReplaceSourceItems({u"/b/z.xps", u"/a/图.xps", u"/b/z.xps"});
    QCOMPARE(window.SourceItems(),
             (std::vector<std::u16string>{u"/b/z.xps", u"/a/图.xps", u"/b/z.xps"}));
    auto* list = Find<QListWidget>(window, u"ListBox1");
    QCOMPARE(list->visualItemRect(list->item(1)).height(), form::kListItemHeight);
  }

  void TabVisitsTheTableOrder() {
    FakeDesktop desktop;
    TForm1 window(desktop);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    Find(window, u"ListBox1")->setFocus();
    QStringList visited;
    for (int i = 0; i < 6; ++i) {
      QWidget* focus = QApplication::focusWidget();
      // An editable combo box hands the focus to its line edit.
      if (qobject_cast<QComboBox*>(focus->parentWidget())) focus = focus->parentWidget();
      visited << focus->objectName();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(visited,
             (QStringList{"ListBox1", "Button1", "Button2", "ComboBox1", "Button3", "cbb1"}));
  }

  void NarrowingKeepsPanel1AtTheRightEdge() {
    FakeDesktop desktop;
    TForm1 window(desktop);
    window.show();
    window.resize(300, 200);
    QCOMPARE(Find(window, u"Panel1")->geometry(), QRect(58, 0, 242, 33));
    QCOMPARE(Find(window, u"ListBox1")->geometry(), QRect(0, 33, 300, 148));
    // Panel1 covers the format box: what shows at the box's place is Panel1's.
    QWidget* panel2 = Find(window, u"Panel2");
    QWidget* top = panel2->childAt(Find(window, u"cbb1")->geometry().center());
    QVERIFY(top == Find(window, u"Panel1") || Find(window, u"Panel1")->isAncestorOf(top));
  }

  void HandlersRunTheirOperations() {
    FakeDesktop desktop;
    desktop.style = PathStyle::Posix;
    desktop.executablePath = u"/opt/vellumor/vellumor";
    desktop.fileAnswer = FileSelection{u"", {u"/d/a.xps", u"/d/b.xps"}};
    desktop.folderAnswer = u"/out";
    TForm1 window(desktop);
    window.show();
    Find<QComboBox>(window, u"cbb1")->setEditText("gif");
    Find<QComboBox>(window, u"ComboBox1")->setEditText("150");

    QTest::mouseClick(Find(window, u"Button1"), Qt::LeftButton);
    QCOMPARE(window.SourceItems(), (std::vector<std::u16string>{u"/d/a.xps", u"/d/b.xps"}));
    QCOMPARE(Find<QListWidget>(window, u"ListBox1")->item(1)->text(), QStringLiteral("/d/b.xps"));

    QTest::mouseClick(Find(window, u"Button2"), Qt::LeftButton);
    QCOMPARE(window.OutputDirectory(), u"/out");
    QCOMPARE(desktop.started.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
      QCOMPARE(desktop.started[i].program, u"/opt/vellumor/bin/xps2img");
      QCOMPARE(
          ArgumentList(desktop.started[i].arguments),
          (std::vector<std::u16string>{i == 0 ? u"/d/a.xps" : u"/d/b.xps", u"/out", u"-f", u"gif",
                                       u"-d", u"150", u"-i", i == 0 ? u"图1-" : u"图2-"}));
    }

    desktop.existingFolders = {u"/out"};
    desktop.calls.clear();
    QTest::mouseClick(Find(window, u"Button3"), Qt::LeftButton);
    QCOMPARE(desktop.calls.front(), u"FolderExists /out");
    QVERIFY(desktop.files.empty());
    QCOMPARE(desktop.calls.back(), u"RemoveFile /out/rename.sh");
  }

  void ErrorsAreReportedAndTheProgramGoesOn() {
    ThrowingDesktop desktop;
    TForm1 window(desktop);
    window.show();
    window.ReplaceSourceItems({u"kept.xps"});

    desktop.thrower = [] {
      throw OperationError(u"无法创建文件“/x/rename.sh”：Permission denied");
    };
    QCOMPARE(BoxShownBy([&] { QTest::mouseClick(Find(window, u"Button1"), Qt::LeftButton); }),
             Box(QMessageBox::Critical, "无法创建文件“/x/rename.sh”：Permission denied."));
    QCOMPARE(window.SourceItems(), std::vector<std::u16string>{u"kept.xps"});

    // Any other failure is reported the same way instead of ending the program.
    desktop.thrower = [] { throw std::runtime_error("out of handles"); };
    QCOMPARE(BoxShownBy([&] { QTest::mouseClick(Find(window, u"Button1"), Qt::LeftButton); }),
             Box(QMessageBox::Critical, "out of handles."));
  }

  void MissingFolderMessageHasNoIcon() {
    PosixDesktop desktop;
    TForm1 window(desktop);
    desktop.SetOwner(&window);
    window.show();
    for (const std::u16string& folder : {std::u16string(), std::u16string(u"/no/such/folder")}) {
      window.SetOutputDirectory(folder);
      QCOMPARE(BoxShownBy([&] { QTest::mouseClick(Find(window, u"Button3"), Qt::LeftButton); }),
               Box(QMessageBox::NoIcon, "路径不存在！"));
    }
  }

  // Not a check: a picture of the window at its initial size, kept with the build.
  void Screenshot() {
    FakeDesktop desktop;
    TForm1 window(desktop);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.grab().save(QStringLiteral(SCREENSHOT_PATH)));
  }
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
