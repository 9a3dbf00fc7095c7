#pragma once

#include <QWidget>
#include <string_view>

// The default error report: the message, with its full stop, in a modal box with an error
// icon.
void ShowErrorReport(QWidget* owner, std::u16string_view message);
