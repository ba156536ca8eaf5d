// The real main window, mostly on the in-memory registry: what the start-up
// shows, how "Valider" and every way of leaving save, the About box commands,
// and one round on the real registry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "allocation_failures.h"
#include "channel_colors_dlg.h"
#include "framework/application.h"
#include "list_checks.h"
#include "messages.h"
#include "raw_registry.h"
#include "registry_fixtures.h"
#include "resource.h"
#include "scratch_hkcu.h"
#include "ui_harness.h"
#include "win32_registry.h"

namespace {

using namespace chromatte::test;
using chromatte::ChannelKeyPath;
using chromatte::kOwnKeyPath;

const std::string kAldric = ChannelKeyPath("Aldric");
const Channel kCommerce{"Commerce", "", 0x0000FF};
const Channel kGuilde{"Guilde", "g1", 0x00FF00};
const Channel kRaid{"Raid", "r\xE9", 0xFF0000};
const Channel kNeuf{"Neuf", "n", 0x808000};

std::vector<std::string> Names(const std::vector<Channel>& channels) {
  std::vector<std::string> names;
  for (const Channel& c : channels) names.push_back(c.name);
  return names;
}

std::vector<COLORREF> Colors(const std::vector<Channel>& channels) {
  std::vector<COLORREF> colors;
  for (const Channel& c : channels) colors.push_back(c.color);
  return colors;
}

HWND Item(HWND window, int id) { return GetDlgItem(window, id); }

// The colour of item `index`'s swatch as the list paints itself, through its
// window, into a 32-bit bitmap.
COLORREF SwatchColor(HWND list, int index) {
  RECT client = {};
  GetClientRect(list, &client);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = client.right;
  info.bmiHeader.biHeight = -client.bottom;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  const HDC dc = CreateCompatibleDC(nullptr);
  void* bits = nullptr;
  const HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ old = SelectObject(dc, bitmap);
  SendMessageA(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  const POINT at = SwatchPoint(list, index);
  const COLORREF color = GetPixel(dc, at.x, at.y);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return color;
}

// Whether a combo box shows its item's text on screen: some pixel of the
// item's area in the window text colour.
bool ShowsItemText(HWND combo) {
  COMBOBOXINFO info = {};
  info.cbSize = sizeof info;
  if (!GetComboBoxInfo(combo, &info)) return false;
  const HDC dc = GetDC(combo);
  bool shown = false;
  for (LONG y = info.rcItem.top; y < info.rcItem.bottom && !shown; ++y)
    for (LONG x = info.rcItem.left; x < info.rcItem.right && !shown; ++x)
      shown = GetPixel(dc, x, y) == GetSysColor(COLOR_WINDOWTEXT);
  ReleaseDC(combo, dc);
  return shown;
}

// A window's place against its place centred over `around`, give or take
// the pixel that halving an odd size loses.
void ExpectCentredOver(const RECT& around, HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  EXPECT_NEAR(around.left + around.right, rect.left + rect.right, 1);
  EXPECT_NEAR(around.top + around.bottom, rect.top + rect.bottom, 1);
}

int ScreenDpi() {
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

// The full height of the list's font, accents and descenders included.
int FontHeight(HWND list) {
  const HDC dc = GetDC(list);
  const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0)));
  TEXTMETRICA metrics = {};
  GetTextMetricsA(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(list, dc);
  return metrics.tmHeight;
}

std::vector<int> RowHeights(HWND list) {
  std::vector<int> heights(static_cast<std::size_t>(SendMessageA(list, LB_GETCOUNT, 0, 0)));
  for (std::size_t i = 0; i < heights.size(); ++i)
    heights[i] = static_cast<int>(SendMessageA(list, LB_GETITEMHEIGHT, i, 0));
  return heights;
}

INT_PTR RunWindow(chromatte::Registry& registry, const std::function<void(HWND)>& script) {
  CChannelColorsDlg dialog(registry);
  return RunModal(dialog, nullptr, script);
}

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(1252u, GetACP()) << "the French texts are code page 1252 bytes"; }

  MemoryRegistry registry;
};

// ---------------------------------------------------------------------------
// Start-ups that end the program. The death test's child can only report
// through its exit code and error output, so it notes what it showed and
// what it wrote, and prints that on its way out.

struct ExitReport {
  std::string expected_message;
  std::vector<std::string> shown;
  bool window_shown = false;
  CallLog* log = nullptr;
};
ExitReport* exit_report = nullptr;

void PrintExitReport() {
  const ExitReport& report = *exit_report;
  std::string problems;
  if (report.shown != std::vector<std::string>{report.expected_message}) {
    problems += "messages shown:";
    for (const std::string& text : report.shown) problems += " [" + text + "]";
    problems += "; ";
  }
  if (report.window_shown) problems += "the main window showed; ";
  for (const CallLog::Call& call : report.log->calls())
    if (call.op == RegOp::kCreate || call.op == RegOp::kSet || call.op == RegOp::kDelete)
      problems += "wrote " + call.path + " " + call.value + "; ";
  std::fprintf(stderr, "start-up ended: %s\n", problems.empty() ? "as expected" : problems.c_str());
  std::fflush(stderr);
}

void StartExpectingExit(void (*fill)(MemoryRegistry&), const char* message) {
  static MemoryRegistry registry;
  fill(registry);
  static CallLog log(registry);
  static ExitReport report{message, {}, false, &log};
  exit_report = &report;
  std::atexit(PrintExitReport);
  ModalAnswers answers;
  for (int i = 0; i < 3; ++i) {
    answers.Expect([](HWND box) {
      exit_report->shown.push_back(MessageText(box));
      const HWND owner = GetWindow(box, GW_OWNER);
      exit_report->window_shown = exit_report->window_shown || !owner || IsWindowVisible(owner);
      SendMessageA(owner, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);  // which writes nothing either
      ClickButton(box, IDOK);
    });
  }
  CChannelColorsDlg dialog(log);
  RunModal(dialog, nullptr, [](HWND) {});  // the window showed: ends it, and the child did not die
}

TEST(StartUpDeathTest, WithoutTheGameKeyTellsSoAndExitsWithZero) {
  EXPECT_EXIT(StartExpectingExit([](MemoryRegistry& r) { PutList(r, kOwnKeyPath, {kNeuf}); }, kGameKeyUnreadable),
              ::testing::ExitedWithCode(0), "start-up ended: as expected");
}

TEST(StartUpDeathTest, WithoutAccountsTellsSoExitsWithZeroAndCreatesNoKey) {
  EXPECT_EXIT(StartExpectingExit([](MemoryRegistry& r) { r.AddKey(chromatte::kGameKeyPath); }, kNoAccount),
              ::testing::ExitedWithCode(0), "start-up ended: as expected");
}

// ---------------------------------------------------------------------------
// Start-up

TEST_F(MainWindow, OneAccountIsSelectedWithItsChannelsInSlotOrder) {
  const std::vector<Channel> channels{kRaid, kCommerce, kGuilde};
  PutList(registry, kAldric, channels);
  RunWindow(registry, [&](HWND window) {
    const HWND combo = Item(window, IDC_ACCOUNT_COMBO);
    EXPECT_EQ(std::vector<std::string>{"Aldric"}, ComboTexts(combo));
    EXPECT_EQ(0, SendMessageA(combo, CB_GETCURSEL, 0, 0));
    EXPECT_EQ(Names(channels), ListTexts(Item(window, IDC_CHANNEL_LIST)));
    EXPECT_EQ(Colors(channels), ListColors(Item(window, IDC_CHANNEL_LIST)));
    // The window hands both lists' paint requests to their swatch painter.
    EXPECT_EQ(kGuilde.color, SwatchColor(Item(window, IDC_CHANNEL_LIST), 2));
    EXPECT_EQ(kRaid.color, SwatchColor(Item(window, IDC_POOL_LIST), 0));
    ClickButton(window, IDCANCEL);
  });
}

TEST_F(MainWindow, AccountsStandInEnumerationOrderAndTheFirstIsShown) {
  // The registry's order, accented letters after z, is neither the order of
  // creation nor a sorted box's.
  PutList(registry, ChannelKeyPath("Zoe"), {kRaid});
  PutList(registry, ChannelKeyPath("\xC9lise"), {kGuilde});
  PutList(registry, kAldric, {kCommerce, kNeuf});
  RunWindow(registry, [&](HWND window) {
    const HWND combo = Item(window, IDC_ACCOUNT_COMBO);
    EXPECT_EQ((std::vector<std::string>{"Aldric", "Zoe", "\xC9lise"}), ComboTexts(combo));
    EXPECT_EQ(0, SendMessageA(combo, CB_GETCURSEL, 0, 0));
    // On screen too: the box's redraw, off while it filled, is back on. Wine
    // keeps WS_VISIBLE without it, and paints nothing of the box.
    EXPECT_TRUE(IsWindowVisible(combo) && ShowsItemText(combo));
    EXPECT_EQ((std::vector<std::string>{"Commerce", "Neuf"}), ListTexts(Item(window, IDC_CHANNEL_LIST)));
    EXPECT_FALSE(IsItemEnabled(window, IDOK));
    ClickButton(window, IDCANCEL);
  });
}

TEST_F(MainWindow, FirstAccountWithoutChannelKeyIsReportedByBothReaders) {
  registry.AddKey(chromatte::kGameKeyPath + std::string("\\Aldric"));
  PutList(registry, ChannelKeyPath("Bors"), {kRaid});
  registry.AddKey(chromatte::kGameKeyPath + std::string("\\Cyd"));
  ModalAnswers answers;
  answers.Expect(AnswerMessage(kPoolAccountUnreadable, IDOK, IDI_HAND));  // Aldric
  answers.Expect(AnswerMessage(kPoolAccountUnreadable, IDOK, IDI_HAND));  // Cyd
  answers.Expect(AnswerMessage(ChannelsUnreadable("Aldric"), IDOK, IDI_HAND));
  RunWindow(registry, [&](HWND window) {
    EXPECT_EQ(0, answers.pending());
    EXPECT_EQ(std::vector<std::string>{}, ListTexts(Item(window, IDC_CHANNEL_LIST)));
    EXPECT_EQ(std::vector<std::string>{"Raid"}, ListTexts(Item(window, IDC_POOL_LIST)));
    ClickButton(window, IDCANCEL);
  });
}

TEST_F(MainWindow, PoolShowsItsOwnKeyFirstThenNewChannelsOfTheAccountsInOrder) {
  const Channel own_commerce{"Commerce", "mien", 0x010203};
  const Channel bors_guilde{"Guilde", "autre", 0x040506};
  PutList(registry, kOwnKeyPath, {kNeuf, own_commerce});
  PutList(registry, kAldric, {kCommerce, kGuilde});
  PutList(registry, ChannelKeyPath("Bors"), {bors_guilde, kRaid});
  CChannelColorsDlg dialog(registry);
  RunModal(dialog, nullptr, [&](HWND window) {
    const std::vector<Channel> pool{kNeuf, own_commerce, kGuilde, kRaid};
    EXPECT_EQ(Names(pool), ListTexts(Item(window, IDC_POOL_LIST)));
    EXPECT_EQ(Colors(pool), ListColors(Item(window, IDC_POOL_LIST)));
    EXPECT_EQ(pool, Entries(dialog.pool()));
    ClickButton(window, IDCANCEL);
  });
}

TEST_F(MainWindow, StartsWithNothingSelectedAndTheFocusOnQuitter) {
  PutList(registry, kOwnKeyPath, {kNeuf});
  PutList(registry, kAldric, {kCommerce, kGuilde});
  RunWindow(registry, [&](HWND window) {
    for (int id : {IDOK, IDC_EDIT, IDC_DELETE}) EXPECT_FALSE(IsItemEnabled(window, id)) << id;
    for (int id : {IDCANCEL, IDC_ABOUT, IDC_ADD, IDC_REMOVE, IDC_CREATE}) EXPECT_TRUE(IsItemEnabled(window, id)) << id;
    EXPECT_EQ(Item(window, IDCANCEL), GetFocus());
    EXPECT_EQ(std::vector<int>{}, ListSelection(Item(window, IDC_POOL_LIST)));
    EXPECT_EQ(std::vector<int>{}, ListSelection(Item(window, IDC_CHANNEL_LIST)));
    ClickButton(window, IDCANCEL);
  });
}

// The templates stand at (0, 0): the window opens centred on its monitor's
// work area, the About box and the name/password dialog over the window.
TEST_F(MainWindow, OpensCentredAndItsDialogsOverIt) {
  PutList(registry, kAldric, {kCommerce});
  RunWindow(registry, [&](HWND window) {
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor));
    ExpectCentredOver(monitor.rcWork, window);
    // Moved off the centre, so that over the window is not over the work area.
    SetWindowPos(window, nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    RECT moved = {};
    GetWindowRect(window, &moved);
    ModalAnswers answers;  // which fails unless each dialog opened
    for (int id : {IDC_ABOUT, IDC_CREATE}) {
      SCOPED_TRACE(id);
      answers.Expect([&](HWND dialog) {
        ExpectCentredOver(moved, dialog);
        SendMessageA(dialog, WM_CLOSE, 0, 0);
      });
      ClickButton(window, id);
    }
    ClickButton(window, IDCANCEL);
  });
}

TEST_F(MainWindow, PoolFilledByTheMergeDisablesCreer) {
  std::vector<Channel> own;
  for (int i = 0; i < chromatte::kMaxChannels - 1; ++i) own.push_back({"P" + std::to_string(i), "", 0x102030});
  PutList(registry, kOwnKeyPath, own);
  PutList(registry, kAldric, {kRaid, kNeuf});
  RunWindow(registry, [&](HWND window) {
    const std::vector<std::string> pool = ListTexts(Item(window, IDC_POOL_LIST));
    ASSERT_EQ(512u, pool.size());
    EXPECT_EQ("Raid", pool.back());
    EXPECT_FALSE(IsItemEnabled(window, IDC_CREATE));
    ClickButton(window, IDCANCEL);
  });
}

TEST_F(MainWindow, AboutBoxOpensFromItsSystemMenuEntryAndTheQuestionButton) {
  PutList(registry, kAldric, {kCommerce});
  RunWindow(registry, [&](HWND window) {
    const HMENU menu = GetSystemMenu(window, FALSE);
    const int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    char text[64] = {};
    GetMenuStringA(menu, count - 1, text, sizeof text, MF_BYPOSITION);
    EXPECT_EQ("&A propos de Chromatte...", std::string(text));
    EXPECT_EQ(static_cast<UINT>(IDM_ABOUTBOX), GetMenuItemID(menu, count - 1));
    EXPECT_TRUE(GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR);

    ModalAnswers answers;
    for (int i = 0; i < 3; ++i) {
      answers.Expect([](HWND box) {
        EXPECT_EQ("A propos de Chromatte", WindowText(box));
        SendMessageA(box, WM_CLOSE, 0, 0);  // its close box
      });
    }
    SendMessageA(window, WM_SYSCOMMAND, 0x10, 0);
    EXPECT_EQ(2, answers.pending());
    SendMessageA(window, WM_SYSCOMMAND, 0x1F, 0);
    EXPECT_EQ(1, answers.pending());
    SendMessageA(window, WM_SYSCOMMAND, 0x20, 0);
    EXPECT_EQ(1, answers.pending());
    ClickButton(window, IDC_ABOUT);
    EXPECT_EQ(0, answers.pending());
    ClickButton(window, IDCANCEL);
  });
}

// F1 typed in a list, and the help command: the help box over the window,
// reading and writing nothing. F1 in that box or the About box opens no other.
TEST_F(MainWindow, F1AndTheHelpCommandShowTheHelpBoxAndNothingMore) {
  PutList(registry, kOwnKeyPath, {kNeuf});
  PutList(registry, kAldric, {kCommerce});
  RunWindow(registry, [&](HWND window) {
    const HWND pool = Item(window, IDC_POOL_LIST);
    const std::string help = win::LoadResourceString(IDS_HELP);
    ASSERT_FALSE(help.empty());
    const auto calls = registry.CallCount();
    ModalAnswers answers;
    HWND owner = nullptr;
    for (int i = 0; i < 2; ++i) {
      answers.Expect([&](HWND box) {
        owner = GetWindow(box, GW_OWNER);
        TypeKey(box, VK_F1);
        AnswerMessage(help, IDOK, IDI_INFORMATION)(box);
      });
    }
    SetFocus(pool);
    TypeKey(window, VK_F1);
    EXPECT_EQ(1, answers.pending());
    EXPECT_EQ(window, owner);
    EXPECT_EQ(pool, GetFocus());
    SendMessageA(window, WM_COMMAND, win::ID_HELP, 0);
    answers.Expect([](HWND about) {
      TypeKey(about, VK_F1);
      PressKey(about, VK_ESCAPE);
    });
    ClickButton(window, IDC_ABOUT);
    EXPECT_EQ(0, answers.pending());
    EXPECT_EQ(calls, registry.CallCount());
    ClickButton(window, IDCANCEL);
  });
}

// ---------------------------------------------------------------------------
// Rows at the screen's scale. Wine reads its DPI when a program starts:
// ctest runs the scaled test again in a prefix set to 144 DPI.

TEST_F(MainWindow, RowsAtAScaledDpiHoldTheirNamesWhole) {
  if (ScreenDpi() == 96) GTEST_SKIP() << "the screen is not scaled (96 DPI)";
  PutList(registry, kOwnKeyPath, {kNeuf});
  PutList(registry, kAldric, {kCommerce, kGuilde, kRaid});
  PutList(registry, ChannelKeyPath("Bors"), {kGuilde});
  RunWindow(registry, [&](HWND window) {
    const HWND pool = Item(window, IDC_POOL_LIST), channels = Item(window, IDC_CHANNEL_LIST);
    const auto expect_rows_fit = [](HWND list, const char* what) {
      const std::vector<int> heights = RowHeights(list);
      ASSERT_FALSE(heights.empty()) << what;
      EXPECT_GE(*std::min_element(heights.begin(), heights.end()), FontHeight(list) + 2)
          << what << " at " << ScreenDpi() << " DPI";
    };
    expect_rows_fit(pool, "pool at start");
    expect_rows_fit(channels, "channels at start");
    // Rows added later: "Ajouter >>", "Créer", "Editer", another account.
    ClickItem(pool, 0);
    ClickButton(window, IDC_ADD);
    ModalAnswers answers;
    answers.Expect(AnswerChannelEdit("Nouveau", "", IDOK));
    ClickButton(window, IDC_CREATE);
    ClickItem(pool, 0);
    answers.Expect(AnswerChannelEdit("Neuf", "autre", IDOK));
    ClickButton(window, IDC_EDIT);
    expect_rows_fit(pool, "pool after Creer and Editer");
    expect_rows_fit(channels, "channels after Ajouter");
    SelectComboItem(Item(window, IDC_ACCOUNT_COMBO), 1);
    expect_rows_fit(channels, "channels of another account");
    ClickButton(window, IDCANCEL);
  });
}

TEST_F(MainWindow, RowsAt96DpiKeepTheHeightTheListsPropose) {
  if (ScreenDpi() != 96) GTEST_SKIP() << "the screen is at " << ScreenDpi() << " DPI, not 96";
  PutList(registry, kOwnKeyPath, {kNeuf});
  PutList(registry, kAldric, {kCommerce, kGuilde, kRaid});
  RunWindow(registry, [&](HWND window) {
    // The rows a user saw before they grew with the font: Wine proposes 16
    // pixels, which the 13-pixel font fits.
    EXPECT_EQ(std::vector<int>(4, 16), RowHeights(Item(window, IDC_POOL_LIST)));
    EXPECT_EQ(std::vector<int>(3, 16), RowHeights(Item(window, IDC_CHANNEL_LIST)));
    ClickButton(window, IDCANCEL);
  });
}

// Each row a list adds or paints asks the window: the answers leave the
// dialog's message result alone, each change of which is a round trip to
// Wine's server, and another to clear it before the next message.
TEST_F(MainWindow, RowsAreMeasuredAndDrawnWithoutSettingTheMessageResult) {
  PutList(registry, kOwnKeyPath, {kNeuf});
  PutList(registry, kAldric, {kCommerce});
  RunWindow(registry, [&](HWND window) {
    const HWND pool = Item(window, IDC_POOL_LIST);
    // A dialog's SendMessage returns what DWLP_MSGRESULT holds.
    MEASUREITEMSTRUCT measure = {ODT_LISTBOX, IDC_POOL_LIST, 0, 0, 1, 0};
    EXPECT_EQ(0, SendMessageA(window, WM_MEASUREITEM, IDC_POOL_LIST, reinterpret_cast<LPARAM>(&measure)));
    EXPECT_EQ(static_cast<UINT>(FontHeight(pool) + 2), measure.itemHeight);
    const HDC dc = CreateCompatibleDC(nullptr);
    DRAWITEMSTRUCT draw = {ODT_LISTBOX, IDC_POOL_LIST, 0, ODA_DRAWENTIRE, 0, pool, dc, {0, 0, 100, 16}, 0};
    EXPECT_EQ(0, SendMessageA(window, WM_DRAWITEM, IDC_POOL_LIST, reinterpret_cast<LPARAM>(&draw)));
    DeleteDC(dc);
    ClickButton(window, IDCANCEL);
  });
}

// ---------------------------------------------------------------------------
// Saving and leaving

TEST_F(MainWindow, ValiderWritesExactlyTheChannelListAndDisablesItself) {
  PutList(registry, kOwnKeyPath, {kNeuf});
  PutList(registry, kAldric, {kCommerce, kGuilde, kRaid});
  registry.PutString(kAldric, "Channel512", "hors liste");
  EXPECT_EQ(IDCANCEL, RunWindow(registry, [&](HWND window) {
    ClickItem(Item(window, IDC_CHANNEL_LIST), 1);
    ClickButton(window, IDC_REMOVE);
    ClickItem(Item(window, IDC_POOL_LIST), 0);
    ClickButton(window, IDC_ADD);
    ASSERT_TRUE(IsItemEnabled(window, IDOK));
    ClickButton(window, IDOK);
    EXPECT_FALSE(IsItemEnabled(window, IDOK));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(Saved(kAldric, {kCommerce, kRaid, kNeuf},
                    [](MemoryRegistry& r) { r.PutString(kAldric, "Channel512", "hors liste"); }),
              Values(registry, kAldric));
    // The click gave "Valider" the focus, which moved on to the next control
    // as it was disabled: the keyboard still works.
    EXPECT_EQ(Item(window, IDCANCEL), GetFocus());
    TypeKey(window, VK_ESCAPE);
  }));
}

TEST_F(MainWindow, FailedSaveSaysSoAndKeepsValiderForAnotherTry) {
  const struct {
    const char* what;
    std::function<void(MemoryRegistry&)> fail;
    std::uint64_t failing_allocation;  // 0: none
    const char* message;
  } failures[] = {
      {"the key cannot be opened", [](MemoryRegistry& r) { r.FailOn(RegOp::kOpen, kAldric); }, 0, kChannelsNotSaved},
      {"a value cannot be written", [](MemoryRegistry& r) { r.FailOn(RegOp::kSet, kAldric, "Channel1color"); }, 0,
       kChannelsNotSaved},
      // A C++ exception must not unwind through the window manager.
      {"memory runs out", [](MemoryRegistry&) {}, 1, kOutOfMemory},
  };
  for (const auto& failure : failures) {
    SCOPED_TRACE(failure.what);
    MemoryRegistry registry;
    PutList(registry, kOwnKeyPath, {kNeuf});
    PutList(registry, kAldric, {kCommerce});
    RunWindow(registry, [&](HWND window) {
      ClickItem(Item(window, IDC_POOL_LIST), 0);
      ClickButton(window, IDC_ADD);
      failure.fail(registry);
      {
        ModalAnswers answers;
        answers.Expect(AnswerMessage(failure.message, IDOK, IDI_HAND));
        const auto failing = FailingAllocation::Number(failure.failing_allocation);
        ClickButton(window, IDOK);
      }
      EXPECT_TRUE(IsItemEnabled(window, IDOK));
      EXPECT_TRUE(IsWindowVisible(window));
      registry.ClearFailures();
      ClickButton(window, IDOK);
      EXPECT_FALSE(IsItemEnabled(window, IDOK));
      EXPECT_EQ(Saved(kAldric, {kCommerce, kNeuf}), Values(registry, kAldric));
      ClickButton(window, IDCANCEL);
    });
  }
}

TEST_F(MainWindow, EveryWayOfLeavingSavesThePoolAndCancels) {
  const struct {
    const char* way;
    std::function<void(HWND)> leave;
  } ways[] = {
      {"Quitter", [](HWND w) { ClickButton(w, IDCANCEL); }},
      {"Escape in a list",
       [](HWND w) {
         SetFocus(Item(w, IDC_POOL_LIST));
         PressKey(w, VK_ESCAPE);
       }},
      {"the close box",
       [](HWND w) {
         SendMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0);
         DeliverPosted(w);
       }},
      {"WM_CLOSE",
       [](HWND w) {
         SendMessageA(w, WM_CLOSE, 0, 0);
         DeliverPosted(w);
       }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.way);
    MemoryRegistry registry;
    PutList(registry, kAldric, {kGuilde, kCommerce});
    EXPECT_EQ(IDCANCEL, RunWindow(registry, way.leave));
    EXPECT_EQ(Saved(kOwnKeyPath, {kGuilde, kCommerce}), Values(registry, kOwnKeyPath));
  }
}

TEST_F(MainWindow, PoolThatCannotBeSavedAsksBeforeLeaving) {
  registry.FailOn(RegOp::kCreate, kOwnKeyPath);
  PutList(registry, kAldric, {kCommerce});
  ModalAnswers answers;
  const INT_PTR result = RunWindow(registry, [&](HWND window) {
    answers.Expect(AnswerMessage(kPoolNotSaved, IDNO));
    ClickButton(window, IDCANCEL);
    EXPECT_TRUE(IsWindowVisible(window));
    answers.Expect(AnswerMessage(kPoolNotSaved, IDYES));
    PressKey(window, VK_ESCAPE);
  });
  EXPECT_EQ(IDCANCEL, result);
  EXPECT_FALSE(registry.HasKey(kOwnKeyPath));
}

// A second copy left meanwhile, its pool holding three channels new to this
// one: one fits. Leaving says how many would be lost; "Non" stays, with the
// one shown and nothing written, and "Oui" saves.
TEST_F(MainWindow, LeavingAsksWhenASecondCopysChannelsDoNotAllFit) {
  std::vector<Channel> own;
  for (int i = 0; i < chromatte::kMaxChannels - 2; ++i) own.push_back({"P" + std::to_string(i), "", 0x102030});
  PutList(registry, kOwnKeyPath, own);
  PutList(registry, kAldric, {kCommerce});
  CChannelColorsDlg dialog(registry);
  const INT_PTR result = RunModal(dialog, nullptr, [&](HWND window) {
    std::vector<Channel> theirs(own.begin(), own.end() - 1);
    theirs.insert(theirs.end(), {kRaid, kNeuf, kGuilde});
    PutList(registry, kOwnKeyPath, theirs);
    const Snapshot written = Values(registry, kOwnKeyPath);
    ModalAnswers answers;
    answers.Expect(AnswerMessage(PoolChannelsLost(2), IDNO, IDI_WARNING));
    ClickButton(window, IDCANCEL);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(written, Values(registry, kOwnKeyPath));
    EXPECT_TRUE(PoolListInStep(dialog, Item(window, IDC_POOL_LIST)));
    EXPECT_EQ("Raid", ListTexts(Item(window, IDC_POOL_LIST)).back());
    EXPECT_FALSE(IsItemEnabled(window, IDC_CREATE));
    answers.Expect(AnswerMessage(PoolChannelsLost(2), IDYES, IDI_WARNING));
    ClickButton(window, IDCANCEL);
  });
  EXPECT_EQ(IDCANCEL, result);
  EXPECT_EQ(Saved(kOwnKeyPath, Entries(dialog.pool())), Values(registry, kOwnKeyPath));
  EXPECT_EQ(chromatte::kMaxChannels, dialog.pool().count);
}

// Signing out or shutting down with the window open saves the pool as
// leaving does, a second copy's channels merged in, asks nothing, and ends
// the window; where leaving would ask, nothing is written. An end that was
// cancelled does nothing.
TEST_F(MainWindow, EndOfSessionSavesThePoolAsLeavingDoesAskingNothing) {
  const Channel perso{"Perso", "p", CChannelColorsDlg::NEW_CHANNEL_COLOR};
  const struct {
    const char* what;
    const char* failing_value;  // at the start-up's reading of the pool
    BOOL ending;
    std::vector<Channel> saved;  // none: the own key keeps what it holds
  } cases[] = {
      {"the session ends", nullptr, TRUE, {kNeuf, kRaid, kCommerce, perso, kGuilde}},
      {"the pool was read in part", "Channel1", TRUE, {}},
      {"the end was cancelled", nullptr, FALSE, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryRegistry registry;
    PutList(registry, kOwnKeyPath, {kNeuf, kRaid});
    PutList(registry, kAldric, {kCommerce});
    ModalAnswers answers;
    if (c.failing_value) {
      registry.FailOn(RegOp::kQuery, kOwnKeyPath, c.failing_value);
      answers.Expect(AnswerMessage(kPoolReadInPart, IDOK, IDI_HAND));
    }
    EXPECT_EQ(IDCANCEL, RunWindow(registry, [&](HWND window) {
      registry.ClearFailures();
      answers.Expect(AnswerChannelEdit(perso.name, perso.password, IDOK));
      ClickButton(window, IDC_CREATE);
      PutList(registry, kOwnKeyPath, {kNeuf, kGuilde});  // a second copy left
      const Snapshot theirs = Values(registry, kOwnKeyPath);
      EXPECT_EQ(TRUE, SendMessageA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
      EXPECT_EQ(theirs, Values(registry, kOwnKeyPath));
      SendMessageA(window, WM_ENDSESSION, c.ending, ENDSESSION_LOGOFF);
      EXPECT_EQ(c.saved.empty() ? theirs : Saved(kOwnKeyPath, c.saved), Values(registry, kOwnKeyPath));
      EXPECT_EQ(!c.ending, IsWindowVisible(window) != FALSE);
      if (!c.ending) ClickButton(window, IDCANCEL);
    }));
  }
}

// A name too long for a short string's own room: reading it allocates, as
// many bytes as the standard library gives such a string.
const Channel kLongName{std::string(200, 'N'), "l", 0x123456};
std::size_t LongNameAllocation() {
  const auto counting = FailingAllocation::Number(0);
  std::string read;
  read.assign(kLongName.name.begin(), kLongName.name.end());
  return counting.last_size();
}

// Running out of memory part-way through the start-up ends the program after
// the message: a window with part of its pool would save that part.
TEST_F(MainWindow, StartUpThatRunsOutOfMemoryEndsWritingNothing) {
  const Channel perso{"Perso", "p", 0x00FFFF};
  PutList(registry, kOwnKeyPath, {kNeuf, kLongName, perso});
  PutList(registry, kAldric, {kCommerce});
  const Snapshot own = Values(registry, kOwnKeyPath);
  CallLog log(registry);
  ModalAnswers answers;
  answers.Expect(AnswerMessage(kOutOfMemory, IDOK, IDI_HAND));
  bool shown = false;
  {
    const auto failing = FailingAllocation::OfSize(LongNameAllocation());
    EXPECT_EQ(-1, RunWindow(log, [&](HWND) { shown = true; }));
    EXPECT_TRUE(failing.failed());
  }
  EXPECT_FALSE(shown);
  EXPECT_EQ(own, Values(registry, kOwnKeyPath));
  for (const CallLog::Call& call : log.calls())
    EXPECT_TRUE(call.op != RegOp::kCreate && call.op != RegOp::kSet && call.op != RegOp::kDelete) << call.value;
}

// An account that a failed call or memory running out cuts short says so,
// and its channels are not written over unasked; nor are they when its
// last-write time cannot be read, which leaves another program's writes unseen.
TEST_F(MainWindow, AccountThatMayHoldMoreIsNotWrittenOverUnasked) {
  const std::string bors = ChannelKeyPath("Bors");
  PutList(registry, kAldric, {kCommerce});
  PutList(registry, bors, {kGuilde, kLongName, kRaid, kNeuf});
  const Snapshot stored = Values(registry, bors);
  const struct {
    const char* what;
    std::function<void(MemoryRegistry&)> fail_call;
    std::size_t failing_allocation;  // 0: none
    std::string message;  // when read
    std::vector<Channel> shown;
    const char* question;  // before "Valider" writes
  } cuts[] = {
      {"a call fails", [&](MemoryRegistry& r) { r.FailOn(RegOp::kQuery, bors, "Channel2pwd"); }, 0,
       ChannelsReadInPart("Bors"), {kGuilde, kLongName}, kChannelsUnread},
      {"memory runs out", [](MemoryRegistry&) {}, LongNameAllocation(), kOutOfMemory, {}, kChannelsUnread},
      {"the last-write time cannot be read", [&](MemoryRegistry& r) { r.FailOn(RegOp::kQueryInfo, bors); }, 0, "",
       {kGuilde, kLongName, kRaid, kNeuf}, kChannelsUnverified},
  };
  for (const auto& cut : cuts) {
    SCOPED_TRACE(cut.what);
    CChannelColorsDlg dialog(registry);
    RunModal(dialog, nullptr, [&](HWND window) {
      const HWND channels = Item(window, IDC_CHANNEL_LIST);
      ModalAnswers answers;
      if (!cut.message.empty()) answers.Expect(AnswerMessage(cut.message, IDOK, IDI_HAND));
      cut.fail_call(registry);
      {
        const auto failing = FailingAllocation::OfSize(cut.failing_allocation);
        SelectComboItem(Item(window, IDC_ACCOUNT_COMBO), 1);
      }
      registry.ClearFailures();
      EXPECT_EQ(0, answers.pending());
      EXPECT_EQ(cut.shown, Entries(dialog.channels()));
      EXPECT_TRUE(ChannelListInStep(dialog, channels));
      EXPECT_FALSE(IsItemEnabled(window, IDOK));

      ClickItem(Item(window, IDC_POOL_LIST), 0);
      ClickButton(window, IDC_ADD);
      answers.Expect(AnswerMessage(cut.question, IDNO, IDI_WARNING));
      ClickButton(window, IDOK);
      EXPECT_EQ(stored, Values(registry, bors));
      EXPECT_TRUE(IsItemEnabled(window, IDOK));
      ClickButton(window, IDCANCEL);
    });
  }
}

// A call that fails once while the start-up reads the own key: the pool
// holds the key's first channels, then the accounts'. The user is told, and
// leaving writes nothing over the key, which keeps every channel with its
// own colour and password.
TEST_F(MainWindow, PoolReadInPartIsNeverSavedOverItsKey) {
  std::vector<Channel> full_pool, account_of_300;
  for (int i = 0; i < chromatte::kMaxChannels; ++i) full_pool.push_back({"P" + std::to_string(i), "p", 0x102030});
  for (int i = 0; i < 300; ++i) account_of_300.push_back({"A" + std::to_string(i), "a", 0x302010});
  const Channel own_raid{"Raid", "own-pw", 0xFF0000}, account_raid{"Raid", "acc-pw", 0x0000FF};
  const struct {
    const char* what;
    std::vector<Channel> own, account;
    const char* failing_value;
  } cases[] = {
      {"full pool", full_pool, account_of_300, "Channel300pwd"},
      {"room left", {kNeuf, own_raid, kGuilde}, {kCommerce, account_raid}, "Channel1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryRegistry registry;
    PutList(registry, kOwnKeyPath, c.own);
    PutList(registry, kAldric, c.account);
    const Snapshot own = Values(registry, kOwnKeyPath);
    registry.FailOn(RegOp::kQuery, kOwnKeyPath, c.failing_value);
    ModalAnswers answers;
    answers.Expect(AnswerMessage(kPoolReadInPart, IDOK, IDI_HAND));
    const INT_PTR result = RunWindow(registry, [&](HWND window) {
      registry.ClearFailures();
      answers.Expect(AnswerMessage(kPoolUnread, IDYES, IDI_WARNING));
      ClickButton(window, IDCANCEL);
    });
    EXPECT_EQ(0, answers.pending());
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ(own, Values(registry, kOwnKeyPath));
  }
}

TEST_F(MainWindow, PoolPartlyWrittenAlsoAsksBeforeLeaving) {
  registry.FailOn(RegOp::kSet, kOwnKeyPath, "Channel0pwd");
  PutList(registry, kAldric, {kCommerce});
  ModalAnswers answers;
  answers.Expect(AnswerMessage(kPoolNotSaved, IDYES));
  EXPECT_EQ(IDCANCEL, RunWindow(registry, [](HWND window) { ClickButton(window, IDCANCEL); }));
}

// ---------------------------------------------------------------------------
// On the real registry, in a scratch HKEY_CURRENT_USER. Data is put and read
// back with advapi32 itself.

class MainWindowOnTheRegistry : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(scratch_.ok()) << "HKEY_CURRENT_USER is still the user's own"; }

  ScratchHkcu scratch_;
};

TEST_F(MainWindowOnTheRegistry, ValiderCreatesTheMissingChannelKeyAndLeavingRewritesThePool) {
  RawPutList(kOwnKeyPath, {kNeuf});
  RawSet(kOwnKeyPath, "Channel1", REG_SZ, std::string("Orphelin", 9));  // an incomplete slot ends the pool
  RawSet(chromatte::kGameKeyPath + std::string("\\Aldric"), "", 0, "");
  ModalAnswers answers;
  answers.Expect(AnswerMessage(kPoolAccountUnreadable, IDOK, IDI_HAND));
  answers.Expect(AnswerMessage(ChannelsUnreadable("Aldric"), IDOK, IDI_HAND));
  chromatte::Win32Registry registry;
  const INT_PTR result = RunWindow(registry, [&](HWND window) {
    ClickItem(Item(window, IDC_POOL_LIST), 0);
    ClickButton(window, IDC_ADD);
    ClickButton(window, IDOK);
    EXPECT_FALSE(IsItemEnabled(window, IDOK));
    EXPECT_EQ(Saved(kAldric, {kNeuf}), RawValues(kAldric));
    ClickButton(window, IDCANCEL);
  });
  EXPECT_EQ(IDCANCEL, result);
  EXPECT_EQ(Saved(kOwnKeyPath, {kNeuf}), RawValues(kOwnKeyPath));
}

// The game writes the account's key between its reading and "Valider":
// "Non" leaves the game's channels as they are, "Oui" writes the list, and
// then the key counts as read.
TEST_F(MainWindowOnTheRegistry, ValiderAsksBeforeWritingOverAnotherProgramsChannels) {
  RawPutList(kAldric, {kGuilde, kCommerce});
  chromatte::Win32Registry registry;
  RunWindow(registry, [&](HWND window) {
    ClickItem(Item(window, IDC_CHANNEL_LIST), 1);
    ClickButton(window, IDC_REMOVE);
    RawPutSlot(kAldric, 2, {"Ajout", "a", 0x00AA00});
    const Snapshot theirs = RawValues(kAldric);
    ModalAnswers answers;
    answers.Expect(AnswerMessage(kChannelsChanged, IDNO, IDI_WARNING));
    ClickButton(window, IDOK);
    EXPECT_EQ(theirs, RawValues(kAldric));
    EXPECT_TRUE(IsItemEnabled(window, IDOK));
    answers.Expect(AnswerMessage(kChannelsChanged, IDYES, IDI_WARNING));
    ClickButton(window, IDOK);
    EXPECT_EQ(Saved(kAldric, {kGuilde}), RawValues(kAldric));
    EXPECT_FALSE(IsItemEnabled(window, IDOK));
    ClickItem(Item(window, IDC_POOL_LIST), 1);
    ClickButton(window, IDC_ADD);
    ClickButton(window, IDOK);
    EXPECT_EQ(Saved(kAldric, {kGuilde, kCommerce}), RawValues(kAldric));
    ClickButton(window, IDCANCEL);
  });
}

// A second copy leaves, saving its pool, while this one runs: leaving keeps
// the channel it added, with its colour and password, and not the one this
// user deleted.
TEST_F(MainWindowOnTheRegistry, LeavingKeepsWhatASecondCopySavedMeanwhile) {
  RawPutList(kOwnKeyPath, {kNeuf, kGuilde});
  RawPutList(kAldric, {kCommerce});
  const Channel nouveau{"Nouveau", "n2", 0xABCDEF};
  chromatte::Win32Registry registry;
  const INT_PTR result = RunWindow(registry, [&](HWND window) {
    ModalAnswers answers;
    ClickItem(Item(window, IDC_POOL_LIST), 1);
    answers.Expect(AnswerMessage(kConfirmDelete, IDYES));
    ClickButton(window, IDC_DELETE);
    RawPutList(kOwnKeyPath, {kNeuf, kGuilde, kCommerce, nouveau});
    ClickButton(window, IDCANCEL);
  });
  EXPECT_EQ(IDCANCEL, result);
  EXPECT_EQ(Saved(kOwnKeyPath, {kNeuf, kCommerce, nouveau}), RawValues(kOwnKeyPath));
}

// Names of 4 KiB, 64 KiB and 1 MiB in an account and in the own key: the
// window starts and paints, an item shows the start of its name, "Editer"
// gives a long password back whole, and "Valider" and leaving write every
// value back byte for byte.
TEST_F(MainWindowOnTheRegistry, LongNamesArePaintedAndWrittenBackWhole) {
  const std::vector<Channel> aldric{{std::string(4 << 10, 'a'), std::string(64 << 10, 'p'), 0x0000FF},
                                    {std::string(64 << 10, 'b'), "", 0x00FF00},
                                    {std::string(1 << 20, 'c'), std::string(1 << 20, 'q'), 0xFF0000}};
  const Channel own{std::string(1 << 20, 'o'), std::string(64 << 10, 'w'), 0x123456};
  RawPutList(kOwnKeyPath, {own});
  RawPutList(kAldric, aldric);
  chromatte::Win32Registry registry;
  const INT_PTR result = RunWindow(registry, [&](HWND window) {
    const HWND channels = Item(window, IDC_CHANNEL_LIST), pool = Item(window, IDC_POOL_LIST);
    EXPECT_EQ(std::string(255, 'c'), ListTexts(channels).at(2));
    EXPECT_EQ(aldric[2].color, SwatchColor(channels, 2));
    EXPECT_EQ(own.color, SwatchColor(pool, 0));

    ModalAnswers answers;
    ClickItem(pool, 0);
    answers.Expect([](HWND edit) {
      SetDlgItemTextA(edit, IDC_NAME, "Court");
      ClickButton(edit, IDOK);
    });
    ClickButton(window, IDC_EDIT);
    answers.Expect(AnswerColor(0x00A0A0));
    DoubleClickItem(channels, 2);
    EXPECT_EQ(0x00A0A0u, ShownSwatchColor(channels, 2)) << "the list repaints at once";
    ClickButton(window, IDOK);
    ClickButton(window, IDCANCEL);
  });
  EXPECT_EQ(IDCANCEL, result);
  std::vector<Channel> saved = aldric;
  saved[2].color = 0x00A0A0;
  EXPECT_EQ(Saved(kAldric, saved), RawValues(kAldric));
  EXPECT_EQ(Saved(kOwnKeyPath, {{"Court", own.password, own.color}, aldric[0], aldric[1], aldric[2]}),
            RawValues(kOwnKeyPath));
}

}  // namespace
