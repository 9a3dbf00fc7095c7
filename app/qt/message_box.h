#pragma once

#include <QMessageBox>
#include <string_view>

// A modal box captioned with the application title and one OK button, owned by `owner`.
void ShowMessageBox(QWidget* owner, QMessageBox::Icon icon, std::u16string_view text);
