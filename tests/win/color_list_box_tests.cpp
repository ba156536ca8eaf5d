// The colour swatch list box on a real list box window: items painted into a
// memory bitmap and checked pixel by pixel, and the item operations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "color_list_box.h"
#include "resource.h"
#include "ui_harness.h"

namespace {

using chromatte::test::ListColors;
using chromatte::test::ListSelection;
using chromatte::test::ListTexts;

// The main window's list style, LBS_SORT included.
constexpr DWORD kListStyle = 0x50A00963;
constexpr COLORREF kUntouched = RGB(0xAB, 0xCD, 0xEF);
constexpr COLORREF kItemColor = RGB(0x20, 0xA0, 0x60);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// A 32-bit top-down bitmap selected into a memory DC, first filled with kUntouched.
class Canvas {
 public:
  Canvas() {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = -kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<DWORD*>(bits);
    old_ = SelectObject(dc_, bitmap_);
    Fill({0, 0, kWidth, kHeight}, kUntouched);
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC dc() const { return dc_; }
  COLORREF At(int x, int y) const {
    GdiFlush();
    const DWORD pixel = bits_[y * kWidth + x];
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
  }
  void Fill(const RECT& rect, COLORREF color) const {
    const HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc_, &rect, brush);
    DeleteObject(brush);
  }
  // The columns x0..x1-1 of rows y0..y1-1 differ from `other`'s: the first
  // differing pixel, or an empty string.
  std::string Differs(const Canvas& other, int x0, int y0, int x1, int y1) const {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        if (At(x, y) != other.At(x, y))
          return "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
    return std::string();
  }

  static constexpr int kWidth = 200;
  static constexpr int kHeight = 64;

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
  DWORD* bits_;
};

class ColorListBox : public ::testing::Test {
 protected:
  void SetUp() override {
    parent_ = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 300, 300, nullptr, nullptr, nullptr, nullptr);
    list_ = NewList();
    box_.Attach(list_);
  }
  void TearDown() override { DestroyWindow(parent_); }

  HWND NewList() const {
    return CreateWindowExA(0, "ListBox", "", kListStyle, 0, 0, 200, 200, parent_,
                           reinterpret_cast<HMENU>(IDC_POOL_LIST), nullptr, nullptr);
  }

  void Draw(const Canvas& canvas, int item, UINT state, const RECT& rect) {
    DRAWITEMSTRUCT request = {};
    request.CtlType = ODT_LISTBOX;
    request.CtlID = IDC_POOL_LIST;
    request.itemID = static_cast<UINT>(item);
    request.itemAction = ODA_DRAWENTIRE;
    request.itemState = state;
    request.hwndItem = list_;
    request.hDC = canvas.dc();
    request.rcItem = rect;
    EXPECT_TRUE(box_.DrawItem(request));
  }

  // `text` drawn alone at (x, 32) in `color` over `background`, as the item's name.
  static void DrawName(const Canvas& canvas, const RECT& rect, COLORREF background, int x, COLORREF color,
                       const std::string& text) {
    canvas.Fill(rect, background);
    SetTextColor(canvas.dc(), color);
    SetBkMode(canvas.dc(), TRANSPARENT);
    TextOutA(canvas.dc(), x, rect.top + 2, text.c_str(), static_cast<int>(text.size()));
  }

  HWND parent_ = nullptr;
  HWND list_ = nullptr;
  CColorListBox box_;
};

const RECT kItem = {0, 30, 180, 46};

TEST_F(ColorListBox, PaintsAFramedSwatchOverTheLeftQuarterThenTheName) {
  box_.InsertColorItem("Commerce", RGB(1, 1, 1));
  box_.SetItemData(0, kItemColor);  // a later recolour shows at the next paint
  const COLORREF window = GetSysColor(COLOR_WINDOW);
  Canvas canvas;
  Draw(canvas, 0, 0, kItem);

  // Swatch (2, 32)-(45, 44): a one-pixel black frame around the item's colour.
  for (int y = 32; y < 44; ++y) {
    EXPECT_EQ(kBlack, canvas.At(2, y)) << y;
    EXPECT_EQ(kBlack, canvas.At(44, y)) << y;
  }
  for (int x = 2; x < 45; ++x) {
    EXPECT_EQ(kBlack, canvas.At(x, 32)) << x;
    EXPECT_EQ(kBlack, canvas.At(x, 43)) << x;
  }
  EXPECT_EQ(kItemColor, canvas.At(3, 33));
  EXPECT_EQ(kItemColor, canvas.At(43, 42));
  // The rest of the item is the window colour; nothing outside it is touched.
  for (const POINT& p : {POINT{0, 30}, POINT{1, 38}, POINT{20, 44}, POINT{20, 45}, POINT{179, 31}})
    EXPECT_EQ(window, canvas.At(p.x, p.y)) << p.x << ", " << p.y;
  for (int x = 0; x < 47; ++x) {
    EXPECT_EQ(kUntouched, canvas.At(x, 29)) << x;
    EXPECT_EQ(kUntouched, canvas.At(x, 46)) << x;
  }
  // The name starts at x = 47, two blank columns after the frame.
  Canvas name;
  DrawName(name, kItem, window, 47, GetSysColor(COLOR_WINDOWTEXT), "Commerce");
  EXPECT_EQ("", canvas.Differs(name, 45, 30, 180, 46));
}

TEST_F(ColorListBox, NarrowerItemNarrowsTheSwatchToItsQuarter) {
  box_.InsertColorItem("Guilde", kItemColor);
  const RECT item = {0, 30, 179, 46};
  const COLORREF window = GetSysColor(COLOR_WINDOW);
  Canvas canvas;
  Draw(canvas, 0, 0, item);
  EXPECT_EQ(kBlack, canvas.At(43, 38));
  EXPECT_EQ(kItemColor, canvas.At(42, 38));
  EXPECT_EQ(window, canvas.At(44, 38));
  Canvas name;
  DrawName(name, item, window, 46, GetSysColor(COLOR_WINDOWTEXT), "Guilde");
  EXPECT_EQ("", canvas.Differs(name, 44, 30, 179, 46));
}

TEST_F(ColorListBox, SelectedItemHasTheHighlightAndTheInverseTextColour) {
  box_.InsertColorItem("Raid", kItemColor);
  Canvas canvas;
  Draw(canvas, 0, ODS_SELECTED, kItem);
  const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
  EXPECT_EQ(highlight, canvas.At(1, 38));
  EXPECT_EQ(highlight, canvas.At(179, 45));
  EXPECT_EQ(kItemColor, canvas.At(20, 38));
  Canvas name;
  DrawName(name, kItem, highlight, 47, ~GetSysColor(COLOR_WINDOWTEXT) & 0x00FFFFFF, "Raid");
  EXPECT_EQ("", canvas.Differs(name, 45, 30, 180, 46));
}

TEST_F(ColorListBox, DisabledListPaintsSwatchAndNameInTheInactiveCaptionTextColour) {
  box_.InsertColorItem("Raid", kItemColor);
  const COLORREF inactive = GetSysColor(COLOR_INACTIVECAPTIONTEXT);
  ASSERT_NE(kItemColor, inactive);
  Canvas canvas;
  Draw(canvas, 0, ODS_DISABLED, kItem);
  EXPECT_EQ(kBlack, canvas.At(2, 38));
  EXPECT_EQ(inactive, canvas.At(20, 38));
  Canvas name;
  DrawName(name, kItem, GetSysColor(COLOR_WINDOW), 47, inactive, "Raid");
  EXPECT_EQ("", canvas.Differs(name, 45, 30, 180, 46));
}

TEST_F(ColorListBox, EmptyListWithTheFocusPaintsOnlyBackgroundAndFocusRectangle) {
  Canvas canvas;
  Draw(canvas, -1, ODS_FOCUS, kItem);
  const COLORREF window = GetSysColor(COLOR_WINDOW);
  for (int y = 31; y < 45; ++y)
    for (int x = 1; x < 179; ++x) ASSERT_EQ(window, canvas.At(x, y)) << x << ", " << y;
  int marks = 0;
  for (int x = 0; x < 180; ++x) marks += (canvas.At(x, 30) != window) + (canvas.At(x, 45) != window);
  EXPECT_GT(marks, 0) << "no focus rectangle";
  EXPECT_EQ(kUntouched, canvas.At(0, 29));
  EXPECT_EQ(kUntouched, canvas.At(0, 46));
}

TEST_F(ColorListBox, ItemsStayInInsertionOrderDespiteTheSortStyle) {
  EXPECT_EQ(0, box_.InsertColorItem("Zulu", 0x0000FF));
  EXPECT_EQ(1, box_.InsertColorItem("Alpha", 0x00FF00));
  EXPECT_EQ(2, box_.InsertColorItem("Mike", 0xFF0000));
  EXPECT_EQ((std::vector<std::string>{"Zulu", "Alpha", "Mike"}), ListTexts(list_));
  EXPECT_EQ((std::vector<COLORREF>{0x0000FF, 0x00FF00, 0xFF0000}), ListColors(list_));
}

TEST_F(ColorListBox, EmptiesItsListOnlyAtTheFirstAttach) {
  const HWND fresh = NewList();
  SendMessageA(fresh, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("Vieux"));
  CColorListBox box;
  box.Attach(fresh);
  EXPECT_EQ(std::vector<std::string>{}, ListTexts(fresh));

  box.InsertColorItem("Commerce", kItemColor);
  box.InsertColorItem("Guilde", kItemColor);
  box.Attach(fresh);
  EXPECT_EQ((std::vector<std::string>{"Commerce", "Guilde"}), ListTexts(fresh));
  EXPECT_EQ(std::vector<int>{}, ListSelection(fresh));

  const HWND other = NewList();
  SendMessageA(other, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("Reste"));
  box.Attach(other);
  EXPECT_EQ(std::vector<std::string>{"Reste"}, ListTexts(other));
}

}  // namespace
