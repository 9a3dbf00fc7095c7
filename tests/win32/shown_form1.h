#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string_view>

#include "app/win32/application_window.h"
#include "app/win32/form1.h"

// Form1 shown as the program shows it, owned by the hidden application window, and its
// clean removal afterwards.
class ShownForm1 : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Handles every message waiting for this thread.
  static void Pump();
  // Presses a button as a click would, and handles what follows.
  void Click(std::u16string_view button);

  std::unique_ptr<ApplicationWindow> application_ = std::make_unique<ApplicationWindow>();
  std::unique_ptr<TForm1> form_ = std::make_unique<TForm1>();
};
