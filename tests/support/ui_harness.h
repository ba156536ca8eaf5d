// Drives real dialogs from inside their own modal loops: the main window
// under test, and the message boxes and dialogs that it opens in turn.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace win { class Dialog; }

namespace chromatte {
namespace test {

// Runs `dialog` modally (owned by `owner`) and calls `script` with its window
// once the modal loop runs. A dialog that the script leaves open is ended
// with -1, and one that opens while no ModalAnswers lives is a failure and
// is cancelled, so that a failing test does not hang. Returns DoModal's
// result.
INT_PTR RunModal(win::Dialog& dialog, HWND owner, const std::function<void(HWND)>& script);

// Answers, in order, the modal dialogs (message boxes, the colour picker,
// the name/password dialog, the About box) that the code under test opens
// while this object lives on the thread, never the dialog that RunModal
// runs, so answers for its set-up's messages can come before it. Each answer
// is called from inside that dialog's modal loop once it is showing, and
// must end it. A dialog with no answer left is a test failure and is
// cancelled.
class ModalAnswers {
 public:
  using Answer = std::function<void(HWND dialog)>;

  ModalAnswers();
  ~ModalAnswers();
  ModalAnswers(const ModalAnswers&) = delete;
  ModalAnswers& operator=(const ModalAnswers&) = delete;

  void Expect(Answer answer);
  // The number of answers not used yet.
  int pending() const { return static_cast<int>(answers_.size()); }

 private:
  static LRESULT CALLBACK CbtProc(int code, WPARAM wparam, LPARAM lparam);
  static void CALLBACK AnswerNow(HWND dialog, UINT, UINT_PTR timer, DWORD);

  HHOOK hook_ = nullptr;
  ModalAnswers* previous_ = nullptr;
  std::deque<Answer> answers_;
  std::set<HWND> created_;
  std::set<HWND> answered_;
};

// Answers for the dialogs Chromatte opens.
// A message box: checks its text (and its icon, a system icon such as
// IDI_QUESTION, when `icon` is given), then presses `button`.
ModalAnswers::Answer AnswerMessage(const std::string& expected_text, int button, LPCSTR icon = nullptr);
// The colour picker: records the colour it starts from, then picks `color`
// (or cancels when `color` is CLR_INVALID).
ModalAnswers::Answer AnswerColor(COLORREF color, COLORREF* initial = nullptr);
// The name/password dialog: records the fields it opens with, types `name`
// and `password`, then presses OK (IDOK) or Cancel (IDCANCEL).
ModalAnswers::Answer AnswerChannelEdit(const std::string& name, const std::string& password, int button,
                                       std::string* initial_name = nullptr,
                                       std::string* initial_password = nullptr);

// What a user does and sees.
std::string WindowText(HWND window);
// The text of a message box.
std::string MessageText(HWND box);
// Presses a push button as a mouse click does (nothing when it is disabled).
void ClickButton(HWND dialog, int id);
// Clicks a list box item, with MK_CONTROL or MK_SHIFT in `keys` to extend
// the selection; the list notifies its parent as for a real click.
void ClickItem(HWND list, int index, WPARAM keys = 0);
void DoubleClickItem(HWND list, int index);
// Presses `key` in the focused control, delivered as the dialog's own loop
// delivers it (IsDialogMessage): Escape cancels, Enter presses a button.
void PressKey(HWND dialog, UINT key);
// Types `key` on the keyboard (SendInput) into the focused control of
// `dialog`, the foreground window, then delivers what it brings: only a
// typed F1 becomes WM_HELP.
void TypeKey(HWND dialog, UINT key);
// Delivers what is waiting in the thread's queue, as the dialog's loop would:
// the close box, for one, posts its IDCANCEL.
void DeliverPosted(HWND dialog);
// Picks item `index` of a drop-down list as the user does, with CBN_SELCHANGE.
void SelectComboItem(HWND combo, int index);

// ANSI reads: Wine's thunk to the Unicode list box takes up to 511
// characters, more than an item of ours ever holds.
std::vector<std::string> ListTexts(HWND list);
std::vector<COLORREF> ListColors(HWND list);
std::vector<int> ListSelection(HWND list);
std::vector<std::string> ComboTexts(HWND combo);
bool IsItemEnabled(HWND dialog, int id);

}  // namespace test
}  // namespace chromatte
