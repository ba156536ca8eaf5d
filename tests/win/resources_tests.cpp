// The compiled resources as the program sees them: the templates' exact
// style words (which a resource compiler or editor can change behind the
// source's back), the French texts through both string APIs, the images and
// the manifest.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resource.h"

namespace {

struct Control {
  int id;
  std::wstring kind;  // window class, or L"#132" for an ordinal text
  std::wstring text;
  DWORD style;
  short x, y, cx, cy;
};

struct Template {
  DWORD style = 0, exStyle = 0;
  short cx = 0, cy = 0;
  std::wstring caption, face;
  WORD points = 0, weight = 0;
  BYTE italic = 0, charset = 0;
  std::vector<Control> controls;
};

// Reads a DLGTEMPLATEEX straight from the module's resources.
Template LoadTemplate(int id) {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), reinterpret_cast<LPCWSTR>(RT_DIALOG));
  EXPECT_NE(nullptr, found);
  const BYTE* p = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found)));
  auto word = [&p] { WORD w; memcpy(&w, p, 2); p += 2; return w; };
  auto dword = [&p] { DWORD d; memcpy(&d, p, 4); p += 4; return d; };
  auto text = [&] {
    WORD first = word();
    if (first == 0xFFFF) return L"#" + std::to_wstring(word());
    std::wstring s;
    for (WORD c = first; c != 0; c = word()) s += static_cast<wchar_t>(c);
    return s;
  };
  static const wchar_t* const kClasses[] = {L"Button", L"Edit", L"Static", L"ListBox", L"ScrollBar", L"ComboBox"};
  Template t;
  EXPECT_EQ(1, word());
  EXPECT_EQ(0xFFFF, word());  // the extended form
  p += 4;  // help id
  t.exStyle = dword();
  t.style = dword();
  WORD count = word();
  p += 4;  // x, y
  t.cx = word(), t.cy = word();
  EXPECT_EQ(L"", text());  // no menu
  EXPECT_EQ(L"", text());  // the standard dialog class
  t.caption = text();
  t.points = word(), t.weight = word();
  t.italic = *p++, t.charset = *p++;
  t.face = text();
  for (WORD i = 0; i < count; ++i) {
    p = reinterpret_cast<const BYTE*>((reinterpret_cast<UINT_PTR>(p) + 3) & ~UINT_PTR(3));
    Control c;
    p += 4;  // help id
    EXPECT_EQ(0u, dword()) << "extended style of control " << i;
    c.style = dword();
    c.x = word(), c.y = word(), c.cx = word(), c.cy = word();
    c.id = static_cast<int>(dword());
    c.kind = text();
    if (c.kind[0] == L'#') c.kind = kClasses[std::stoi(c.kind.substr(1)) - 0x80];
    c.text = text();
    p += word();
    t.controls.push_back(c);
  }
  return t;
}

void ExpectControls(const std::vector<Control>& expected, const Template& actual) {
  ASSERT_EQ(expected.size(), actual.controls.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const Control &e = expected[i], &a = actual.controls[i];
    SCOPED_TRACE("control " + std::to_string(i + 1));
    EXPECT_EQ(e.id, a.id);
    EXPECT_EQ(0, _wcsicmp(e.kind.c_str(), a.kind.c_str()));
    EXPECT_EQ(e.text, a.text);
    EXPECT_EQ(e.style, a.style) << std::hex << e.style << " " << a.style;
    EXPECT_EQ((std::vector<short>{e.x, e.y, e.cx, e.cy}), (std::vector<short>{a.x, a.y, a.cx, a.cy}));
  }
}

void ExpectFrame(const Template& t, DWORD style, short cx, short cy, const wchar_t* caption) {
  EXPECT_EQ(style, t.style) << std::hex << t.style;
  EXPECT_EQ((std::vector<short>{cx, cy}), (std::vector<short>{t.cx, t.cy}));
  EXPECT_EQ(caption, t.caption);
  EXPECT_EQ(L"MS Sans Serif", t.face);
  EXPECT_EQ((std::vector<int>{8, 0, 0, 1}), (std::vector<int>{t.points, t.weight, t.italic, t.charset}));
}

constexpr DWORD kButton = 0x50010000, kList = 0x50A00963;

TEST(Resources, MainWindowTemplate) {
  Template t = LoadTemplate(IDD_MAIN_DIALOG);
  ExpectFrame(t, 0x90C800C0, 311, 173, L"Chromatte");
  EXPECT_EQ(DWORD(WS_EX_APPWINDOW), t.exStyle);
  ExpectControls({{IDOK, L"Button", L"Valider", 0x58010001, 183, 152, 50, 14},
                  {IDCANCEL, L"Button", L"Quitter", kButton, 254, 152, 50, 14},
                  {IDC_CHANNEL_LIST, L"ListBox", L"", kList, 183, 26, 121, 122},
                  {IDC_ACCOUNT_COMBO, L"ComboBox", L"", 0x50210003, 183, 7, 121, 140},
                  {IDC_ABOUT, L"Button", L"?", kButton, 237, 152, 13, 14},
                  {IDC_POOL_LIST, L"ListBox", L"", kList, 7, 26, 121, 122},
                  {IDC_ADD, L"Button", L"Ajouter >>", kButton, 133, 67, 46, 14},
                  {IDC_REMOVE, L"Button", L"<< Enlever", kButton, 133, 88, 46, 14},
                  {IDC_CREATE, L"Button", L"Cr\u00E9er", kButton, 7, 152, 34, 14},
                  {IDC_EDIT, L"Button", L"Editer", 0x58010000, 94, 152, 34, 14},
                  {IDC_DELETE, L"Button", L"Effacer", 0x58010000, 50, 152, 34, 14}},
                 t);
}

TEST(Resources, ChannelEditAndAboutTemplates) {
  Template edit = LoadTemplate(IDD_CHANNEL_EDIT);
  ExpectFrame(edit, 0x80C800C0, 213, 47, L"Edition/Cr\u00E9ation");
  ExpectControls({{IDOK, L"Button", L"OK", kButton, 156, 7, 50, 14},
                  {IDCANCEL, L"Button", L"Cancel", kButton, 156, 24, 50, 14},
                  {IDC_NAME, L"Edit", L"", 0x50810080, 55, 7, 95, 14},
                  {IDC_PASSWORD, L"Edit", L"", 0x50810080, 55, 23, 95, 14},
                  {-1, L"Static", L"Nom", 0x50000000, 7, 9, 16, 8},
                  {-1, L"Static", L"Mot de passe", 0x50000000, 7, 25, 44, 8}},
                 edit);

  Template about = LoadTemplate(IDD_ABOUTBOX);
  ExpectFrame(about, 0x80C800C0, 139, 62, L"A propos de Chromatte");
  ExpectControls({{-1, L"Static", L"version 2.1b", 0x50000081, 56, 18, 76, 8},
                  {-1, L"Static", L"par l'\u00E9quipe Brisquel", 0x50000001, 56, 30, 76, 8},
                  {-1, L"Static", L"#132", 0x5080080E, 8, 5, 38, 36},
                  {-1, L"Static", L"Brisquel", 0x50000000, 9, 43, 38, 8},
                  {-1, L"Static", L"Chromatte", 0x50000081, 56, 7, 76, 8},
                  {-1, L"Button", L"", 0x50004007, 7, 0, 41, 55},
                  {-1, L"Static", L"Contact : Brisquel", 0x50000001, 56, 42, 76, 8}},
                 about);
}

INT_PTR CALLBACK AcceptFocus(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

TEST(Resources, MainWindowTabSkipsListsAndDisabledButtons) {
  HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN_DIALOG), nullptr, AcceptFocus, 0);
  ASSERT_NE(nullptr, dialog);
  std::vector<int> order;
  HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
  for (HWND c = first; c && order.size() < 20; c = GetNextDlgTabItem(dialog, c, FALSE)) {
    order.push_back(GetDlgCtrlID(c));
    if (GetNextDlgTabItem(dialog, c, FALSE) == first) break;
  }
  EXPECT_EQ((std::vector<int>{IDCANCEL, IDC_ACCOUNT_COMBO, IDC_ABOUT, IDC_ADD, IDC_REMOVE, IDC_CREATE}), order);
  DestroyWindow(dialog);
}

TEST(Resources, AboutBoxShowsTheLogo) {
  // The picture control loads the logo from the dialog's module.
  HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUTBOX), nullptr, AcceptFocus, 0);
  ASSERT_NE(nullptr, dialog);
  int pictures = 0;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (SendMessageW(c, STM_GETIMAGE, IMAGE_BITMAP, 0)) ++pictures;
  EXPECT_EQ(1, pictures);
  DestroyWindow(dialog);

  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(IDB_LOGO), reinterpret_cast<LPCWSTR>(RT_BITMAP));
  ASSERT_NE(nullptr, found);
  auto info = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(nullptr, found)));
  EXPECT_EQ((std::vector<LONG>{55, 56, 8, BI_RGB}),
            (std::vector<LONG>{info->biWidth, info->biHeight, info->biBitCount, LONG(info->biCompression)}));
  EXPECT_TRUE(info->biClrUsed == 0 || info->biClrUsed == 256);
}

TEST(Resources, IconHasAnImageForEachStandardSize) {
  HRSRC group = FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_MAINFRAME), reinterpret_cast<LPCWSTR>(RT_GROUP_ICON));
  ASSERT_NE(nullptr, group);
  auto directory = static_cast<BYTE*>(LockResource(LoadResource(nullptr, group)));
  for (int size : {16, 32, 48}) {
    int best = LookupIconIdFromDirectoryEx(directory, TRUE, size, size, 0);
    HRSRC image = FindResourceW(nullptr, MAKEINTRESOURCEW(best), reinterpret_cast<LPCWSTR>(RT_ICON));
    ASSERT_NE(nullptr, image) << size;
    EXPECT_EQ(size, static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(nullptr, image)))->biWidth);
  }
}

TEST(Resources, MessagesKeepTheirAccentsLineBreaksAndFormats) {
  wchar_t wide[256];
  ASSERT_GT(LoadStringW(nullptr, IDS_CHANNELS_UNREADABLE, wide, 256), 0);
  EXPECT_STREQ(L"Erreur de lecture des channels dans la base de registre.\n"
               L"Aucun channel trouv\u00E9 dans \"%s\".", wide);
  LoadStringW(nullptr, IDS_CONFIRM_DELETE, wide, 256);
  EXPECT_STREQ(L"Etes vous sure de vouloir effacer le(s) channel(s) s\u00E9l\u00E9ctionn\u00E9(s) ?", wide);

  // The program reads its messages as ANSI and formats them with sprintf.
  if (GetACP() != 1252) GTEST_SKIP() << "ANSI code page " << GetACP();
  char format[256], text[256];
  LoadStringA(nullptr, IDS_CHANNELS_LEFT_OUT, format, 256);
  snprintf(text, sizeof text, format, 3);
  EXPECT_STREQ("La liste des channels est pleine (512) : 3 channel(s) n'ont pas \xE9t\xE9 ajout\xE9(s).", text);
  LoadStringA(nullptr, IDS_CHANNELS_UNREADABLE, format, 256);
  snprintf(text, sizeof text, format, "Compte");
  EXPECT_STREQ("Erreur de lecture des channels dans la base de registre.\nAucun channel trouv\xE9 dans \"Compte\".", text);
}

TEST(Resources, ManifestSelectsCommonControls6) {
  // Only version 6 buttons answer BCM_GETIDEALSIZE.
  HWND button = CreateWindowW(L"Button", L"?", WS_POPUP, 0, 0, 20, 20, nullptr, nullptr, nullptr, nullptr);
  SIZE size{};
  EXPECT_TRUE(SendMessageW(button, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&size)));
  DestroyWindow(button);
}

}  // namespace
