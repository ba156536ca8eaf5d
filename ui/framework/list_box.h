// Thin wrappers over the list box messages.
#pragma once

#include <cstddef>
#include <string>

#include "window.h"

namespace win {

class ListBox : public Window {
 public:
  int GetCurSel() const { return static_cast<int>(Send(LB_GETCURSEL)); }
  int SetCurSel(int index) const { return static_cast<int>(Send(LB_SETCURSEL, index)); }
  int GetSelCount() const { return static_cast<int>(Send(LB_GETSELCOUNT)); }
  bool IsSelected(int index) const { return Send(LB_GETSEL, index) > 0; }
  int InsertString(int index, const char* text) const {
    return static_cast<int>(Send(LB_INSERTSTRING, index, reinterpret_cast<LPARAM>(text)));
  }
  // Reserves room for `items` more items and `text_bytes` of their text.
  void InitStorage(int items, std::size_t text_bytes) const {
    Send(LB_INITSTORAGE, static_cast<WPARAM>(items), static_cast<LPARAM>(text_bytes));
  }
  // Off, the list changes without repainting or updating its scroll bar;
  // back on, it updates its scroll bar once, but repaints only when asked.
  void SetRedraw(bool on) const { Send(WM_SETREDRAW, on ? TRUE : FALSE); }
  int DeleteString(int index) const { return static_cast<int>(Send(LB_DELETESTRING, index)); }
  void ResetContent() const { Send(LB_RESETCONTENT); }
  DWORD_PTR GetItemData(int index) const { return static_cast<DWORD_PTR>(Send(LB_GETITEMDATA, index)); }
  int SetItemData(int index, DWORD_PTR data) const {
    return static_cast<int>(Send(LB_SETITEMDATA, index, static_cast<LPARAM>(data)));
  }
  // Reads item `index`'s text into `text`, reusing its storage; false when
  // there is no such item. In Unicode: Wine hands an ANSI LB_GETTEXT to a
  // Unicode list box (Common Controls 6) through a 512-character buffer on
  // the stack, which a longer item overruns.
  bool GetText(int index, std::wstring* text) const {
    const LRESULT length = SendMessageW(hwnd_, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR) return false;
    text->resize(static_cast<std::size_t>(length) + 1);
    const LRESULT copied = SendMessageW(hwnd_, LB_GETTEXT, index, reinterpret_cast<LPARAM>(&(*text)[0]));
    text->resize(copied == LB_ERR ? 0 : static_cast<std::size_t>(copied));
    return copied != LB_ERR;
  }
};

}  // namespace win
