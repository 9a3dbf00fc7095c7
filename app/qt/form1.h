#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QWidget>
#include <array>

#include "app/form.h"
#include "base/desktop.h"
#include "base/form_state.h"

// The main window, built from the window table. Its click handlers only run the operations,
// each inside the default error report.
class TForm1 : public QWidget, public FormState {
 public:
  explicit TForm1(Desktop& desktop);

  std::vector<std::u16string> SourceItems() const override;
  void ReplaceSourceItems(const std::vector<std::u16string>& items) override;
  std::u16string FormatText() const override;
  std::u16string ResolutionText() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QWidget* Widget(std::u16string_view name) const;
  void Connect(QWidget* widget, form::Click click);
  void Run(form::Click click);

  Desktop& desktop_;
  std::array<QWidget*, form::kControls.size()> controls_{};  // as form::kControls
  QListWidget* listBox1_ = nullptr;
  QComboBox* cbb1_ = nullptr;
  QComboBox* comboBox1_ = nullptr;
};
