#include "color_list_box.h"

#include <algorithm>
#include <new>

// The name is drawn this far below its row's top.
static const int kTextTop = 2;

int CColorListBox::InsertColorItem(const std::string& text, COLORREF color) {
  char shown[kMaxItemText + 1];
  shown[text.copy(shown, kMaxItemText)] = '\0';
  const int index = InsertString(-1, shown);
  if (index < 0) throw std::bad_alloc();
  SetItemData(index, color);
  return index;
}

// About the length of a channel name; the list takes what it needs beyond.
static const std::size_t kTypicalTextBytes = 32;

CColorListBox::Fill::Fill(CColorListBox& list, int items) : list_(list) {
  list_.SetRedraw(false);
  if (items > 0) list_.InitStorage(items, static_cast<std::size_t>(items) * kTypicalTextBytes);
}

CColorListBox::Fill::~Fill() {
  list_.SetRedraw(true);
  if (IsWindowVisible(list_.handle())) InvalidateRect(list_.handle(), nullptr, TRUE);
}

CColorListBox::Selection CColorListBox::SelectedItems(int count) const {
  Selection selected;
  for (int i = 0; i < count && i < chromatte::kMaxChannels; ++i)
    if (IsSelected(i)) selected.set(i);
  return selected;
}

void CColorListBox::DeleteItems(const Selection& items) {
  for (int i = chromatte::kMaxChannels - 1; i >= 0; --i)
    if (items.test(i)) DeleteString(i);
}

// The text's offset and the font's full height, accents and descenders
// included; 0 when it cannot be measured.
static UINT TextRowHeight(HWND list) {
  const HDC dc = GetDC(list);
  if (!dc) return 0;
  // A list given no font draws with the system font, the DC's own.
  const HFONT font = reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0));
  const HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  TEXTMETRICA metrics = {};
  const bool measured = GetTextMetricsA(dc, &metrics) != FALSE;
  if (old) SelectObject(dc, old);
  ReleaseDC(list, dc);
  return measured ? static_cast<UINT>(kTextTop + metrics.tmHeight) : 0;
}

void CColorListBox::OnAttach() {
  ResetContentOnce();
  SetCurSel(0);
  m_textRowHeight = TextRowHeight(hwnd_);
}

bool CColorListBox::MeasureItem(MEASUREITEMSTRUCT& item) {
  item.itemHeight = (std::max)(item.itemHeight, m_textRowHeight);
  return true;
}

void CColorListBox::ResetContentOnce() {
  if (m_contentReset) return;
  ResetContent();
  m_contentReset = true;
}

static void FillSolidRect(HDC dc, const RECT& rect, COLORREF color) {
  SetBkColor(dc, color);
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

bool CColorListBox::DrawItem(const DRAWITEMSTRUCT& item) {
  const COLORREF window = GetSysColor(COLOR_WINDOW);
  const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
  const COLORREF window_text = GetSysColor(COLOR_WINDOWTEXT);
  const HDC dc = item.hDC;
  if (!dc) return true;

  const RECT& bounds = item.rcItem;
  const int quarter = (bounds.right - bounds.left) / 4;
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  const COLORREF fill = selected ? highlight : window;
  SetTextColor(dc, selected ? ~window_text & 0x00FFFFFF : window_text);
  FillSolidRect(dc, bounds, fill);
  if (item.itemState & ODS_FOCUS) DrawFocusRect(dc, &bounds);

  RECT swatch = bounds;
  InflateRect(&swatch, -2, -2);
  swatch.right = quarter;
  if (item.itemID == static_cast<UINT>(-1)) return true;  // an empty list showing its focus

  // One buffer for every paint: painting allocates nothing once it has grown.
  static std::wstring text;
  GetText(static_cast<int>(item.itemID), &text);
  COLORREF swatch_color = static_cast<COLORREF>(GetItemData(static_cast<int>(item.itemID)));
  if (item.itemState & ODS_DISABLED) {
    swatch_color = GetSysColor(COLOR_INACTIVECAPTIONTEXT);
    SetTextColor(dc, swatch_color);
  }
  SetBkMode(dc, TRANSPARENT);
  TextOutW(dc, bounds.left + quarter + 2, bounds.top + kTextTop, text.c_str(), static_cast<int>(text.size()));
  FillSolidRect(dc, swatch, swatch_color);
  FrameRect(dc, &swatch, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  return true;
}
