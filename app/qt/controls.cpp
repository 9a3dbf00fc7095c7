#include "app/qt/controls.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QStyledItemDelegate>

#include "app/layout.h"
#include "app/qt/qt_text.h"

namespace {

// Gives every item of the list the same height.
class FixedHeightDelegate : public QStyledItemDelegate {
 public:
  FixedHeightDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return {QStyledItemDelegate::sizeHint(option, index).width(), height_};
  }

 private:
  int height_;
};

QWidget* MakeListBox(QWidget* parent) {
  auto* list = new QListWidget(parent);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setSortingEnabled(false);
  list->setUniformItemSizes(true);
  list->setItemDelegate(new FixedHeightDelegate(form::kListItemHeight, list));
  return list;
}

QWidget* MakePanel(QWidget* parent) {
  auto* panel = new QFrame(parent);
  panel->setFrameShape(QFrame::NoFrame);
  // Opaque, so that a panel covers the controls it overlaps when the window narrows.
  panel->setAutoFillBackground(true);
  return panel;
}

QWidget* MakeComboBox(const form::ControlSpec& control, QWidget* parent) {
  auto* combo = new QComboBox(parent);
  combo->setEditable(true);
  // Typed text is what the operations read; it never becomes an item of the list.
  combo->setInsertPolicy(QComboBox::NoInsert);
  for (std::u16string_view item : control.items) combo->addItem(ToQString(item));
  const int index = combo->findText(ToQString(control.text));
  if (index >= 0) combo->setCurrentIndex(index);
  combo->setEditText(ToQString(control.text));
  return combo;
}

QWidget* MakeStatusBar(const form::ControlSpec& control, QWidget* parent) {
  auto* bar = new QStatusBar(parent);
  bar->setSizeGripEnabled(true);
  const auto widths = StatusPanelWidths(control.width);
  for (std::size_t i = 0; i < form::kStatusPanels.size(); ++i) {
    const form::StatusPanelSpec& spec = form::kStatusPanels[i];
    auto* panel = new QLabel(ToQString(spec.text), bar);
    panel->setAlignment(
        Qt::AlignVCenter |
        (spec.align == form::PanelAlign::Center ? Qt::AlignHCenter : Qt::AlignLeft));
    const bool last = i + 1 == form::kStatusPanels.size();
    if (!last) panel->setFixedWidth(widths[i]);
    bar->addWidget(panel, last ? 1 : 0);
  }
  return bar;
}

QWidget* MakeWidget(const form::ControlSpec& control, QWidget* parent) {
  switch (control.kind) {
    case form::ControlKind::ListBox:
      return MakeListBox(parent);
    case form::ControlKind::Panel:
      return MakePanel(parent);
    case form::ControlKind::Button:
      return new QPushButton(ToQString(control.text), parent);
    case form::ControlKind::Label:
      return new QLabel(ToQString(control.text), parent);
    case form::ControlKind::ComboBox:
      return MakeComboBox(control, parent);
    case form::ControlKind::StatusBar:
      return MakeStatusBar(control, parent);
    case form::ControlKind::OpenDialog:
      return nullptr;
  }
  return nullptr;
}

}  // namespace

QWidget* MakeControl(const form::ControlSpec& control, QWidget* parent) {
  QWidget* widget = MakeWidget(control, parent);
  if (widget == nullptr) return nullptr;
  widget->setObjectName(ToQString(control.name));
  widget->setGeometry(control.left, control.top, control.width, control.height);
  return widget;
}
