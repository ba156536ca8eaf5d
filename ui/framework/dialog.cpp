#include "dialog.h"

#include <algorithm>
#include <new>

#include "application.h"

namespace win {

void DataExchange::Control(int id, Window& control) {
  const HWND item = dialog_.GetItem(id);
  if (control.handle() != item) control.Attach(item);
}

void DataExchange::Text(int id, std::string& value) {
  const HWND field = dialog_.GetItem(id);
  if (!save_) {
    SetWindowTextA(field, value.c_str());
    return;
  }
  value.resize(static_cast<std::size_t>(GetWindowTextLengthA(field)) + 1);
  value.resize(static_cast<std::size_t>(GetWindowTextA(field, &value[0], static_cast<int>(value.size()))));
}

namespace {

// Centres a dialog over its owner, or over the screen's work area when it
// has none to show, keeping it inside the work area.
void CenterWindow(HWND hwnd) {
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoA(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& area = monitor.rcWork;
  RECT around = area;
  const HWND owner = GetWindow(hwnd, GW_OWNER);
  if (owner && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &around);
  RECT window;
  GetWindowRect(hwnd, &window);
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  int x = (around.left + around.right - width) / 2;
  int y = (around.top + around.bottom - height) / 2;
  x = (std::max)(static_cast<int>(area.left), (std::min)(x, static_cast<int>(area.right) - width));
  y = (std::max)(static_cast<int>(area.top), (std::min)(y, static_cast<int>(area.bottom) - height));
  SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Tells the user that the message's work could not be finished, without
// allocating. A dialog that could not set itself up closes (-1): half a
// window is none to work in, and its owner then writes nothing.
void ReportUnfinished(HWND hwnd, UINT message, const std::string& text) {
  ShowMessage(hwnd, text, MB_ICONERROR);
  if (message == WM_INITDIALOG) ::EndDialog(hwnd, -1);
}

}  // namespace

INT_PTR Dialog::DoModal(HWND owner) {
  return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(template_id_), owner, DialogProc,
                         reinterpret_cast<LPARAM>(this));
}

void Dialog::UpdateData(bool save) {
  const bool was_transferring = transferring_;
  transferring_ = true;
  DataExchange exchange(*this, save);
  DoDataExchange(exchange);
  transferring_ = was_transferring;
}

void Dialog::EnableItem(int id, bool enabled) const {
  const HWND item = GetItem(id);
  if (!enabled && item && item == GetFocus()) Send(WM_NEXTDLGCTL, 0, FALSE);
  EnableWindow(item, enabled);
}

int Dialog::ShowMessage(const std::string& text, UINT style) const { return win::ShowMessage(hwnd_, text, style); }

bool Dialog::OnInitDialog() {
  UpdateData(false);
  return true;
}

void Dialog::OnOK() {
  UpdateData(true);
  EndDialog(IDOK);
}

void Dialog::OnCancel() { EndDialog(IDCANCEL); }

bool Dialog::HandleCommand(int id, int code, HWND control) {
  // Buttons, menus and accelerators send code 0; other notifications wait
  // while a transfer writes the controls.
  if (code != BN_CLICKED && control && transferring_) return true;
  if (code == BN_CLICKED && id == IDOK) {
    OnOK();
    return true;
  }
  if (code == BN_CLICKED && id == IDCANCEL) {
    OnCancel();
    return true;
  }
  return OnCommand(id, code);
}

// A measure request names its control by identifier only. GetDlgItem asks
// Wine's server each time, and a list being filled asks for every item it
// adds, up to 512 at a start-up: the last control found is kept.
HWND Dialog::OwnerDrawItem(UINT id) {
  const HWND kept = owner_draw_item_;
  if (!kept || GetParent(kept) != hwnd_ || GetDlgCtrlID(kept) != static_cast<int>(id))
    owner_draw_item_ = GetItem(static_cast<int>(id));
  return owner_draw_item_;
}

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  // No C++ exception may unwind through the window manager. The program's
  // code raises none of its own: the standard library's say memory ran out,
  // and the message that needed it ends there, its handler having left
  // tables and lists in step.
  try {
    return HandleMessage(hwnd, message, wparam, lparam);
  } catch (const std::bad_alloc&) {
    ReportUnfinished(hwnd, message, Application::OutOfMemoryText());
  } catch (...) {
    ReportUnfinished(hwnd, message, Application::FailedText());
  }
  return FALSE;
}

INT_PTR Dialog::HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<Dialog*>(lparam);
    dialog->Attach(hwnd);
    RECT before;
    GetWindowRect(hwnd, &before);
    const bool set_focus = dialog->OnInitDialog();
    // The templates stand at (0, 0): a dialog that did not place itself is centred.
    RECT after;
    GetWindowRect(hwnd, &after);
    if (EqualRect(&before, &after)) CenterWindow(hwnd);
    return set_focus;
  }
  auto* dialog = static_cast<Dialog*>(FromHandle(hwnd));
  if (!dialog) return FALSE;

  switch (message) {
    case WM_COMMAND:
      return dialog->HandleCommand(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
    // Owner-draw requests go back to the control object that answers them.
    // Their senders read the structure, never the result: DWLP_MSGRESULT is
    // left alone, as each change of it is a round trip to Wine's server, and
    // its dialog manager clears it again before the next message, two per
    // list item added or drawn.
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      Window* control = FromHandle(item->hwndItem);
      return control && control->DrawItem(*item);
    }
    case WM_MEASUREITEM: {
      auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lparam);
      if (item->CtlType == ODT_MENU) return FALSE;
      Window* control = FromHandle(dialog->OwnerDrawItem(item->CtlID));
      return control && control->MeasureItem(*item);
    }
    // F1 in the dialog or one of its controls. Windows also passes help on
    // from a window to its owner: help from a modal window above this one (a
    // message box, the colour picker) finds the dialog disabled and ends here
    // unanswered, as does all help in a dialog without a help command.
    case WM_HELP:
      if (IsWindowEnabled(hwnd)) dialog->HandleCommand(ID_HELP, 0, nullptr);
      return TRUE;
    case WM_NCDESTROY:
      dialog->Detach();
      return FALSE;
    default:
      break;
  }
  LRESULT result = 0;
  if (!dialog->OnMessage(message, wparam, lparam, &result)) return FALSE;
  // WM_QUERYDRAGICON returns its result directly; the others through
  // DWLP_MSGRESULT, where Wine sends nothing to its server for a value
  // unchanged, such as the 0 its dialog manager set before the message.
  if (message == WM_QUERYDRAGICON) return static_cast<INT_PTR>(result);
  SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
  return TRUE;
}

}  // namespace win
