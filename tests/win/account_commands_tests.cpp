// The account's channel commands, driven through the real main window:
// account box, "Ajouter >>", "<< Enlever" and the double-click recolour.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "channel_colors_dlg.h"
#include "list_checks.h"
#include "registry_fixtures.h"
#include "resource.h"
#include "ui_harness.h"

namespace {

using namespace chromatte::test;
using chromatte::ChannelKeyPath;
using Channels = std::vector<Channel>;
using Texts = std::vector<std::string>;

const std::string kFull =
    "La liste des channels est pleine (512) : 2 channel(s) n'ont pas \xE9t\xE9 ajout\xE9(s).";

struct Window {
  HWND dialog;
  HWND pool;
  HWND channels;
};

// A plain click on the first index, Ctrl-clicks on the others.
void ClickItems(HWND list, std::initializer_list<int> items) {
  WPARAM keys = 0;
  for (int item : items) {
    ClickItem(list, item, keys);
    keys = MK_CONTROL;
  }
}

class AccountCommands : public ::testing::Test {
 protected:
  // Two accounts, Aldric (shown first) and Brune, and the pool's own key.
  void SetUpRegistry(const Channels& pool, const Channels& aldric, const Channels& brune = {}) {
    PutList(registry_, chromatte::kOwnKeyPath, pool);
    registry_.AddKey(ChannelKeyPath("Aldric"));
    registry_.AddKey(ChannelKeyPath("Brune"));
    PutList(registry_, ChannelKeyPath("Aldric"), aldric);
    PutList(registry_, ChannelKeyPath("Brune"), brune);
  }

  void Run(const std::function<void(const Window&)>& script) {
    dialog_.reset(new CChannelColorsDlg(registry_));
    RunModal(*dialog_, nullptr, [&](HWND window) {
      script({window, GetDlgItem(window, IDC_POOL_LIST), GetDlgItem(window, IDC_CHANNEL_LIST)});
    });
  }

  Channels Stored(const std::string& account) {
    chromatte::ChannelTable table;
    LoadChannels(registry_, account, &table);
    return Entries(table);
  }

  const CChannelColorsDlg& dialog() const { return *dialog_; }

  MemoryRegistry registry_;
  std::unique_ptr<CChannelColorsDlg> dialog_;
};

TEST_F(AccountCommands, AddCopiesNewPoolChannelsInPoolOrderOnce) {
  SetUpRegistry({{"Alpha", "pa", 0x10}, {"Bravo", "pb", 0x20}, {"Charlie", "pc", 0x30}, {"Delta", "pd", 0x40}},
                {{"Bravo", "ab", 0x21}, {"Zulu", "az", 0x50}});
  Run([&](const Window& w) {
    ASSERT_EQ((Texts{"Alpha", "Bravo", "Charlie", "Delta", "Zulu"}), ListTexts(w.pool));
    ClickItems(w.pool, {3, 1, 0});
    ClickButton(w.dialog, IDC_ADD);
    const Channels added{{"Bravo", "ab", 0x21}, {"Zulu", "az", 0x50}, {"Alpha", "pa", 0x10}, {"Delta", "pd", 0x40}};
    EXPECT_EQ(added, Entries(dialog().channels()));
    EXPECT_TRUE(ChannelListInStep(dialog(), w.channels));
    EXPECT_TRUE(IsItemEnabled(w.dialog, IDOK));

    ClickButton(w.dialog, IDOK);
    EXPECT_FALSE(IsItemEnabled(w.dialog, IDOK));
    EXPECT_EQ(added, Stored("Aldric"));

    // The pool keeps its selection: a second press finds everything there.
    ClickButton(w.dialog, IDC_ADD);
    EXPECT_EQ((std::vector<int>{0, 1, 3}), ListSelection(w.pool));
    EXPECT_EQ(added, Entries(dialog().channels()));
    EXPECT_TRUE(ChannelListInStep(dialog(), w.channels));
    EXPECT_FALSE(IsItemEnabled(w.dialog, IDOK));
  });
}

TEST_F(AccountCommands, RemoveTakesExactlyTheSelectedPositions) {
  Channels seven;
  for (int i = 0; i < 7; ++i) seven.push_back({"C" + std::to_string(i), "p" + std::to_string(i), 0x100u * i});
  SetUpRegistry({}, seven);
  Run([&](const Window& w) {
    ClickButton(w.dialog, IDC_REMOVE);
    EXPECT_EQ(seven, Entries(dialog().channels()));
    EXPECT_FALSE(IsItemEnabled(w.dialog, IDOK));

    ClickItems(w.channels, {5, 0, 2});
    ClickButton(w.dialog, IDC_REMOVE);
    EXPECT_EQ((Channels{seven[1], seven[3], seven[4], seven[6]}), Entries(dialog().channels()));
    EXPECT_TRUE(ChannelListInStep(dialog(), w.channels));
    EXPECT_TRUE(IsItemEnabled(w.dialog, IDOK));
    EXPECT_EQ(7, dialog().pool().count);
    EXPECT_EQ(7u, ListTexts(w.pool).size());
  });
}

TEST_F(AccountCommands, AccountChangeDropsUnsavedAdditions) {
  SetUpRegistry({{"Pool", "pp", 0x77}}, {{"A1", "", 1}, {"A2", "", 2}}, {{"B1", "b", 3}});
  Run([&](const Window& w) {
    ClickItem(w.pool, 0);
    ClickButton(w.dialog, IDC_ADD);
    ASSERT_EQ((Texts{"A1", "A2", "Pool"}), ListTexts(w.channels));

    // With the keyboard: disabling "Valider" leaves the focus where it is.
    const HWND accounts = GetDlgItem(w.dialog, IDC_ACCOUNT_COMBO);
    SetFocus(accounts);
    TypeKey(w.dialog, VK_DOWN);
    EXPECT_EQ((Channels{{"B1", "b", 3}}), Entries(dialog().channels()));
    EXPECT_TRUE(ChannelListInStep(dialog(), w.channels));
    EXPECT_FALSE(IsItemEnabled(w.dialog, IDOK));
    EXPECT_EQ(accounts, GetFocus());
    EXPECT_EQ((std::vector<int>{0}), ListSelection(w.pool));

    SelectComboItem(accounts, 0);
    EXPECT_EQ((Channels{{"A1", "", 1}, {"A2", "", 2}}), Entries(dialog().channels()));
    EXPECT_TRUE(ChannelListInStep(dialog(), w.channels));
  });
  EXPECT_EQ((Channels{{"A1", "", 1}, {"A2", "", 2}}), Stored("Aldric"));
}

TEST_F(AccountCommands, DoubleClickRecoloursTheChannelOnly) {
  SetUpRegistry({{"Bravo", "pb", 0x999999}}, {{"Alpha", "a", 0x111111}, {"Bravo", "b", 0x222222}});
  Run([&](const Window& w) {
    ModalAnswers answers;
    COLORREF initial = 0;
    answers.Expect(AnswerColor(CLR_INVALID, &initial));
    DoubleClickItem(w.channels, 1);
    EXPECT_EQ(0x222222u, initial);
    EXPECT_EQ(0x222222u, dialog().channels().colors[1]);
    EXPECT_FALSE(IsItemEnabled(w.dialog, IDOK));

    answers.Expect(AnswerColor(0xABCDEF, &initial));
    DoubleClickItem(w.channels, 1);
    EXPECT_EQ((Channels{{"Alpha", "a", 0x111111}, {"Bravo", "b", 0xABCDEF}}), Entries(dialog().channels()));
    EXPECT_TRUE(ChannelListInStep(dialog(), w.channels));
    EXPECT_TRUE(IsItemEnabled(w.dialog, IDOK));
    EXPECT_EQ(0x999999u, dialog().pool().colors[0]);

    ClickButton(w.dialog, IDOK);
    EXPECT_EQ(0xABCDEFu, Stored("Aldric")[1].color);

    // Brune has no channel: a double-click opens nothing.
    SelectComboItem(GetDlgItem(w.dialog, IDC_ACCOUNT_COMBO), 1);
    DoubleClickItem(w.channels, 0);
    EXPECT_EQ(0, dialog().channels().count);
  });
}

TEST_F(AccountCommands, EqualNamesLeaveExactlyTheSelected) {
  SetUpRegistry({{"fox", "pf", 0x05}},
                {{"Echo", "e1", 0x01}, {"echo", "e2", 0x02}, {"Echo", "e3", 0x03}, {"Fox", "f", 0x04}});
  Run([&](const Window& w) {
    ClickItem(w.channels, 2);
    ClickButton(w.dialog, IDC_REMOVE);
    EXPECT_EQ((Channels{{"Echo", "e1", 0x01}, {"echo", "e2", 0x02}, {"Fox", "f", 0x04}}),
              Entries(dialog().channels()));
    EXPECT_TRUE(ChannelListInStep(dialog(), w.channels));

    ClickItem(w.channels, 1);
    ClickButton(w.dialog, IDC_REMOVE);
    EXPECT_EQ((Channels{{"Echo", "e1", 0x01}, {"Fox", "f", 0x04}}), Entries(dialog().channels()));
    EXPECT_TRUE(ChannelListInStep(dialog(), w.channels));

    // A name that differs only in case is another channel.
    ASSERT_EQ("fox", ListTexts(w.pool)[0]);
    ClickItem(w.pool, 0);
    ClickButton(w.dialog, IDC_ADD);
    EXPECT_EQ((Channels{{"Echo", "e1", 0x01}, {"Fox", "f", 0x04}, {"fox", "pf", 0x05}}),
              Entries(dialog().channels()));
    EXPECT_TRUE(ChannelListInStep(dialog(), w.channels));
  });
}

TEST_F(AccountCommands, FullChannelListTakesNoMore) {
  Channels account;
  for (int i = 0; i < 511; ++i) account.push_back({"C" + std::to_string(i), "", 0x10u + i});
  SetUpRegistry({{"New1", "n1", 1}, {"New2", "n2", 2}, {"New3", "n3", 3}, {"New2", "n4", 4}}, account);
  Run([&](const Window& w) {
    ModalAnswers answers;
    // New1 fills the list; New2 (twice in the pool) and New3 are the two
    // channels left out; C0 is there already.
    ClickItem(w.pool, 0);
    ClickItem(w.pool, 4, MK_SHIFT);
    ASSERT_EQ((std::vector<int>{0, 1, 2, 3, 4}), ListSelection(w.pool));
    answers.Expect(AnswerMessage(kFull, IDOK, IDI_HAND));
    ClickButton(w.dialog, IDC_ADD);
    EXPECT_EQ(0, answers.pending());
    EXPECT_EQ(512, dialog().channels().count);
    EXPECT_EQ((Channel{"New1", "n1", 1}), Entries(dialog().channels()).back());
    EXPECT_TRUE(ChannelListInStep(dialog(), w.channels));
    EXPECT_TRUE(IsItemEnabled(w.dialog, IDOK));
  });
}

}  // namespace
