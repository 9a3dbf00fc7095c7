#pragma once

#include <QWidget>
#include <exception>
#include <string_view>

#include "app/operation_error.h"
#include "app/qt/qt_text.h"

// The default error report: the message, with its full stop, in a modal box with an error
// icon.
void ShowErrorReport(QWidget* owner, std::u16string_view message);

// Runs a click handler; whatever it throws is shown in the default error report, and the
// program goes on with its state as the handler left it.
template <class Handler>
void WithErrorReport(QWidget* owner, Handler&& handler) {
  try {
    handler();
  } catch (const OperationError& error) {
    ShowErrorReport(owner, error.Message());
  } catch (const std::exception& error) {
    ShowErrorReport(owner, ToU16(QString::fromLocal8Bit(error.what())));
  }
}
