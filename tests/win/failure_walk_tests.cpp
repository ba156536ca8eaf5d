// The main window when the registry fails: every call of a start-up failing
// in turn, each kind of write failing under "Valider" and on leaving, random
// failures through a run, and what the real registry refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>

#include "channel_colors_dlg.h"
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
using namespace chromatte;
using Channels = std::vector<Channel>;
using Texts = std::vector<std::string>;

// The own key and three accounts that share some names.
const char* const kAccounts[] = {"Aldric", "Bors", "Cyd"};
const Channels kOwn{{"Neuf", "n", 0x808000}, {"Raid", "r", 0x0000FF}};
const Channels kStored[] = {{{"Commerce", "", 0x0000FF}, {"Raid", "r2", 0xFF0000}, {"Guilde", "g", 0x00FF00}},
                            {{"Guilde", "g2", 0x00AA00}, {"Zone", "z", 0x00AAAA}},
                            {{"Echo", "e", 0xAA0000}}};
const std::string kAldric = ChannelKeyPath("Aldric");

void Fill(MemoryRegistry& registry) {
  test::PutList(registry, kOwnKeyPath, kOwn);
  for (int i = 0; i < 3; ++i) test::PutList(registry, ChannelKeyPath(kAccounts[i]), kStored[i]);
}

bool IsStored(const Channel& channel) {
  for (const Channels& list : {kOwn, kStored[0], kStored[1], kStored[2]})
    if (std::find(list.begin(), list.end(), channel) != list.end()) return true;
  return false;
}

// Which keys exist, with their values, of all the keys a run may touch.
std::map<std::string, Snapshot> State(const MemoryRegistry& registry) {
  std::map<std::string, Snapshot> state;
  Texts paths{"Software\\Brisquel", kOwnKeyPath, kGameKeyPath};
  for (const char* account : kAccounts) {
    paths.push_back(std::string(kGameKeyPath) + "\\" + account);
    paths.push_back(ChannelKeyPath(account));
  }
  for (const std::string& path : paths)
    if (registry.HasKey(path)) state[path] = test::Values(registry, path);
  return state;
}

// Both lists show their tables.
::testing::AssertionResult InStep(const CChannelColorsDlg& dialog, HWND window) {
  const ::testing::AssertionResult channels = ChannelListInStep(dialog, GetDlgItem(window, IDC_CHANNEL_LIST));
  return channels ? PoolListInStep(dialog, GetDlgItem(window, IDC_POOL_LIST)) : channels;
}

INT_PTR RunWindow(Registry& registry, const std::function<void(HWND, CChannelColorsDlg&)>& script) {
  CChannelColorsDlg dialog(registry);
  return RunModal(dialog, nullptr, [&](HWND window) { script(window, dialog); });
}

TEST(FailureWalk, EachCallOfAStartUpFailingInTurn) {
  MemoryRegistry clean;
  Fill(clean);
  test::CallLog log(clean);
  Channels clean_channels;
  RunWindow(log, [&](HWND, CChannelColorsDlg& dialog) { clean_channels = Entries(dialog.channels()); });
  const auto& calls = log.calls();
  // Calls 0 and 1 open the game key and read its first account: without
  // them the program ends, as the death tests show.
  ASSERT_EQ(kGameKeyPath, calls.at(1).path);
  std::size_t last_open = 0;
  for (std::size_t n = 0; n < calls.size(); ++n)
    if (calls[n].op == RegOp::kOpen) last_open = n;
  ASSERT_EQ(kAldric, calls[last_open].path);

  for (std::size_t n = 2; n < calls.size() && !::testing::Test::HasFailure(); ++n) {
    SCOPED_TRACE("call " + std::to_string(n) + ": " + OpName(calls[n].op) + " " + calls[n].path +
                 " " + calls[n].value);
    MemoryRegistry registry;
    Fill(registry);
    const auto before = State(registry);
    registry.FailCallNumber(n);
    ModalAnswers answers;
    if (calls[n].op == RegOp::kOpen && calls[n].path != kOwnKeyPath)
      answers.Expect(AnswerMessage(n == last_open ? ChannelsUnreadable("Aldric") : kPoolAccountUnreadable, IDOK, IDI_HAND));
    if (calls[n].path == kOwnKeyPath && (calls[n].op == RegOp::kOpen || calls[n].op == RegOp::kQuery))
      answers.Expect(AnswerMessage(kPoolReadInPart, IDOK, IDI_HAND));
    if (calls[n].op == RegOp::kQuery && n > last_open)
      answers.Expect(AnswerMessage(ChannelsReadInPart("Aldric"), IDOK, IDI_HAND));
    bool opened = false;
    RunWindow(registry, [&](HWND window, CChannelColorsDlg& dialog) {
      opened = true;
      EXPECT_EQ(0, answers.pending());
      EXPECT_TRUE(InStep(dialog, window));
      const Channels channels = Entries(dialog.channels());
      EXPECT_TRUE(channels.size() <= clean_channels.size() &&
                  std::equal(channels.begin(), channels.end(), clean_channels.begin()));
      for (const Channel& entry : Entries(dialog.pool())) EXPECT_TRUE(IsStored(entry)) << entry.name;
      EXPECT_EQ(0, registry.OpenHandleCount());
      EXPECT_EQ(before, State(registry));
    });
    EXPECT_TRUE(opened);
  }
}

// "Valider" with the registry's failures set, which `fails` says make the
// save fail: the user is told and the button stays enabled. Then "Valider"
// again without them.
void ValiderThroughFailures(HWND window, MemoryRegistry& registry, ModalAnswers& answers, bool fails) {
  if (fails) answers.Expect(AnswerMessage(kChannelsNotSaved, IDOK, IDI_HAND));
  ClickButton(window, IDOK);
  EXPECT_EQ(0, answers.pending());
  EXPECT_EQ(fails, IsItemEnabled(window, IDOK));
  registry.ClearFailures();
  ClickButton(window, IDOK);
}

TEST(FailureWalk, ValiderAndLeavingTellEachWriteFailureAndTryAgain) {
  const struct {
    const char* what;
    RegOp op;
    const char* value;
  } failures[] = {
      {"open", RegOp::kOpen, ""}, {"delete of a slot past the list", RegOp::kDelete, "Channel300pwd"},
      {"set of a name", RegOp::kSet, "Channel1"}, {"set of a colour", RegOp::kSet, "Channel1color"},
      {"set of a password", RegOp::kSet, "Channel1pwd"}, {"flush", RegOp::kFlush, ""},
      {"close, once all is written", RegOp::kClose, ""},
  };
  for (const auto& failure : failures) {
    SCOPED_TRACE(failure.what);
    const bool fails = failure.op != RegOp::kClose;
    MemoryRegistry registry;
    Fill(registry);
    Channels pool;
    const INT_PTR result = RunWindow(registry, [&](HWND window, CChannelColorsDlg& dialog) {
      ModalAnswers answers;
      ClickItem(GetDlgItem(window, IDC_POOL_LIST), 0);
      ClickButton(window, IDC_ADD);
      answers.Expect(AnswerChannelEdit("Nouveau", "x", IDOK));
      ClickButton(window, IDC_CREATE);
      pool = Entries(dialog.pool());
      const Channels channels = Entries(dialog.channels());
      ASSERT_EQ(0, answers.pending());

      registry.FailOn(failure.op, kAldric, failure.value);
      ValiderThroughFailures(window, registry, answers, fails);
      EXPECT_FALSE(IsItemEnabled(window, IDOK));
      EXPECT_EQ(Saved(kAldric, channels), test::Values(registry, kAldric));

      registry.FailOn(failure.op, kOwnKeyPath, failure.value);
      if (fails) {
        answers.Expect(AnswerMessage(kPoolNotSaved, IDNO, IDI_WARNING));
        ClickButton(window, IDCANCEL);
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_EQ(pool, Entries(dialog.pool()));
        EXPECT_EQ(channels, Entries(dialog.channels()));
        EXPECT_TRUE(InStep(dialog, window));
        registry.ClearFailures();
      }
      ClickButton(window, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ(Saved(kOwnKeyPath, pool), test::Values(registry, kOwnKeyPath));
    EXPECT_EQ(0, registry.OpenHandleCount());
  }
}

// What a start-up shows, as the store reads `registry`, and the stamps it
// notes of the first account's key and of the own key.
struct StartUp {
  Texts messages;
  Channels pool, channels;
  KeyStamp channels_stamp, own_key_stamp;
};
StartUp StoreStartUp(MemoryRegistry registry) {
  PoolRecorder observer;
  AccountList accounts;
  ChannelTable pool, channels;
  PoolOrigin origin;
  KeyStamp stamp;
  LoadAccounts(registry, &accounts);
  LoadPool(registry, accounts, &pool, &origin, observer);
  Texts messages(observer.unreadable.size(), kPoolAccountUnreadable);
  if (origin.own_key.read_in_part) messages.push_back(kPoolReadInPart);
  const ReadResult read = LoadAccountChannels(registry, accounts.names[0], &channels, &stamp);
  if (read == ReadResult::kUnreadable) messages.push_back(ChannelsUnreadable(accounts.names[0]));
  if (read == ReadResult::kInPart) messages.push_back(ChannelsReadInPart(accounts.names[0]));
  return {messages, Entries(pool), Entries(channels), stamp, origin.own_key};
}

// What a save would find of the key, with the stamp of its reading: after a
// start-up that could not read a key whole, or its stamp, it refuses.
SaveResult TrialSave(const MemoryRegistry& registry, const std::string& path, KeyStamp stamp) {
  MemoryRegistry copy = registry;
  static const ChannelTable kEmpty;
  return path == kOwnKeyPath ? SavePool(copy, kEmpty, &stamp, IfChanged::kRefuse)
                             : SaveAccountChannels(copy, "Aldric", kEmpty, &stamp, IfChanged::kRefuse);
}

// What "Valider" asks when the save refuses.
const char* QuestionFor(SaveResult refused) {
  return refused == SaveResult::kChanged      ? kChannelsChanged
         : refused == SaveResult::kReadInPart ? kChannelsUnread
                                              : kChannelsUnverified;
}

// Fails none to two of the coming save's writes and flush; true when any.
// (Its open and its stamp's reading before and after them come first and
// last: the store's tests fail those.)
bool FailSomeSaveCalls(MemoryRegistry& registry, std::mt19937& random) {
  const unsigned writes = 3 * kMaxChannels + 1;
  const unsigned failures = random() % 3;
  for (unsigned i = 0; i < failures; ++i) registry.FailCallNumber(registry.CallCount() + 2 + random() % writes);
  return failures > 0;
}

TEST(FailureWalk, RandomFailuresKeepListsAndTablesInStep) {
  MemoryRegistry probe;
  Fill(probe);
  test::CallLog start_up(probe);
  RunWindow(start_up, [](HWND, CChannelColorsDlg&) {});
  for (unsigned seed = 1; seed <= 25 && !::testing::Test::HasFailure(); ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    MemoryRegistry registry;
    Fill(registry);
    for (unsigned i = 1 + random() % 3; i > 0; --i)
      registry.FailCallNumber(2 + random() % (start_up.calls().size() - 2));
    StartUp expected = StoreStartUp(registry);
    const auto before = State(registry);
    Channels pool;
    bool pool_saved = true;
    const Snapshot own_before = test::Values(registry, kOwnKeyPath);
    {
      ModalAnswers answers;
      for (const std::string& text : expected.messages) answers.Expect(AnswerMessage(text, IDOK, IDI_HAND));
      RunWindow(registry, [&](HWND window, CChannelColorsDlg& dialog) {
        registry.ClearFailures();
        ASSERT_EQ(0, answers.pending());
        EXPECT_EQ(expected.pool, Entries(dialog.pool()));
        EXPECT_EQ(expected.channels, Entries(dialog.channels()));
        EXPECT_TRUE(InStep(dialog, window));
        EXPECT_EQ(before, State(registry));

        if (dialog.pool().count > 0) ClickItem(GetDlgItem(window, IDC_POOL_LIST), random() % dialog.pool().count);
        ClickButton(window, IDC_ADD);
        const bool changed = IsItemEnabled(window, IDOK);
        // A list that could not be read is not written over unasked.
        const SaveResult trial = TrialSave(registry, kAldric, expected.channels_stamp);
        const bool asks = changed && Refused(trial);
        if (asks) answers.Expect(AnswerMessage(QuestionFor(trial), IDYES, IDI_WARNING));
        const bool fails = !asks && FailSomeSaveCalls(registry, random) && changed;
        ValiderThroughFailures(window, registry, answers, fails);
        if (changed) {
          EXPECT_EQ(Saved(kAldric, Entries(dialog.channels())), test::Values(registry, kAldric));
        }
        EXPECT_TRUE(InStep(dialog, window));
        EXPECT_EQ(0, registry.OpenHandleCount());

        // An own key that could not be read whole is not written over.
        if (expected.own_key_stamp.read_in_part) {
          answers.Expect(AnswerMessage(kPoolUnread, IDYES, IDI_WARNING));
          ClickButton(window, IDCANCEL);
          pool_saved = false;
          EXPECT_EQ(own_before, test::Values(registry, kOwnKeyPath));
          return;
        }
        if (!Refused(TrialSave(registry, kOwnKeyPath, expected.own_key_stamp)) && FailSomeSaveCalls(registry, random)) {
          pool_saved = random() % 2;
          answers.Expect(AnswerMessage(kPoolNotSaved, pool_saved ? IDNO : IDYES, IDI_WARNING));
          ClickButton(window, IDCANCEL);
          if (!pool_saved) return;
          EXPECT_TRUE(InStep(dialog, window));
          registry.ClearFailures();
        }
        ClickButton(window, IDCANCEL);
        pool = Entries(dialog.pool());
        for (const Channel& own : kOwn) EXPECT_NE(dialog.pool().count, dialog.pool().FindByName(own.name)) << own.name;
      });
    }
    registry.ClearFailures();
    if (pool_saved) {
      EXPECT_EQ(Saved(kOwnKeyPath, pool), test::Values(registry, kOwnKeyPath));
    }
    EXPECT_EQ(0, registry.OpenHandleCount());

    // The next start reads what was left, a half-written pool included.
    expected = StoreStartUp(registry);
    ModalAnswers answers;
    for (const std::string& text : expected.messages) answers.Expect(AnswerMessage(text, IDOK, IDI_HAND));
    RunWindow(registry, [&](HWND window, CChannelColorsDlg& dialog) {
      EXPECT_EQ(expected.pool, Entries(dialog.pool()));
      EXPECT_TRUE(InStep(dialog, window));
    });
  }
}

// ---------------------------------------------------------------------------
// The real registry, in a scratch HKEY_CURRENT_USER

class RealRegistryFailures : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(scratch_.ok()) << "HKEY_CURRENT_USER is still the user's own"; }

  test::ScratchHkcu scratch_;
  Win32Registry registry_;
};

TEST_F(RealRegistryFailures, ChannelKeyNameTakenByAValue) {
  const std::string aldric = std::string(kGameKeyPath) + "\\Aldric";
  RawSet(aldric, "ChatterChannels", REG_SZ, std::string("pas une cl\xE9", 12));
  RawPutList(ChannelKeyPath("Bors"), {kStored[1][1]});
  ModalAnswers answers;
  answers.Expect(AnswerMessage(kPoolAccountUnreadable, IDOK, IDI_HAND));
  answers.Expect(AnswerMessage(ChannelsUnreadable("Aldric"), IDOK, IDI_HAND));
  RunWindow(registry_, [&](HWND window, CChannelColorsDlg& dialog) {
    EXPECT_EQ(0, dialog.channels().count);
    EXPECT_EQ(Channels{kStored[1][1]}, Entries(dialog.pool()));
    // Keys and values are named apart: "Valider" makes the key beside the value.
    ClickItem(GetDlgItem(window, IDC_POOL_LIST), 0);
    ClickButton(window, IDC_ADD);
    ClickButton(window, IDOK);
    EXPECT_FALSE(IsItemEnabled(window, IDOK));
    EXPECT_EQ(Saved(kAldric, {kStored[1][1]}), RawValues(kAldric));
    EXPECT_EQ(1u, RawValues(aldric).count("ChatterChannels"));
    ClickButton(window, IDCANCEL);
  });
}

TEST_F(RealRegistryFailures, NoKeyCanBeMadeUnderAVolatileKeyUntilItGoes) {
  const std::string aldric = std::string(kGameKeyPath) + "\\Aldric";
  RawSet(kGameKeyPath);
  RawSet(aldric, "", REG_SZ, "", REG_OPTION_VOLATILE);
  RawSet("Software\\Brisquel", "", REG_SZ, "", REG_OPTION_VOLATILE);
  RawPutList(ChannelKeyPath("Bors"), kStored[1]);
  ModalAnswers answers;
  answers.Expect(AnswerMessage(kPoolAccountUnreadable, IDOK, IDI_HAND));
  answers.Expect(AnswerMessage(ChannelsUnreadable("Aldric"), IDOK, IDI_HAND));
  Channels pool;
  const INT_PTR result = RunWindow(registry_, [&](HWND window, CChannelColorsDlg& dialog) {
    ClickItem(GetDlgItem(window, IDC_POOL_LIST), 1);
    ClickButton(window, IDC_ADD);
    answers.Expect(AnswerMessage(kChannelsNotSaved, IDOK, IDI_HAND));
    ClickButton(window, IDOK);
    ASSERT_EQ(0, answers.pending());
    EXPECT_TRUE(IsItemEnabled(window, IDOK));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, aldric.c_str()));
    ClickButton(window, IDOK);
    EXPECT_FALSE(IsItemEnabled(window, IDOK));
    EXPECT_EQ(Saved(kAldric, {kStored[1][1]}), RawValues(kAldric));

    pool = Entries(dialog.pool());
    answers.Expect(AnswerMessage(kPoolNotSaved, IDNO, IDI_WARNING));
    ClickButton(window, IDCANCEL);
    EXPECT_TRUE(IsWindowVisible(window));
    // With no key above the own key, leaving makes both.
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Brisquel"));
    ClickButton(window, IDCANCEL);
  });
  EXPECT_EQ(IDCANCEL, result);
  EXPECT_EQ(Saved(kOwnKeyPath, pool), RawValues(kOwnKeyPath));
}

TEST_F(RealRegistryFailures, ValuesOfTheWrongTypeOrSize) {
  const std::string bors = ChannelKeyPath("Bors"), dword_abc("ABC\0", 4), nine(9, '\x7F');
  // Own key: a 2-byte REG_SZ colour and a REG_DWORD name are taken as bytes;
  // a 9-byte colour ends the list.
  RawPutList(kOwnKeyPath, {kOwn[0], {"Raid", "r", 0}, {"", "x", 0x0A0B0C}, {"Trop", "t", 0}, kStored[2][0]});
  RawSet(kOwnKeyPath, "Channel1color", REG_SZ, std::string("\x11", 2));
  RawSet(kOwnKeyPath, "Channel2", REG_DWORD, dword_abc);
  RawSet(kOwnKeyPath, "Channel3color", REG_BINARY, nine);
  // Aldric: a new name with a 9-byte colour ends both its readings.
  RawPutList(kAldric, {kStored[0][0], {"Zone", "z", 0}, kStored[2][0]});
  RawSet(kAldric, "Channel1color", REG_BINARY, nine);
  // Bors: a known REG_DWORD name is passed over; a 2-byte colour comes in.
  RawPutList(bors, {{"", "", 0}, {"Guilde", "g2", 0}});
  RawSet(bors, "Channel0", REG_DWORD, dword_abc);
  RawSet(bors, "Channel1color", REG_SZ, std::string("\x22", 2));

  const Channels pool{kOwn[0], {"Raid", "r", 0x11}, {"ABC", "x", 0x0A0B0C}, kStored[0][0], {"Guilde", "g2", 0x22}};
  const INT_PTR result = RunWindow(registry_, [&](HWND window, CChannelColorsDlg& dialog) {
    EXPECT_EQ(pool, Entries(dialog.pool()));
    EXPECT_EQ(Channels{kStored[0][0]}, Entries(dialog.channels()));
    EXPECT_TRUE(InStep(dialog, window));
    ClickItem(GetDlgItem(window, IDC_POOL_LIST), 2);
    ClickButton(window, IDC_ADD);
    ClickButton(window, IDOK);
    EXPECT_EQ(Saved(kAldric, {kStored[0][0], pool[2]}), RawValues(kAldric));
    ClickButton(window, IDCANCEL);
  });
  EXPECT_EQ(IDCANCEL, result);
  EXPECT_EQ(Saved(kOwnKeyPath, pool), RawValues(kOwnKeyPath));
}

}  // namespace
