#include "ui_harness.h"

#include <gtest/gtest.h>

#include <memory>

#include "channel_colors_app.h"
#include "framework/dialog.h"
#include "resource.h"

namespace chromatte {
namespace test {
namespace {

// Gives message boxes the application's title, as in the program.
const CChannelColorsApp application;

// The colour picker's red, green and blue fields.
constexpr int kPickerRed = 706;
constexpr int kPickerGreen = 707;
constexpr int kPickerBlue = 708;

struct PendingScript {
  win::Dialog* dialog;
  const std::function<void(HWND)>* script;
};
PendingScript* pending_script = nullptr;
ModalAnswers* active_answers = nullptr;
// The dialogs that RunModal runs: answers are for the dialogs they open, so
// answers may be set up before a dialog whose set-up shows messages.
std::vector<const win::Dialog*> dialogs_under_test;

bool IsUnderTest(HWND window) {
  for (const win::Dialog* dialog : dialogs_under_test)
    if (dialog->handle() == window) return true;
  return false;
}

// Waits until the dialog shows: message boxes of its set-up run their own
// loops, which dispatch this timer too, while the dialog is still hidden.
void CALLBACK RunPendingScript(HWND, UINT, UINT_PTR timer, DWORD) {
  if (!pending_script) return;
  const HWND dialog = pending_script->dialog->handle();
  if (!dialog || !IsWindowVisible(dialog)) return;
  KillTimer(nullptr, timer);
  const std::function<void(HWND)>& script = *pending_script->script;
  pending_script = nullptr;
  script(dialog);
  // EndDialog hides a dialog at once; one still showing was left open.
  if (IsWindow(dialog) && IsWindowVisible(dialog)) EndDialog(dialog, -1);
}

bool IsDialogWindow(HWND window) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof name);
  return std::string(name) == "#32770";
}

std::string ItemText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

}  // namespace

INT_PTR RunModal(win::Dialog& dialog, HWND owner, const std::function<void(HWND)>& script) {
  PendingScript run{&dialog, &script};
  pending_script = &run;
  const UINT_PTR timer = SetTimer(nullptr, 0, 0, RunPendingScript);
  std::unique_ptr<ModalAnswers> no_answers;
  if (!active_answers) no_answers.reset(new ModalAnswers);
  dialogs_under_test.push_back(&dialog);
  const INT_PTR result = dialog.DoModal(owner);
  dialogs_under_test.pop_back();
  if (pending_script) {
    KillTimer(nullptr, timer);
    pending_script = nullptr;
  }
  return result;
}

ModalAnswers::ModalAnswers() : previous_(active_answers) {
  active_answers = this;
  hook_ = SetWindowsHookExA(WH_CBT, CbtProc, nullptr, GetCurrentThreadId());
}

ModalAnswers::~ModalAnswers() {
  UnhookWindowsHookEx(hook_);
  active_answers = previous_;
  EXPECT_EQ(0, pending()) << "answers left for dialogs that never opened";
}

void ModalAnswers::Expect(Answer answer) { answers_.push_back(std::move(answer)); }

LRESULT CALLBACK ModalAnswers::CbtProc(int code, WPARAM wparam, LPARAM lparam) {
  ModalAnswers* answers = active_answers;
  const HWND window = reinterpret_cast<HWND>(wparam);
  if (answers && code == HCBT_CREATEWND) {
    const CREATESTRUCTA* create = reinterpret_cast<CBT_CREATEWNDA*>(lparam)->lpcs;
    if (!(create->style & WS_CHILD)) answers->created_.insert(window);
  } else if (answers && code == HCBT_DESTROYWND) {
    answers->created_.erase(window);
    answers->answered_.erase(window);
  } else if (answers && code == HCBT_ACTIVATE && answers->created_.count(window) &&
             !answers->answered_.count(window) && IsDialogWindow(window) && !IsUnderTest(window)) {
    // Answer from the dialog's own loop, once its set-up is over.
    answers->answered_.insert(window);
    SetTimer(window, 1, 0, AnswerNow);
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

void CALLBACK ModalAnswers::AnswerNow(HWND dialog, UINT, UINT_PTR timer, DWORD) {
  KillTimer(dialog, timer);
  ModalAnswers* answers = active_answers;
  if (!answers || answers->answers_.empty()) {
    ADD_FAILURE() << "unexpected dialog \"" << WindowText(dialog) << "\": " << MessageText(dialog);
    EndDialog(dialog, IDCANCEL);
    return;
  }
  const Answer answer = std::move(answers->answers_.front());
  answers->answers_.pop_front();
  answer(dialog);
}

namespace {

// The icon a message box shows, or null.
HICON MessageIcon(HWND box) {
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
      return reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
  }
  return nullptr;
}

}  // namespace

ModalAnswers::Answer AnswerMessage(const std::string& expected_text, int button, LPCSTR icon) {
  return [expected_text, button, icon](HWND box) {
    EXPECT_EQ(expected_text, MessageText(box));
    EXPECT_EQ("Chromatte", WindowText(box));
    // System icons are shared: the box shows the very handle LoadIcon gives.
    if (icon) {
      EXPECT_EQ(LoadIconA(nullptr, icon), MessageIcon(box)) << "icon of \"" << MessageText(box) << "\"";
    }
    if (!GetDlgItem(box, button)) {
      ADD_FAILURE() << "no button " << button << " in \"" << MessageText(box) << "\"";
      EndDialog(box, IDCANCEL);  // ended all the same: a failing test does not hang
      return;
    }
    ClickButton(box, button);
  };
}

ModalAnswers::Answer AnswerColor(COLORREF color, COLORREF* initial) {
  return [color, initial](HWND picker) {
    if (initial) {
      *initial = RGB(GetDlgItemInt(picker, kPickerRed, nullptr, FALSE),
                     GetDlgItemInt(picker, kPickerGreen, nullptr, FALSE),
                     GetDlgItemInt(picker, kPickerBlue, nullptr, FALSE));
    }
    if (color == CLR_INVALID) {
      ClickButton(picker, IDCANCEL);
      return;
    }
    SetDlgItemInt(picker, kPickerRed, GetRValue(color), FALSE);
    SetDlgItemInt(picker, kPickerGreen, GetGValue(color), FALSE);
    SetDlgItemInt(picker, kPickerBlue, GetBValue(color), FALSE);
    ClickButton(picker, IDOK);
  };
}

ModalAnswers::Answer AnswerChannelEdit(const std::string& name, const std::string& password, int button,
                                       std::string* initial_name, std::string* initial_password) {
  return [=](HWND dialog) {
    if (initial_name) *initial_name = ItemText(dialog, IDC_NAME);
    if (initial_password) *initial_password = ItemText(dialog, IDC_PASSWORD);
    SetDlgItemTextA(dialog, IDC_NAME, name.c_str());
    SetDlgItemTextA(dialog, IDC_PASSWORD, password.c_str());
    ClickButton(dialog, button);
  };
}

std::string WindowText(HWND window) {
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(window, &text[0], static_cast<int>(text.size()))));
  return text;
}

std::string MessageText(HWND box) {
  // The text is the box's one static control with text; the icon has none.
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    char name[16] = {};
    GetClassNameA(child, name, sizeof name);
    const std::string text = WindowText(child);
    if (_stricmp(name, "Static") == 0 && !text.empty()) return text;
  }
  return std::string();
}

void ClickButton(HWND dialog, int id) {
  const HWND button = GetDlgItem(dialog, id);
  if (button && IsWindowEnabled(button)) SendMessageA(button, BM_CLICK, 0, 0);
}

namespace {

LPARAM ItemCentre(HWND list, int index) {
  RECT item = {};
  RECT client = {};
  GetClientRect(list, &client);
  SendMessageA(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
  if (item.top < client.top || item.bottom > client.bottom) {
    SendMessageA(list, LB_SETTOPINDEX, index, 0);
    SendMessageA(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
  }
  return MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
}

}  // namespace

void ClickItem(HWND list, int index, WPARAM keys) {
  const LPARAM at = ItemCentre(list, index);
  SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON | keys, at);
  SendMessageA(list, WM_LBUTTONUP, keys, at);
}

void DoubleClickItem(HWND list, int index) {
  const LPARAM at = ItemCentre(list, index);
  SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(list, WM_LBUTTONUP, 0, at);
  SendMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  SendMessageA(list, WM_LBUTTONUP, 0, at);
}

void PressKey(HWND dialog, UINT key) {
  MSG down = {};
  down.hwnd = GetFocus();
  down.message = WM_KEYDOWN;
  down.wParam = key;
  down.lParam = 1;
  if (!IsDialogMessageA(dialog, &down)) DispatchMessageA(&down);
}

void TypeKey(HWND dialog, UINT key) {
  INPUT typed[2] = {};
  for (INPUT& input : typed) {
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = static_cast<WORD>(key);
  }
  typed[1].ki.dwFlags = KEYEVENTF_KEYUP;
  // Typed keys go to the foreground window: never to another program's.
  ASSERT_EQ(dialog, GetForegroundWindow());
  ASSERT_EQ(2u, SendInput(2, typed, sizeof(INPUT)));
  // Windows queues typed keys from a thread of its own.
  for (int waited = 0; !HIWORD(GetQueueStatus(QS_KEY)) && waited < 1000; waited += 10) Sleep(10);
  DeliverPosted(dialog);
}

void DeliverPosted(HWND dialog) {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (IsWindow(dialog) && IsDialogMessageA(dialog, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void SelectComboItem(HWND combo, int index) {
  SendMessageA(combo, CB_SETCURSEL, index, 0);
  SendMessageA(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
}

namespace {

// The texts of a list's or a combo box's items, read with its messages.
std::vector<std::string> ItemTexts(HWND control, UINT get_count, UINT get_length, UINT get_text) {
  std::vector<std::string> texts;
  const int count = static_cast<int>(SendMessageA(control, get_count, 0, 0));
  for (int i = 0; i < count; ++i) {
    std::string text(static_cast<std::size_t>(SendMessageA(control, get_length, i, 0)) + 1, '\0');
    text.resize(static_cast<std::size_t>(SendMessageA(control, get_text, i, reinterpret_cast<LPARAM>(&text[0]))));
    texts.push_back(text);
  }
  return texts;
}

}  // namespace

std::vector<std::string> ListTexts(HWND list) { return ItemTexts(list, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT); }

std::vector<COLORREF> ListColors(HWND list) {
  std::vector<COLORREF> colors;
  const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) colors.push_back(static_cast<COLORREF>(SendMessageA(list, LB_GETITEMDATA, i, 0)));
  return colors;
}

std::vector<int> ListSelection(HWND list) {
  std::vector<int> selected;
  const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i)
    if (SendMessageA(list, LB_GETSEL, i, 0) > 0) selected.push_back(i);
  return selected;
}

std::vector<std::string> ComboTexts(HWND combo) {
  return ItemTexts(combo, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT);
}

bool IsItemEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

}  // namespace test
}  // namespace chromatte
