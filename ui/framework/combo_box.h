// Thin wrappers over the combo box messages.
#pragma once

#include <string>

#include "window.h"

namespace win {

class ComboBox : public Window {
 public:
  int AddString(const std::string& text) const {
    return static_cast<int>(Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
  }
  int GetCurSel() const { return static_cast<int>(Send(CB_GETCURSEL)); }
  // Sends no CBN_SELCHANGE.
  int SetCurSel(int index) const { return static_cast<int>(Send(CB_SETCURSEL, index)); }
};

}  // namespace win
