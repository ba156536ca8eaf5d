// Long random runs of user commands on the real window, checked after every
// step against a plain model of the tables, lists, buttons and registry.
// Small name alphabets make equal and case-equal names common; now and then
// a name or password is any bytes 1-255, up to 64 KiB long. Between the
// commands, the game writes an account's key, or a second copy leaving
// writes the own key.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "channel_colors_dlg.h"
#include "list_checks.h"
#include "messages.h"
#include "registry_fixtures.h"
#include "resource.h"
#include "ui_harness.h"

namespace {

using namespace chromatte::test;
using namespace chromatte;
using Channels = std::vector<Channel>;
using Texts = std::vector<std::string>;

// In the registry's order. Dame has no channel key until a save makes it.
const char* const kAccounts[] = {"Aldric", "Bors", "Cyd", "Dame"};
const char* const kNames[] = {"a", "A", "b", "B", "ab", "aB", "\xE9", "\xC9", ""};
const char* const kPasswords[] = {"", "p", "q"};
const COLORREF kColors[] = {0x0000FF, 0x00FF00, 0xFF0000, 0x123456, CChannelColorsDlg::NEW_CHANNEL_COLOR};

int Find(const Channels& table, const std::string& name) {
  for (std::size_t i = 0; i < table.size(); ++i)
    if (table[i].name == name) return static_cast<int>(i);
  return -1;
}

class ModelRun {
 public:
  explicit ModelRun(unsigned seed) : random_(seed) {
    own_ = {{"a", "p", 0x0000FF}, {"B", "", 0x00FF00}, {"a", "q", 0xFF0000}, {AnyText(), AnyText(), 0x123456}};
    saved_["Aldric"] = {{"A", "p", 0x123456}, {"b", "q", 0x0000FF}, {"a", "", 0x00FF00}};
    saved_["Bors"] = {{"ab", "", 0xFF0000}, {"A", "q", 0x00FF00}, {"\xC9", "p", 0x0000FF}};
    saved_["Cyd"] = {};
    test::PutList(registry_, kOwnKeyPath, own_);
    for (const auto& account : saved_) {
      registry_.AddKey(ChannelKeyPath(account.first));
      test::PutList(registry_, ChannelKeyPath(account.first), account.second);
    }
    registry_.AddKey(std::string(kGameKeyPath) + "\\Dame");
  }

  // Windows one after another, each left by "Quitter", until `steps` are done.
  void Run(int steps) {
    while (step_ < steps && !::testing::Test::HasFailure()) {
      ModalAnswers answers;
      answers_ = &answers;
      Start();
      CChannelColorsDlg dialog(registry_);
      dialog_ = &dialog;
      RunModal(dialog, nullptr, [&](HWND window) {
        window_ = window;
        lists_[0] = GetDlgItem(window, IDC_CHANNEL_LIST);
        lists_[1] = GetDlgItem(window, IDC_POOL_LIST);
        note_ = "start";
        for (bool left = false; !left && !::testing::Test::HasFailure(); ++step_) {
          Check();
          if (step_ == steps) break;
          left = Step();
        }
      });
      CheckRegistry();
    }
  }

  std::string History() const {
    std::string history;
    for (std::size_t i = notes_.size() > 12 ? notes_.size() - 12 : 0; i < notes_.size(); ++i)
      history += "\n  " + notes_[i];
    return history;
  }

 private:
  unsigned Pick(std::size_t n) { return static_cast<unsigned>(random_() % n); }
  bool Chance(unsigned percent) { return Pick(100) < percent; }
  // Bytes 1-255, of up to 16 bytes, 300 or 64 KiB.
  std::string AnyText() {
    static const std::size_t kLongest[] = {16, 300, 64 << 10};
    std::string text(Pick(kLongest[Pick(3)] + 1), '\0');
    for (char& c : text) c = static_cast<char>(1 + Pick(255));
    return text;
  }
  std::string Name() { return Chance(90) ? kNames[Pick(9)] : AnyText(); }
  std::string Password() { return Chance(90) ? kPasswords[Pick(3)] : AnyText(); }
  void Note(const std::string& what) { notes_.push_back(note_ = "step " + std::to_string(step_) + ": " + what); }

  // The own key's list, then each account's names that the pool lacks.
  void Start() {
    pool_ = own_;
    for (const char* account : kAccounts) {
      const auto saved = saved_.find(account);
      if (saved == saved_.end()) answers_->Expect(AnswerMessage(kPoolAccountUnreadable, IDOK, IDI_HAND));
      for (std::size_t i = 0; saved != saved_.end() && i < saved->second.size(); ++i)
        if (Find(pool_, saved->second[i].name) < 0) pool_.push_back(saved->second[i]);
    }
    items_.clear();
    for (std::size_t i = 0; i < pool_.size(); ++i) items_.push_back(static_cast<int>(i));
    origin_.clear();
    for (const Channel& entry : pool_) origin_.insert(entry.name);
    selection_[1].clear();
    editer_ = effacer_ = false;
    LoadAccount(0);
  }

  void LoadAccount(int account) {
    account_ = account;
    valider_ = stale_ = false;
    selection_[0].clear();
    const auto saved = saved_.find(kAccounts[account]);
    channels_ = saved == saved_.end() ? Channels() : saved->second;
    if (saved == saved_.end()) answers_->Expect(AnswerMessage(ChannelsUnreadable(kAccounts[account]), IDOK, IDI_HAND));
  }

  // A click on item `item` of the channel list (0) or the pool list (1).
  void Click(int list, int item, WPARAM keys) {
    ClickItem(lists_[list], item, keys);
    std::set<int>& selection = selection_[list];
    if (!keys) selection.clear();
    if (!selection.erase(item)) selection.insert(item);
    if (list == 1) editer_ = effacer_ = true;
  }

  Channel& EntryOf(int list, int item) { return list ? pool_[items_[item]] : channels_[item]; }

  // One random command; true when it left the window.
  bool Step() {
    const int list = static_cast<int>(Pick(2));
    const int count = static_cast<int>(list ? items_.size() : channels_.size());
    const int item = count ? static_cast<int>(Pick(count)) : -1;
    const char* const kList[] = {"channel", "pool"};
    switch (Pick(13)) {
      case 0: case 1: case 2:
        if (item < 0) return Step();
        Note(std::string("click ") + kList[list] + " item " + std::to_string(item));
        Click(list, item, Chance(50) ? MK_CONTROL : 0);
        return false;
      case 3:
        Note("Ajouter");
        ClickButton(window_, IDC_ADD);
        for (int selected : selection_[1]) {
          if (Find(channels_, EntryOf(1, selected).name) >= 0) continue;
          channels_.push_back(EntryOf(1, selected));
          valider_ = true;
        }
        return false;
      case 4:
        Note("Enlever");
        ClickButton(window_, IDC_REMOVE);
        for (auto it = selection_[0].rbegin(); it != selection_[0].rend(); ++it) channels_.erase(channels_.begin() + *it);
        valider_ = valider_ || !selection_[0].empty();
        selection_[0].clear();
        return false;
      case 5: {
        if (item < 0) return Step();
        const COLORREF color = Chance(70) ? kColors[Pick(5)] : CLR_INVALID;
        Note(std::string("recolour ") + kList[list] + " item " + std::to_string(item) + (color == CLR_INVALID ? ", cancelled" : ""));
        COLORREF initial = CLR_INVALID;
        answers_->Expect(AnswerColor(color, &initial));
        DoubleClickItem(lists_[list], item);
        EXPECT_EQ(EntryOf(list, item).color, initial);
        selection_[list] = {item};
        if (list == 1) editer_ = effacer_ = true;
        if (color != CLR_INVALID) EntryOf(list, item).color = color;
        valider_ = valider_ || color != CLR_INVALID;
        return false;
      }
      case 6: Create(); return false;
      case 7: Edit(); return false;
      case 8: Delete(); return false;
      case 9: {
        const int account = static_cast<int>(Pick(4));
        Note(std::string("account ") + kAccounts[account]);
        LoadAccount(account);
        SelectComboItem(GetDlgItem(window_, IDC_ACCOUNT_COMBO), account);
        return false;
      }
      case 10: {
        // Over a key written since it was read, only after a "Oui".
        const int answer = valider_ && stale_ ? (Chance(50) ? IDYES : IDNO) : 0;
        Note(!valider_ ? "Valider, disabled" : !answer ? "Valider" : answer == IDYES ? "Valider, changed, Oui" : "Valider, changed, Non");
        if (answer) answers_->Expect(AnswerMessage(kChannelsChanged, answer, IDI_WARNING));
        ClickButton(window_, IDOK);
        if (valider_ && answer != IDNO) {
          saved_[kAccounts[account_]] = channels_;
          valider_ = stale_ = false;
        }
        CheckRegistry();
        return false;
      }
      case 11:
        AnotherWriter();
        return false;
      default:
        if (Chance(70)) return Step();
        Note("Quitter");
        // What a second copy added to the own key comes in first.
        for (const Channel& channel : own_) {
          if (origin_.count(channel.name) || Find(pool_, channel.name) >= 0) continue;
          pool_.push_back(channel);
          items_.push_back(static_cast<int>(pool_.size()) - 1);
          origin_.insert(channel.name);
        }
        ClickButton(window_, IDCANCEL);
        own_ = pool_;
        return true;
    }
  }

  // The game changes or adds a channel of an account (and may make its
  // key), or a second copy leaving saves its pool with a channel more.
  void AnotherWriter() {
    const Channel channel{Name(), Password(), kColors[Pick(5)]};
    if (Chance(50)) {
      const int account = static_cast<int>(Pick(4));
      Channels& saved = saved_[kAccounts[account]];
      const std::size_t slot = Pick(saved.size() + 1);
      Note(std::string("the game writes ") + kAccounts[account] + " slot " + std::to_string(slot));
      if (slot == saved.size()) saved.push_back(channel);
      else saved[slot] = channel;
      test::PutSlot(registry_, ChannelKeyPath(kAccounts[account]), static_cast<int>(slot), channel);
      stale_ = stale_ || account == account_;
    } else {
      Note("a second copy adds \"" + channel.name.substr(0, 20) + "\" to the own key");
      own_.push_back(channel);
      test::PutSlot(registry_, kOwnKeyPath, static_cast<int>(own_.size()) - 1, channel);
    }
  }

  void Create() {
    const std::string name = Name(), password = Password();
    const int button = Chance(85) ? IDOK : IDCANCEL, answer = Chance(50) ? IDYES : IDNO;
    const int existing = Find(pool_, name);
    const bool asks = button == IDOK && !name.empty() && existing >= 0;
    Note("Cr\xE9" "er \"" + name.substr(0, 20) + "\" " + (button == IDOK ? "OK" : "Cancel") + (asks ? answer == IDYES ? " Yes" : " No" : ""));
    std::string initial = "?";
    answers_->Expect(AnswerChannelEdit(name, password, button, &initial));
    if (asks) answers_->Expect(AnswerMessage(kChannelExists, answer, IDI_QUESTION));
    ClickButton(window_, IDC_CREATE);
    EXPECT_EQ("", initial);
    if (button != IDOK || name.empty()) return;
    if (existing >= 0) {
      if (answer == IDYES) pool_[existing].password = password;
      return;
    }
    pool_.push_back({name, password, CChannelColorsDlg::NEW_CHANNEL_COLOR});
    items_.push_back(static_cast<int>(pool_.size()) - 1);
  }

  void Edit() {
    if (items_.empty()) {
      Note("Editer, empty pool");
      ClickButton(window_, IDC_EDIT);
      return;
    }
    const int item = static_cast<int>(Pick(items_.size())), entry = items_[item];
    const std::string name = Name(), password = Password();
    const int button = Chance(85) ? IDOK : IDCANCEL;
    Click(1, item, Chance(30) ? MK_CONTROL : 0);
    if (!selection_[1].count(item)) {  // a Ctrl+click took it out of the selection
      Note("Editer item " + std::to_string(item) + ", unselected");
      ClickButton(window_, IDC_EDIT);
      return;
    }
    Note("Editer item " + std::to_string(item) + " to \"" + name.substr(0, 20) + "\" " + (button == IDOK ? "OK" : "Cancel"));
    std::string initial_name, initial_password;
    answers_->Expect(AnswerChannelEdit(name, password, button, &initial_name, &initial_password));
    ClickButton(window_, IDC_EDIT);
    EXPECT_EQ(pool_[entry].name, initial_name);
    EXPECT_EQ(pool_[entry].password, initial_password);
    if (button != IDOK) return;
    pool_[entry] = {name, password, pool_[entry].color};
    // Its item goes last, unselected; the items after it move up one.
    items_.erase(items_.begin() + item);
    items_.push_back(entry);
    std::set<int> selection;
    for (int selected : selection_[1])
      if (selected != item) selection.insert(selected > item ? selected - 1 : selected);
    selection_[1] = selection;
  }

  void Delete() {
    const int answer = Chance(75) ? IDYES : IDNO;
    Note(selection_[1].empty() ? "Effacer, nothing selected" : answer == IDYES ? "Effacer, Yes" : "Effacer, No");
    if (!selection_[1].empty()) answers_->Expect(AnswerMessage(kConfirmDelete, answer, IDI_QUESTION));
    ClickButton(window_, IDC_DELETE);
    if (selection_[1].empty() || answer != IDYES) return;
    std::set<int> removed;
    for (int item : selection_[1]) removed.insert(items_[item]);
    Channels pool;
    std::vector<int> items;
    for (std::size_t entry = 0; entry < pool_.size(); ++entry)
      if (!removed.count(static_cast<int>(entry))) pool.push_back(pool_[entry]);
    for (int entry : items_)
      if (!removed.count(entry))
        items.push_back(entry - static_cast<int>(std::distance(removed.begin(), removed.lower_bound(entry))));
    pool_ = pool;
    items_ = items;
    selection_[1].clear();
    effacer_ = !pool_.empty();
  }

  void Check() {
    SCOPED_TRACE("after " + note_);
    EXPECT_EQ(0, answers_->pending()) << "dialogs that did not open";
    EXPECT_EQ(pool_, Entries(dialog_->pool()));
    EXPECT_EQ(channels_, Entries(dialog_->channels()));
    for (int list = 0; list < 2; ++list) {
      const int count = static_cast<int>(list ? items_.size() : channels_.size());
      Texts texts;
      std::vector<COLORREF> colors;
      std::vector<int> entries;
      for (int item = 0; item < count; ++item) {
        texts.push_back(ItemText(EntryOf(list, item).name));
        colors.push_back(EntryOf(list, item).color);
        entries.push_back(list ? dialog_->PoolEntryOfItem(item) : item);
      }
      EXPECT_EQ(list ? items_ : entries, entries) << "pool entries of the items";
      EXPECT_EQ(texts, ListTexts(lists_[list]));
      EXPECT_EQ(colors, ListColors(lists_[list]));
      EXPECT_EQ(std::vector<int>(selection_[list].begin(), selection_[list].end()), ListSelection(lists_[list]));
    }
    EXPECT_EQ(account_, SendMessageA(GetDlgItem(window_, IDC_ACCOUNT_COMBO), CB_GETCURSEL, 0, 0));
    EXPECT_EQ(valider_, IsItemEnabled(window_, IDOK));
    EXPECT_EQ(editer_, IsItemEnabled(window_, IDC_EDIT));
    EXPECT_EQ(effacer_, IsItemEnabled(window_, IDC_DELETE));
    EXPECT_TRUE(IsItemEnabled(window_, IDC_CREATE));
    EXPECT_EQ(0, registry_.OpenHandleCount());
  }

  void CheckRegistry() {
    EXPECT_EQ(test::Saved(kOwnKeyPath, own_), test::Values(registry_, kOwnKeyPath)) << note_;
    for (const char* account : kAccounts) {
      EXPECT_EQ(saved_.count(account) > 0, registry_.HasKey(ChannelKeyPath(account))) << account << ", " << note_;
      if (!saved_.count(account)) continue;
      EXPECT_EQ(test::Saved(ChannelKeyPath(account), saved_[account]), test::Values(registry_, ChannelKeyPath(account)))
          << account << ", " << note_;
    }
  }

  std::mt19937 random_;
  MemoryRegistry registry_;
  // The registry: the own key, and the accounts that have a channel key.
  Channels own_;
  std::map<std::string, Channels> saved_;
  // The window: the tables, the pool entry each pool item shows, the
  // selections (channel list, pool list) and the buttons.
  int account_ = 0;
  Channels pool_, channels_;
  std::vector<int> items_;
  std::set<int> selection_[2];
  bool valider_ = false, editer_ = false, effacer_ = false;
  // The shown account's key was written since it was read or saved.
  bool stale_ = false;
  // The pool's names at start-up and those taken from the own key since.
  std::set<std::string> origin_;

  int step_ = 0;
  std::string note_;
  Texts notes_;
  ModalAnswers* answers_ = nullptr;
  CChannelColorsDlg* dialog_ = nullptr;
  HWND window_ = nullptr;
  HWND lists_[2] = {};
};

TEST(ModelTest, RandomCommandsAgreeWithTheModel) {
  for (unsigned seed : {20240611u, 7u, 1234567u}) {
    ModelRun run(seed);
    run.Run(400);
    if (::testing::Test::HasFailure()) {
      ADD_FAILURE() << "seed " << seed << ", last steps:" << run.History();
      break;
    }
  }
}

}  // namespace
