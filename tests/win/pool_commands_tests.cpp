// The pool commands, driven through the real main window: "Créer",
// "Editer", "Effacer" and the double-click recolour, then a whole session
// from start to leaving and back.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "channel_colors_dlg.h"
#include "list_checks.h"
#include "messages.h"
#include "registry_fixtures.h"
#include "resource.h"
#include "ui_harness.h"

namespace {

using namespace chromatte::test;
using chromatte::ChannelKeyPath;
using Channels = std::vector<Channel>;
using Texts = std::vector<std::string>;

const COLORREF kNew = CChannelColorsDlg::NEW_CHANNEL_COLOR;

struct Window {
  HWND dialog;
  HWND pool;
};

// Selects items first..last at once, as a Shift-click does, with the
// notification the list would send.
void SelectRange(HWND list, int first, int last) {
  SendMessageA(list, LB_SELITEMRANGE, TRUE, MAKELPARAM(first, last));
  SendMessageA(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list));
}

Channels Numbered(int count) {
  Channels channels;
  for (int i = 0; i < count; ++i) channels.push_back({"P" + std::to_string(i), "", 0x100u + i});
  return channels;
}

class PoolCommands : public ::testing::Test {
 protected:
  // The pool's own key and one account, Aldric.
  void SetUpRegistry(const Channels& pool, const Channels& aldric = {}) {
    PutList(registry_, chromatte::kOwnKeyPath, pool);
    registry_.AddKey(ChannelKeyPath("Aldric"));
    PutList(registry_, ChannelKeyPath("Aldric"), aldric);
  }

  void Run(const std::function<void(const Window&)>& script) {
    dialog_.reset(new CChannelColorsDlg(registry_));
    RunModal(*dialog_, nullptr, [&](HWND window) { script({window, GetDlgItem(window, IDC_POOL_LIST)}); });
  }

  const CChannelColorsDlg& dialog() const { return *dialog_; }
  Channels pool() const { return Entries(dialog_->pool()); }

  MemoryRegistry registry_;
  std::unique_ptr<CChannelColorsDlg> dialog_;
};

TEST_F(PoolCommands, CreateAddsOrOverwritesOnlyAsAnswered) {
  const Channels start{{"Alpha", "pa", 0x10}, {"Bravo", "pb", 0x20}};
  SetUpRegistry(start);
  Run([&](const Window& w) {
    ModalAnswers answers;
    ClickItem(w.pool, 0);
    std::string name = "?", password = "?";
    answers.Expect(AnswerChannelEdit("", "x", IDOK, &name, &password));
    ClickButton(w.dialog, IDC_CREATE);
    answers.Expect(AnswerChannelEdit("Zed", "z", IDCANCEL));
    ClickButton(w.dialog, IDC_CREATE);
    EXPECT_EQ("", name);
    EXPECT_EQ("", password);
    EXPECT_EQ(start, pool());

    answers.Expect(AnswerChannelEdit("alpha", "new", IDOK));
    ClickButton(w.dialog, IDC_CREATE);
    EXPECT_EQ((Channels{start[0], start[1], {"alpha", "new", kNew}}), pool());
    EXPECT_EQ(GetDlgItem(w.dialog, IDC_CREATE), GetFocus()) << "ready for the next channel";
    EXPECT_EQ((Texts{"Alpha", "Bravo", "alpha"}), ListTexts(w.pool));
    EXPECT_EQ((std::vector<int>{0}), ListSelection(w.pool));
    EXPECT_TRUE(PoolListInStep(dialog(), w.pool));

    answers.Expect(AnswerChannelEdit("Alpha", "changed", IDOK));
    answers.Expect(AnswerMessage(kChannelExists, IDNO, IDI_QUESTION));
    ClickButton(w.dialog, IDC_CREATE);
    EXPECT_EQ("pa", pool()[0].password);

    answers.Expect(AnswerChannelEdit("Alpha", "changed", IDOK));
    answers.Expect(AnswerMessage(kChannelExists, IDYES, IDI_QUESTION));
    ClickButton(w.dialog, IDC_CREATE);
    EXPECT_EQ((Channels{{"Alpha", "changed", 0x10}, start[1], {"alpha", "new", kNew}}), pool());
    EXPECT_TRUE(PoolListInStep(dialog(), w.pool));
    EXPECT_FALSE(IsItemEnabled(w.dialog, IDOK));
  });
}

TEST_F(PoolCommands, FillingThePoolDisablesCreateUntilADelete) {
  SetUpRegistry(Numbered(511));
  Run([&](const Window& w) {
    ModalAnswers answers;
    ASSERT_TRUE(IsItemEnabled(w.dialog, IDC_CREATE));
    answers.Expect(AnswerChannelEdit("Last", "", IDOK));
    ClickButton(w.dialog, IDC_CREATE);
    EXPECT_EQ(512, dialog().pool().count);
    EXPECT_FALSE(IsItemEnabled(w.dialog, IDC_CREATE));

    ClickItem(w.pool, 0);
    answers.Expect(AnswerMessage(kConfirmDelete, IDNO, IDI_QUESTION));
    ClickButton(w.dialog, IDC_DELETE);
    EXPECT_FALSE(IsItemEnabled(w.dialog, IDC_CREATE));

    answers.Expect(AnswerMessage(kConfirmDelete, IDYES, IDI_QUESTION));
    ClickButton(w.dialog, IDC_DELETE);
    EXPECT_EQ(511, dialog().pool().count);
    EXPECT_EQ("P1", pool()[0].name);
    EXPECT_TRUE(IsItemEnabled(w.dialog, IDC_CREATE));
    EXPECT_TRUE(PoolListInStep(dialog(), w.pool));
  });
}

TEST_F(PoolCommands, FullPoolAtStartCannotCreate) {
  SetUpRegistry(Numbered(512), {{"Extra", "", 1}});
  Run([&](const Window& w) {
    EXPECT_EQ(512, dialog().pool().count);
    EXPECT_FALSE(IsItemEnabled(w.dialog, IDC_CREATE));
  });
}

TEST_F(PoolCommands, CommandsFollowTheItemThatEditMoved) {
  const Channels start{{"Alpha", "pa", 0x0000AA}, {"Bravo", "pb", 0x00BB00},
                       {"Charlie", "pc", 0xCC0000}, {"Delta", "pd", 0x0D0D0D}, {"Echo", "pe", 0x0E0E0E}};
  SetUpRegistry(start);
  Run([&](const Window& w) {
    ModalAnswers answers;
    ClickItem(w.pool, 0);
    answers.Expect(AnswerChannelEdit("Nope", "", IDCANCEL));
    ClickButton(w.dialog, IDC_EDIT);
    EXPECT_EQ(start, pool());
    EXPECT_EQ("Alpha", ListTexts(w.pool)[0]);

    std::string name, password;
    answers.Expect(AnswerChannelEdit("Alpha2", "pa2", IDOK, &name, &password));
    ClickButton(w.dialog, IDC_EDIT);
    EXPECT_EQ("Alpha", name);
    EXPECT_EQ("pa", password);
    EXPECT_EQ((Texts{"Bravo", "Charlie", "Delta", "Echo", "Alpha2"}), ListTexts(w.pool));
    EXPECT_EQ((Channel{"Alpha2", "pa2", 0x0000AA}), pool()[0]);
    EXPECT_EQ(0, dialog().PoolEntryOfItem(4));
    EXPECT_TRUE(PoolListInStep(dialog(), w.pool));
    ClickButton(w.dialog, IDC_EDIT);  // the caret stays on no selected item: no dialog

    COLORREF initial = 0;
    answers.Expect(AnswerColor(CLR_INVALID, &initial));
    DoubleClickItem(w.pool, 4);
    EXPECT_EQ(0x0000AAu, initial);
    EXPECT_FALSE(IsItemEnabled(w.dialog, IDOK));

    answers.Expect(AnswerColor(0xC0FFEE, &initial));
    DoubleClickItem(w.pool, 4);
    EXPECT_EQ(0x0000AAu, initial);
    EXPECT_EQ(0xC0FFEEu, ShownSwatchColor(w.pool, 4)) << "the list repaints at once";
    EXPECT_EQ((Channels{{"Alpha2", "pa2", 0xC0FFEE}, start[1], start[2], start[3], start[4]}), pool());
    EXPECT_TRUE(PoolListInStep(dialog(), w.pool));
    EXPECT_TRUE(IsItemEnabled(w.dialog, IDOK));

    ClickItem(w.pool, 1);
    answers.Expect(AnswerMessage(kConfirmDelete, IDYES, IDI_QUESTION));
    ClickButton(w.dialog, IDC_DELETE);
    EXPECT_EQ((Channels{{"Alpha2", "pa2", 0xC0FFEE}, start[1], start[3], start[4]}), pool());
    EXPECT_EQ((Texts{"Bravo", "Delta", "Echo", "Alpha2"}), ListTexts(w.pool));
    EXPECT_TRUE(PoolListInStep(dialog(), w.pool));

    ClickItem(w.pool, 3);
    ClickButton(w.dialog, IDC_ADD);
    EXPECT_EQ((Channels{{"Alpha2", "pa2", 0xC0FFEE}}), Entries(dialog().channels()));
  });
}

TEST_F(PoolCommands, DeleteAsksThenRemovesTheSelection) {
  const Channels start = Numbered(6);
  SetUpRegistry(start);
  Run([&](const Window& w) {
    ModalAnswers answers;
    EXPECT_FALSE(IsItemEnabled(w.dialog, IDC_DELETE));
    EXPECT_FALSE(IsItemEnabled(w.dialog, IDC_EDIT));
    ClickItem(w.pool, 0);
    ClickItem(w.pool, 0, MK_CONTROL);
    ASSERT_TRUE(ListSelection(w.pool).empty());
    EXPECT_TRUE(IsItemEnabled(w.dialog, IDC_EDIT));
    ClickButton(w.dialog, IDC_DELETE);  // nothing selected: no question
    ClickButton(w.dialog, IDC_EDIT);    // the caret item unselected: no dialog
    EXPECT_EQ(start, pool());

    ClickItem(w.pool, 1);
    ClickItem(w.pool, 3, MK_CONTROL);
    answers.Expect(AnswerMessage(kConfirmDelete, IDNO, IDI_QUESTION));
    ClickButton(w.dialog, IDC_DELETE);
    EXPECT_EQ(start, pool());
    EXPECT_EQ((std::vector<int>{1, 3}), ListSelection(w.pool));

    answers.Expect(AnswerMessage(kConfirmDelete, IDYES, IDI_QUESTION));
    ClickButton(w.dialog, IDC_DELETE);
    EXPECT_EQ((Channels{start[0], start[2], start[4], start[5]}), pool());
    EXPECT_TRUE(PoolListInStep(dialog(), w.pool));
    EXPECT_TRUE(IsItemEnabled(w.dialog, IDC_DELETE));
    ClickButton(w.dialog, IDC_EDIT);  // nothing selected after the deletion: no dialog

    SelectRange(w.pool, 0, 3);
    answers.Expect(AnswerMessage(kConfirmDelete, IDYES, IDI_QUESTION));
    ClickButton(w.dialog, IDC_DELETE);
    EXPECT_EQ(0, dialog().pool().count);
    EXPECT_TRUE(ListTexts(w.pool).empty());
    EXPECT_FALSE(IsItemEnabled(w.dialog, IDC_DELETE));
    // The focus came back to "Effacer" after the question, and moved on.
    EXPECT_TRUE(IsChild(w.dialog, GetFocus()) && IsWindowEnabled(GetFocus()));
    EXPECT_TRUE(IsItemEnabled(w.dialog, IDC_EDIT));
    EXPECT_TRUE(IsItemEnabled(w.dialog, IDC_CREATE));

    // Nothing left to edit or recolour: no dialog opens.
    ClickButton(w.dialog, IDC_EDIT);
    DoubleClickItem(w.pool, 0);
    EXPECT_EQ(0, dialog().pool().count);
    EXPECT_TRUE(ListTexts(w.pool).empty());
  });
}

TEST_F(PoolCommands, EqualNamesReachTheEntryTheItemShows) {
  SetUpRegistry({{"Echo", "e1", 0x01}, {"echo", "e2", 0x02}, {"Echo", "e3", 0x03}, {"Fox", "f", 0x04}});
  Run([&](const Window& w) {
    ModalAnswers answers;
    COLORREF initial = 0;
    answers.Expect(AnswerColor(0x77, &initial));
    DoubleClickItem(w.pool, 2);
    EXPECT_EQ(0x03u, initial);
    EXPECT_EQ((Channels{{"Echo", "e1", 0x01}, {"echo", "e2", 0x02}, {"Echo", "e3", 0x77}, {"Fox", "f", 0x04}}),
              pool());
    ClickItem(w.pool, 2);
    ClickButton(w.dialog, IDC_ADD);
    EXPECT_EQ((Channels{{"Echo", "e3", 0x77}}), Entries(dialog().channels()));

    std::string password;
    answers.Expect(AnswerChannelEdit("Echo", "e3b", IDOK, nullptr, &password));
    ClickButton(w.dialog, IDC_EDIT);
    EXPECT_EQ("e3", password);
    EXPECT_EQ((Texts{"Echo", "echo", "Fox", "Echo"}), ListTexts(w.pool));
    EXPECT_TRUE(PoolListInStep(dialog(), w.pool));

    ClickItem(w.pool, 0);
    answers.Expect(AnswerMessage(kConfirmDelete, IDYES, IDI_QUESTION));
    ClickButton(w.dialog, IDC_DELETE);
    EXPECT_EQ((Channels{{"echo", "e2", 0x02}, {"Echo", "e3b", 0x77}, {"Fox", "f", 0x04}}), pool());
    EXPECT_TRUE(PoolListInStep(dialog(), w.pool));

    ClickItem(w.pool, 0);
    answers.Expect(AnswerMessage(kConfirmDelete, IDYES, IDI_QUESTION));
    ClickButton(w.dialog, IDC_DELETE);
    EXPECT_EQ((Channels{{"Echo", "e3b", 0x77}, {"Fox", "f", 0x04}}), pool());
    EXPECT_EQ((Texts{"Fox", "Echo"}), ListTexts(w.pool));
    EXPECT_TRUE(PoolListInStep(dialog(), w.pool));
  });
}

// Start, change both lists, save the account, leave, and start again on
// the same registry.
TEST_F(PoolCommands, SessionIsSavedAndShownAgain) {
  SetUpRegistry({{"Alpha", "pa", 0x0A}, {"Bravo", "pb", 0x0B}, {"Charlie", "pc", 0x0C}}, {{"Delta", "ad", 0x0D}});
  Run([&](const Window& w) {
    ModalAnswers answers;
    ClickItem(w.pool, 0);
    answers.Expect(AnswerChannelEdit("Alpha2", "np", IDOK));
    ClickButton(w.dialog, IDC_EDIT);
    answers.Expect(AnswerChannelEdit("Echo", "pe", IDOK));
    ClickButton(w.dialog, IDC_CREATE);
    ASSERT_EQ((Texts{"Bravo", "Charlie", "Delta", "Alpha2", "Echo"}), ListTexts(w.pool));
    answers.Expect(AnswerColor(0x123456));
    DoubleClickItem(w.pool, 3);
    ClickItem(w.pool, 1);
    answers.Expect(AnswerMessage(kConfirmDelete, IDYES, IDI_QUESTION));
    ClickButton(w.dialog, IDC_DELETE);

    ClickItem(w.pool, 2);
    ClickItem(w.pool, 3, MK_CONTROL);
    ClickButton(w.dialog, IDC_ADD);
    ClickItem(GetDlgItem(w.dialog, IDC_CHANNEL_LIST), 0);
    ClickButton(w.dialog, IDC_REMOVE);
    ClickButton(w.dialog, IDOK);
    ClickButton(w.dialog, IDCANCEL);
  });

  const Channels pool{{"Alpha2", "np", 0x123456}, {"Bravo", "pb", 0x0B}, {"Delta", "ad", 0x0D}, {"Echo", "pe", kNew}};
  const Channels account{pool[0], pool[3]};
  Run([&](const Window& w) {
    EXPECT_EQ(pool, Entries(dialog().pool()));
    EXPECT_EQ((Texts{"Alpha2", "Bravo", "Delta", "Echo"}), ListTexts(w.pool));
    EXPECT_TRUE(PoolListInStep(dialog(), w.pool));
    EXPECT_EQ(account, Entries(dialog().channels()));
    EXPECT_EQ((Texts{"Alpha2", "Echo"}), ListTexts(GetDlgItem(w.dialog, IDC_CHANNEL_LIST)));
    EXPECT_FALSE(IsItemEnabled(w.dialog, IDOK));
  });
}

}  // namespace
