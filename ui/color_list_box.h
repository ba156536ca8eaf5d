// The list box of both channel lists: each item is a channel's name, with
// the channel's colour as its item data, painted as a black-framed swatch
// over the left quarter of the item followed by the name.
#pragma once

#include <bitset>
#include <string>

#include "channel_table.h"
#include "framework/list_box.h"

class CColorListBox : public win::ListBox {
 public:
  using Selection = std::bitset<chromatte::kMaxChannels>;

  // An item keeps at most this many characters of its text: more than any
  // row shows, and no list box has to hold a copy of a very long name.
  static const std::size_t kMaxItemText = 255;

  // Appends an item; returns its index, or LB_ERR / LB_ERRSPACE.
  int InsertColorItem(const std::string& text, COLORREF color);
  // Around appending up to `items` items at once: the list reserves their
  // room, and neither repaints nor updates its scroll bar per item, but once
  // at EndFill (a hidden list paints when it shows).
  void BeginFill(int items);
  void EndFill();
  // The selected items among the first `count`.
  Selection SelectedItems(int count) const;
  void DeleteItems(const Selection& items);
  bool DrawItem(const DRAWITEMSTRUCT& item) override;

 protected:
  // The template's list starts empty whatever it held before being attached.
  void OnAttach() override;

 private:
  void ResetContentOnce();

  bool m_contentReset = false;
};
