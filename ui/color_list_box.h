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

  // Appends an item and returns its index. Allocates nothing: it throws
  // std::bad_alloc only when the list has no room left, and then adds nothing.
  int InsertColorItem(const std::string& text, COLORREF color);

  // While it lives, up to `items` items are appended at once: the list
  // reserves their room, and neither repaints nor updates its scroll bar per
  // item, but once at the end, however the filling ends (a hidden list
  // paints when it shows).
  class Fill {
   public:
    Fill(CColorListBox& list, int items);
    ~Fill();
    Fill(const Fill&) = delete;
    Fill& operator=(const Fill&) = delete;

   private:
    CColorListBox& list_;
  };

  // The selected items among the first `count`.
  Selection SelectedItems(int count) const;
  void DeleteItems(const Selection& items);
  bool DrawItem(const DRAWITEMSTRUCT& item) override;
  // A row is as high as the list proposes, or as its text needs if more: the
  // list proposes the height of the system font it was created with, which
  // a scaled screen's dialog font outgrows.
  bool MeasureItem(MEASUREITEMSTRUCT& item) override;

 protected:
  // The template's list starts empty whatever it held before being attached.
  void OnAttach() override;

 private:
  void ResetContentOnce();

  bool m_contentReset = false;
  // What a row needs for its text in the list's font, measured when the list
  // is attached (its dialog has given it its font by then), not per item.
  UINT m_textRowHeight = 0;
};
