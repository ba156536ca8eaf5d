#include "dialog.h"

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

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<Dialog*>(lparam);
    dialog->Attach(hwnd);
    return dialog->OnInitDialog();
  }
  auto* dialog = static_cast<Dialog*>(FromHandle(hwnd));
  if (!dialog) return FALSE;

  switch (message) {
    case WM_COMMAND:
      return dialog->HandleCommand(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
    case WM_DRAWITEM: {
      // Owner-draw requests go back to the control object that paints them.
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      Window* control = FromHandle(item->hwndItem);
      if (!control || !control->DrawItem(*item)) return FALSE;
      SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, TRUE);
      return TRUE;
    }
    case WM_NCDESTROY:
      dialog->Detach();
      return FALSE;
    default:
      break;
  }
  LRESULT result = 0;
  if (!dialog->OnMessage(message, wparam, lparam, &result)) return FALSE;
  // WM_QUERYDRAGICON returns its result directly; the others through DWLP_MSGRESULT.
  if (message == WM_QUERYDRAGICON) return static_cast<INT_PTR>(result);
  SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
  return TRUE;
}

}  // namespace win
