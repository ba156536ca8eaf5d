// Checks that the main window's lists show its tables, in their items and on screen.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "channel_colors_dlg.h"
#include "ui_harness.h"

namespace chromatte {
namespace test {

// What an item shows of a channel's name.
inline std::string ItemText(const std::string& name) { return name.substr(0, CColorListBox::kMaxItemText); }

// Item i of the channel list shows channel i, name and colour.
inline ::testing::AssertionResult ChannelListInStep(const CChannelColorsDlg& dialog, HWND list) {
  const chromatte::ChannelTable& table = dialog.channels();
  const std::vector<std::string> texts = ListTexts(list);
  const std::vector<COLORREF> colors = ListColors(list);
  if (static_cast<int>(texts.size()) != table.count)
    return ::testing::AssertionFailure() << texts.size() << " items for " << table.count << " channels";
  for (int i = 0; i < table.count; ++i) {
    if (texts[i] != ItemText(table.names[i]) || colors[i] != table.colors[i])
      return ::testing::AssertionFailure() << "item " << i << " shows " << texts[i] << " for " << table.names[i];
  }
  return ::testing::AssertionSuccess();
}

// Every pool item shows its own entry's name and colour, one item per entry.
inline ::testing::AssertionResult PoolListInStep(const CChannelColorsDlg& dialog, HWND list) {
  const chromatte::ChannelTable& pool = dialog.pool();
  const std::vector<std::string> texts = ListTexts(list);
  const std::vector<COLORREF> colors = ListColors(list);
  if (static_cast<int>(texts.size()) != pool.count)
    return ::testing::AssertionFailure() << texts.size() << " items for " << pool.count << " entries";
  std::vector<bool> shown(pool.count);
  for (int item = 0; item < pool.count; ++item) {
    const int entry = dialog.PoolEntryOfItem(item);
    if (entry < 0 || entry >= pool.count || shown[entry])
      return ::testing::AssertionFailure() << "item " << item << " maps to entry " << entry;
    shown[entry] = true;
    if (texts[item] != ItemText(pool.names[entry]) || colors[item] != pool.colors[entry])
      return ::testing::AssertionFailure() << "item " << item << " shows " << texts[item] << " for "
                                           << pool.names[entry];
  }
  return ::testing::AssertionSuccess();
}

// The middle of item `index`'s swatch.
inline POINT SwatchPoint(HWND list, int index) {
  RECT item = {};
  SendMessageA(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
  return {(item.right - item.left) / 8 + 1, (item.top + item.bottom) / 2};
}

// The colour of item `index`'s swatch on screen, as the list last painted it.
inline COLORREF ShownSwatchColor(HWND list, int index) {
  const POINT at = SwatchPoint(list, index);
  const HDC dc = GetDC(list);
  const COLORREF color = GetPixel(dc, at.x, at.y);
  ReleaseDC(list, dc);
  return color;
}

}  // namespace test
}  // namespace chromatte
