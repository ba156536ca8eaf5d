// The common colour dialog, opened with its custom colour part showing.
#pragma once

#include <windows.h>
#include <commdlg.h>

namespace win {

// Shows the picker starting at `initial`; true with the chosen colour when
// the user confirms. Custom colours are kept for the whole run.
inline bool PickColor(HWND owner, COLORREF initial, COLORREF* chosen) {
  static COLORREF custom_colors[16] = {};
  CHOOSECOLORA request = {};
  request.lStructSize = sizeof request;
  request.hwndOwner = owner;
  request.rgbResult = initial;
  request.lpCustColors = custom_colors;
  request.Flags = CC_FULLOPEN | CC_RGBINIT;
  if (!ChooseColorA(&request)) return false;
  *chosen = request.rgbResult;
  return true;
}

}  // namespace win
