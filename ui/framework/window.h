// A window handle with the few calls every control needs. Attached windows
// carry a pointer back to their object, so a dialog can hand owner-draw
// requests to the control object that measures and paints them. The pointer
// is the window's user data: a dialog looks its object up for every message
// it gets, and under Wine a window property would cost a wineserver round
// trip each time, as much as a registry read.
#pragma once

#include <windows.h>

namespace win {

class Window {
 public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window() { Detach(); }

  HWND handle() const { return hwnd_; }

  void Attach(HWND hwnd) {
    hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    OnAttach();
  }
  void Detach() {
    if (hwnd_ && IsWindow(hwnd_)) SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    hwnd_ = nullptr;
  }
  // The object attached to a window, or null.
  static Window* FromHandle(HWND hwnd) { return reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)); }

  LRESULT Send(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) const {
    return SendMessageA(hwnd_, message, wparam, lparam);
  }
  // Erases and repaints the whole window before returning.
  void Redraw() const { RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); }

  // Paints one item of an owner-drawn control; false when the object does not.
  virtual bool DrawItem(const DRAWITEMSTRUCT&) { return false; }
  // Sizes one item of an owner-drawn control; false when the object leaves
  // it as the control proposes.
  virtual bool MeasureItem(MEASUREITEMSTRUCT&) { return false; }

 protected:
  virtual void OnAttach() {}

  HWND hwnd_ = nullptr;
};

}  // namespace win
