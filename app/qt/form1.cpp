#include "app/qt/form1.h"

#include <QFont>
#include <QIcon>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include "app/layout.h"
#include "app/qt/controls.h"
#include "app/qt/error_report.h"
#include "app/qt/qt_text.h"
#include "app/run_click.h"
#include "app/tab_order.h"

TForm1::TForm1(Desktop& desktop) : desktop_(desktop) {
  setObjectName(ToQString(form::kWindowName));
  setWindowTitle(ToQString(form::kAppTitle));
  setWindowIcon(QIcon(QStringLiteral(":/vellumor.png")));

  QFont font(ToQString(form::kFontFace));
  font.setPixelSize(form::kFontHeightPixels);
  font.setStyleHint(QFont::SansSerif);
  setFont(font);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, colours.color(QPalette::Button));
  setPalette(colours);
  setAutoFillBackground(true);

  for (std::size_t i = 0; i < form::kControls.size(); ++i) {
    const form::ControlSpec& control = form::kControls[i];
    QWidget* parent = control.parent == form::kWindowName ? this : Widget(control.parent);
    controls_[i] = MakeControl(control, parent);
    if (controls_[i] != nullptr) Connect(controls_[i], control.click);
  }
  listBox1_ = static_cast<QListWidget*>(Widget(u"ListBox1"));
  cbb1_ = static_cast<QComboBox*>(Widget(u"cbb1"));
  comboBox1_ = static_cast<QComboBox*>(Widget(u"ComboBox1"));

  const std::vector<std::u16string_view> tabs = TabSequence();
  for (std::size_t i = 1; i < tabs.size(); ++i) {
    setTabOrder(Widget(tabs[i - 1]), Widget(tabs[i]));
  }

  // The client area centred: the frame's size is not known before the window is shown.
  setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter,
                                  QSize(form::kClientWidth, form::kClientHeight),
                                  screen()->availableGeometry()));
}

std::vector<std::u16string> TForm1::SourceItems() const {
  std::vector<std::u16string> items;
  for (int i = 0; i < listBox1_->count(); ++i) items.push_back(ToU16(listBox1_->item(i)->text()));
  return items;
}

void TForm1::ReplaceSourceItems(const std::vector<std::u16string>& items) {
  listBox1_->clear();
  for (const std::u16string& item : items) listBox1_->addItem(ToQString(item));
}

std::u16string TForm1::FormatText() const { return ToU16(cbb1_->currentText()); }

std::u16string TForm1::ResolutionText() const { return ToU16(comboBox1_->currentText()); }

void TForm1::Run(form::Click click) {
  if (auto report = RunClick(click, *this, desktop_)) ShowErrorReport(this, *report);
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const ControlRects rects = LayOutControls(width(), height());
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    if (controls_[i] == nullptr) continue;
    const Rect& r = rects[i];
    controls_[i]->setGeometry(r.left, r.top, r.width, r.height);
  }
}

QWidget* TForm1::Widget(std::u16string_view name) const {
  return controls_[form::ControlIndex(name)];
}

void TForm1::Connect(QWidget* widget, form::Click click) {
  if (click == form::Click::None) return;
  connect(static_cast<QPushButton*>(widget), &QPushButton::clicked, this,
          [this, click] { Run(click); });
}
