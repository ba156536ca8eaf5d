// A modal dialog made from a dialog template. Derived classes bind controls
// and fields in DoDataExchange, handle commands through a command map, and
// override OnInitDialog, OnOK and OnCancel.
#pragma once

#include <cstddef>
#include <string>

#include "window.h"

namespace win {

class Dialog;

// The help command: F1 (WM_HELP) reaches a dialog's command map as this.
constexpr int ID_HELP = 0xE146;

// Moves data between a dialog's controls and its members, in the direction
// that UpdateData asks for.
class DataExchange {
 public:
  DataExchange(Dialog& dialog, bool save) : dialog_(dialog), save_(save) {}
  // Attaches `control` to the dialog's control `id`.
  void Control(int id, Window& control);
  // The text of the dialog's control `id`.
  void Text(int id, std::string& value);

 private:
  Dialog& dialog_;
  bool save_;
};

// One line of a command map: the handler run for a control's notification.
template <class Owner>
struct CommandMapEntry {
  int id;
  int code;
  void (Owner::*handler)();
};

class Dialog : public Window {
 public:
  explicit Dialog(int template_id) : template_id_(template_id) {}

  // Creates the dialog and runs it until EndDialog; returns its result.
  INT_PTR DoModal(HWND owner);
  void EndDialog(INT_PTR result) const { ::EndDialog(hwnd_, result); }
  HWND GetItem(int id) const { return GetDlgItem(hwnd_, id); }
  // Enables or disables control `id`. A control that has the focus hands it
  // on first, as Tab would: a disabled one would leave the focus nowhere, and
  // the keyboard dead until a click.
  void EnableItem(int id, bool enabled) const;
  // Moves data between the controls and the members; control notifications
  // sent meanwhile are not dispatched, so handlers never see half a transfer.
  void UpdateData(bool save);
  int ShowMessage(const std::string& text, UINT style) const;

 protected:
  virtual void DoDataExchange(DataExchange&) {}
  // Transfers the members into the controls; true lets the system set the focus.
  virtual bool OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  // A notification or command other than OK and Cancel; true when handled.
  virtual bool OnCommand(int /*id*/, int /*code*/) { return false; }
  // Any other message; true when handled, with the result in *result.
  virtual bool OnMessage(UINT /*message*/, WPARAM, LPARAM, LRESULT* /*result*/) { return false; }

  template <class Owner, std::size_t N>
  static bool Dispatch(Owner* owner, const CommandMapEntry<Owner> (&map)[N], int id, int code) {
    for (const CommandMapEntry<Owner>& entry : map) {
      if (entry.id == id && entry.code == code) {
        (owner->*entry.handler)();
        return true;
      }
    }
    return false;
  }

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static INT_PTR HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  bool HandleCommand(int id, int code, HWND control);
  HWND OwnerDrawItem(UINT id);

  int template_id_;
  bool transferring_ = false;
  HWND owner_draw_item_ = nullptr;
};

}  // namespace win
