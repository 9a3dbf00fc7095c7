#pragma once

#include <windows.h>

#include <array>
#include <memory>

#include "app/form.h"
#include "app/win32/scoped.h"
#include "base/desktop.h"
#include "base/form_state.h"

// The main window Form1 of class TForm1, built from the control table. It holds the state
// the operations read and write, and runs one operation per button.
class TForm1 : public FormState {
 public:
  TForm1() = default;
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;
  ~TForm1() override;

  // Creates the window, hidden, owned by the application's window; false when that fails.
  bool Create(HINSTANCE instance, HWND application);
  HWND Window() const { return window_; }
  // The child window of the control named `name`.
  HWND Control(std::u16string_view name) const;
  // The control identifier of that child window, the same in every run.
  static int ControlId(std::u16string_view name);

  // Moves the focus along the tab sequence when `message` is a Tab key press for this
  // window; true when it did.
  bool HandleTabKey(const MSG& message);

  std::vector<std::u16string> SourceItems() const override;
  void ReplaceSourceItems(const std::vector<std::u16string>& items) override;
  std::u16string FormatText() const override;
  std::u16string ResolutionText() const override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  BOOL OnCreate(HWND window, LPCREATESTRUCTW create);
  void OnSize(HWND window, UINT state, int width, int height);
  void OnCommand(HWND window, int id, HWND control, UINT code);
  void OnActivate(HWND window, UINT state, HWND other, BOOL minimized);
  void OnSetFocus(HWND window, HWND previous);
  void OnDestroy(HWND window);

  bool CreateControls();
  void PlaceStatusPanels();
  void RunHandler(form::Click click);

  HWND window_ = nullptr;
  HWND application_ = nullptr;
  int dpi_ = form::kDesignDpi;
  scoped::Font font_;
  HWND focus_ = nullptr;
  std::array<HWND, form::kControls.size()> controls_{};
  std::unique_ptr<Desktop> desktop_;
};
