// Every registry call of a load or a save is made to fail in turn: nothing
// may crash or leak a handle, the failure must be reported, and nothing
// beyond what the failing call itself touches may be lost. Then every
// allocation of each store operation, in the same way.
#include <algorithm>
#include <cstdlib>
#include <new>
#include <set>
#include <tuple>

#include <gtest/gtest.h>

#include "allocation_failures.h"
#include "registry_fixtures.h"

namespace chromatte {
namespace test {
namespace {

const std::string kAccount = "Joueur";

int SlotOf(const CallLog::Call& call) { return std::atoi(call.value.c_str() + 7); }  // after "Channel"

// The key holds an older, longer list and a value of its own.
void SetUpSavedKey(MemoryRegistry& registry) {
  const std::string key = ChannelKeyPath(kAccount);
  PutList(registry, key, {{"old0", "", 7}, {"old1", "x", 8}, {"old2", "y", 9}, {"old3", "z", 10}});
  registry.PutString(key, "Version", "1");
}

// The save as "Valider" makes it, after a load noted the key's stamp.
TEST(InjectedFailures, SaveLosesOnlyWhatTheFailingCallTouches) {
  const std::string key = ChannelKeyPath(kAccount);
  ChannelTable table;
  Fill(&table, {{"n0", "p0", 1}, {"", "", 2}});
  MemoryRegistry pristine;
  SetUpSavedKey(pristine);
  KeyStamp loaded;
  ChannelTable ignored;
  ASSERT_EQ(ReadResult::kWhole, LoadAccountChannels(pristine, kAccount, &ignored, &loaded));
  const Snapshot before = Values(pristine, key);
  MemoryRegistry clean = pristine;
  CallLog log(clean);
  KeyStamp stamp = loaded;
  ASSERT_EQ(SaveResult::kSaved, SaveAccountChannels(log, kAccount, table, &stamp, IfChanged::kRefuse));
  const Snapshot after = Values(clean, key);

  for (std::size_t n = 0; n < log.calls().size(); ++n) {
    const CallLog::Call& call = log.calls()[n];
    SCOPED_TRACE("failing call " + std::to_string(n) + " on " + call.value);
    MemoryRegistry registry = pristine;
    registry.FailCallNumber(registry.CallCount() + n);
    stamp = loaded;
    const SaveResult saved = SaveAccountChannels(registry, kAccount, table, &stamp, IfChanged::kRefuse);

    // Before the writes, the key cannot be opened or its stamp read: nothing
    // is written. After them, a stamp that cannot be read makes the next
    // save ask, rather than write over what it cannot vouch for.
    const bool checking = n < 2;
    const bool noting = call.op == RegOp::kQueryInfo && !checking;
    Snapshot expected = checking ? before : after;
    if (call.op == RegOp::kSet || call.op == RegOp::kDelete) {  // that one value stays as it was
      expected.erase(call.value);
      if (before.count(call.value)) expected[call.value] = before.at(call.value);
    }
    ASSERT_EQ(call.op == RegOp::kClose || noting, saved == SaveResult::kSaved) << "a failed close alone goes unreported";
    if (checking) {
      ASSERT_EQ(call.op == RegOp::kOpen ? SaveResult::kFailed : SaveResult::kUnverified, saved);
    }
    ASSERT_EQ(expected, Values(registry, key));
    ASSERT_EQ(0, registry.OpenHandleCount());
    if (noting) {
      ASSERT_EQ(SaveResult::kUnverified, SaveAccountChannels(registry, kAccount, table, &stamp, IfChanged::kRefuse));
    }
  }
}

// A save cut off at any call (the process killed, the power gone) leaves at
// least as many complete slots from 0 as the shorter of the two lists.
TEST(InjectedFailures, SaveCutOffAnywhereKeepsTheShorterListReadable) {
  auto numbered = [](int count, const char* prefix) {
    std::vector<Channel> list;
    for (int i = 0; i < count; ++i) list.push_back({prefix + std::to_string(i), "p", static_cast<ColorRef>(i)});
    return list;
  };
  const struct {
    int old_count, new_count;
  } cases[] = {{4, 2}, {2, 4}, {kMaxChannels, kMaxChannels}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.old_count) + " channels saved over " + std::to_string(c.new_count));
    MemoryRegistry clean;
    PutList(clean, ChannelKeyPath(kAccount), numbered(c.old_count, "old"));
    ChannelTable table;
    Fill(&table, numbered(c.new_count, "new"));
    const std::uint64_t calls = [&] {
      MemoryRegistry registry = clean;
      SaveOver(registry, kAccount, table);
      return registry.CallCount();
    }();
    // Every call of the short saves; some sixty cut points of the long one,
    // which fall before each of a slot's three values in turn.
    const std::uint64_t step = 1 + calls / 64;
    for (std::uint64_t n = 0; n <= calls; n += step) {
      MemoryRegistry registry = clean;
      registry.StopAtCallNumber(n);
      SaveOver(registry, kAccount, table);
      registry.ClearFailures();
      ChannelTable read;
      LoadChannels(registry, kAccount, &read);
      ASSERT_GE(read.count, std::min(c.old_count, c.new_count)) << "cut off at call " << n;
    }
  }
}

// The pool goes through the same writer; this checks its key and its result.
TEST(InjectedFailures, PoolSaveReportsEachKindOfFailure) {
  ChannelTable pool;
  Fill(&pool, {{"n0", "p0", 1}, {"n1", "", 2}});
  {
    MemoryRegistry registry;  // first run: a failed create makes no key
    registry.FailOn(RegOp::kCreate);
    EXPECT_FALSE(SavePoolOver(registry, pool));
    EXPECT_FALSE(registry.HasKey("Software\\Brisquel"));
  }
  for (RegOp op : {RegOp::kDelete, RegOp::kSet, RegOp::kFlush}) {
    MemoryRegistry registry;
    // Slots below the count are written, the others deleted.
    registry.FailOn(op, kOwnKeyPath, op == RegOp::kFlush ? "" : op == RegOp::kDelete ? "Channel5color" : "Channel1color");
    EXPECT_FALSE(SavePoolOver(registry, pool));
    EXPECT_EQ(op == RegOp::kSet ? 5u : 6u, registry.ValueNames(kOwnKeyPath).size());
    EXPECT_EQ(0, registry.OpenHandleCount());
  }
  // A value that is not there is the normal case for a deletion.
  MemoryRegistry registry;
  registry.FailOn(RegOp::kDelete, "", "", kRegFileNotFound);
  EXPECT_TRUE(SavePoolOver(registry, pool));
}

TEST(InjectedFailures, LoadAccountsReportsWhatItCouldRead) {
  MemoryRegistry clean;
  for (const char* name : {"a", "b", "c"}) clean.AddKey(std::string(kGameKeyPath) + "\\" + name);
  const MemoryRegistry pristine = clean;  // copied before any call is counted
  CallLog log(clean);
  AccountList accounts;
  ASSERT_TRUE(LoadAccounts(log, &accounts));

  int enums = 0;
  for (std::size_t n = 0; n < log.calls().size(); ++n) {
    SCOPED_TRACE("failing call " + std::to_string(n));
    const RegOp op = log.calls()[n].op;
    MemoryRegistry registry = pristine;
    registry.FailCallNumber(n);
    const bool loaded = LoadAccounts(registry, &accounts);
    EXPECT_EQ(op != RegOp::kOpen, loaded);
    EXPECT_EQ(op == RegOp::kOpen ? 0 : op == RegOp::kEnum ? enums : 3, accounts.count);
    EXPECT_EQ(0, registry.OpenHandleCount());
    if (op == RegOp::kEnum) ++enums;
  }
}

// A name over 255 bytes takes two queries: either may fail.
TEST(InjectedFailures, LoadAccountChannelsKeepsTheSlotsBeforeTheFailure) {
  const std::vector<Channel> list = {{"c0", "p0", 1}, {std::string(300, 'n'), "", 2}, {"c2", "p2", 3}};
  MemoryRegistry clean;
  PutList(clean, ChannelKeyPath(kAccount), list);
  const MemoryRegistry pristine = clean;
  CallLog log(clean);
  ChannelTable table;
  ASSERT_TRUE(LoadChannels(log, kAccount, &table));

  for (std::size_t n = 0; n < log.calls().size(); ++n) {
    const CallLog::Call& call = log.calls()[n];
    SCOPED_TRACE("failing call " + std::to_string(n) + " on " + call.value);
    MemoryRegistry registry = pristine;
    registry.FailCallNumber(n);
    KeyStamp stamp;
    const ReadResult read = call.op == RegOp::kOpen    ? ReadResult::kUnreadable
                            : call.op == RegOp::kQuery ? ReadResult::kInPart
                                                       : ReadResult::kWhole;
    EXPECT_EQ(read, LoadAccountChannels(registry, kAccount, &table, &stamp));
    std::size_t kept = list.size();
    if (call.op == RegOp::kOpen) kept = 0;
    if (call.op == RegOp::kQuery) kept = SlotOf(call);
    EXPECT_EQ(std::vector<Channel>(list.begin(), list.begin() + kept), Entries(table));
    EXPECT_EQ(0, registry.OpenHandleCount());
    if (read != ReadResult::kWhole) {
      EXPECT_EQ(SaveResult::kReadInPart, SaveAccountChannels(registry, kAccount, table, &stamp, IfChanged::kRefuse));
    }
  }
}

struct Tally : PoolLoadObserver {
  void OnPoolEntryAdded(int index) override {
    EXPECT_EQ(static_cast<int>(calls_at_add.size()), index);
    calls_at_add.push_back(log ? log->calls().size() : 0);
  }
  void OnAccountUnreadable(const std::string& account) override { unreadable.push_back(account); }

  const CallLog* log = nullptr;
  std::vector<std::size_t> calls_at_add;  // calls made before each entry was added
  std::vector<std::string> unreadable;
};

TEST(InjectedFailures, LoadPoolLosesOnlyTheSourceOfTheFailingCall) {
  const std::map<std::string, std::vector<Channel>> sources = {
      {kOwnKeyPath, {{"o0", "", 1}, {"shared", "own", 2}}},
      {ChannelKeyPath("A"), {{"a0", "pa", 3}, {"shared", "acc", 4}, {"a1", "", 5}}},
      {ChannelKeyPath("B"), {{"a0", "pb", 6}, {"b0", "", 7}}},
  };
  MemoryRegistry clean;
  std::vector<Channel> stored;
  for (const auto& source : sources) {
    PutList(clean, source.first, source.second);
    stored.insert(stored.end(), source.second.begin(), source.second.end());
  }
  AccountList accounts;
  accounts.names[0] = "A";
  accounts.names[1] = "B";
  accounts.count = 2;
  const MemoryRegistry pristine = clean;
  CallLog log(clean);
  Tally clean_tally;
  clean_tally.log = &log;
  ChannelTable clean_pool;
  LoadPoolOnce(log, accounts, &clean_pool, clean_tally);
  ASSERT_TRUE(clean_tally.unreadable.empty());
  const std::vector<Channel> clean_entries = Entries(clean_pool);

  for (std::size_t n = 0; n < log.calls().size(); ++n) {
    const CallLog::Call& call = log.calls()[n];
    SCOPED_TRACE("failing call " + std::to_string(n) + " on " + call.path + " " + call.value);
    MemoryRegistry registry = pristine;
    registry.FailCallNumber(n);
    ChannelTable pool;
    Tally tally;
    LoadPoolOnce(registry, accounts, &pool, tally);
    EXPECT_EQ(0, registry.OpenHandleCount());
    EXPECT_EQ(pool.count, static_cast<int>(tally.calls_at_add.size()));

    // Reported exactly when an account's key could not be opened.
    std::vector<std::string> unreadable;
    for (const char* account : {"A", "B"})
      if (call.op == RegOp::kOpen && call.path == ChannelKeyPath(account)) unreadable.push_back(account);
    EXPECT_EQ(unreadable, tally.unreadable);

    const std::vector<Channel> entries = Entries(pool);
    if (call.op == RegOp::kClose) {
      EXPECT_EQ(clean_entries, entries) << "a failed close loses nothing";
    }
    // What was added before the failing call stays as it was.
    std::size_t before = 0;
    while (before < clean_tally.calls_at_add.size() && clean_tally.calls_at_add[before] <= n) ++before;
    ASSERT_GE(entries.size(), before);
    EXPECT_EQ(std::vector<Channel>(clean_entries.begin(), clean_entries.begin() + before),
              std::vector<Channel>(entries.begin(), entries.begin() + before));
    // Every entry is a stored channel, and every other source is merged.
    for (const Channel& entry : entries)
      EXPECT_NE(stored.end(), std::find(stored.begin(), stored.end(), entry)) << entry.name;
    for (const auto& source : sources) {
      if (source.first == call.path) continue;
      for (const Channel& channel : source.second) EXPECT_NE(pool.count, pool.FindByName(channel.name)) << channel.name;
    }
  }
}

// What Chromatte holds while it runs, as the store left it.
struct Session {
  AccountList accounts;
  std::string account;  // the one whose channels are shown
  ChannelTable pool, channels;
  PoolOrigin origin;
  KeyStamp stamp;
  PoolRecorder observer;
  bool merged = false;
  int lost = 0;
  SaveResult saved = SaveResult::kFailed;
};

auto Outcome(const Session& run) {
  const auto stamp = [](const KeyStamp& s) { return std::make_tuple(s.exists, s.last_write, s.read_in_part); };
  return std::make_tuple(run.account, Entries(run.pool), Entries(run.channels), stamp(run.origin.own_key),
                         std::set<std::string>(run.origin.names.begin(), run.origin.names.end()), stamp(run.stamp),
                         run.merged, run.lost, run.saved);
}

// The names of a key's list, as the next start-up reads them.
std::set<std::string> Names(const ChannelTable& table) { return {table.names, table.names + table.count}; }

std::set<std::string> OwnKeyNames(MemoryRegistry registry) {
  registry.ClearFailures();
  ChannelTable pool;
  PoolRecorder ignored;
  LoadPoolOnce(registry, AccountList(), &pool, ignored);
  return Names(pool);
}

std::set<std::string> AccountNames(MemoryRegistry registry, const std::string& account) {
  registry.ClearFailures();
  ChannelTable channels;
  LoadChannels(registry, account, &channels);
  return Names(channels);
}

// Each allocation of a start-up's reads, a reload, a merge and a save fails
// in turn, as SQLite tests its own: the operation either says that memory ran
// out or ends exactly as without the failure, and the saves that follow
// write no key with fewer channels than it held, but those the user removed.
TEST(AllocationFailures, EachAllocationOfEachOperationFailingInTurn) {
  const std::string kLong(300, 'L'), kLonger(280, 'M');  // beyond a reader's buffer, beyond a short string's
  const Channel removed{"Commerce", "", 4};  // by the user, from Aldric's list, before the save
  MemoryRegistry clean;
  PutList(clean, kOwnKeyPath, {{"Neuf", "n", 1}, {kLong, "l", 2}, {"Perso", "p", 3}});
  PutList(clean, ChannelKeyPath("Aldric"), {removed, {"Guilde", "g", 5}, {kLonger, "m", 6}});
  PutList(clean, ChannelKeyPath("Bors"), {{"Guilde", "g2", 7}, {kLong, "l2", 8}, {"Raid", "r", 9}, {"Neuf", "", 10}});
  const std::vector<Channel> theirs = {{"Neuf", "n", 1}, {"Autre", "a", 11}, {kLonger + "!", "x", 12}};

  const auto start_up = [](Registry& registry, Session& run) {
    LoadAccounts(registry, &run.accounts);
    LoadPool(registry, run.accounts, &run.pool, &run.origin, run.observer);
    run.account = run.accounts.names[0];
    LoadAccountChannels(registry, run.account, &run.channels, &run.stamp);
  };
  const struct {
    const char* name;
    std::function<void(MemoryRegistry&, Session&)> before;
    std::function<void(Registry&, Session&)> operation;
    bool removes;  // `removed`
  } operations[] = {
      {"start-up", [](MemoryRegistry&, Session&) {}, start_up, false},
      {"reload", start_up,
       [](Registry& registry, Session& run) {
         run.account = "Bors";
         LoadAccountChannels(registry, run.account, &run.channels, &run.stamp);
       },
       false},
      {"merge of a second copy's pool",
       [&](MemoryRegistry& registry, Session& run) {
         start_up(registry, run);
         PutList(registry, kOwnKeyPath, theirs);
       },
       [](Registry& registry, Session& run) {
         run.merged = MergeOwnKeyChanges(registry, &run.pool, &run.origin, run.observer, &run.lost);
       },
       false},
      {"save",
       [&](MemoryRegistry& registry, Session& run) {
         start_up(registry, run);
         std::bitset<kMaxChannels> marked;
         marked.set(run.channels.FindByName(removed.name));
         run.channels.RemoveMarked(marked);
       },
       [](Registry& registry, Session& run) {
         run.saved = SaveAccountChannels(registry, run.account, run.channels, &run.stamp, IfChanged::kRefuse);
       },
       true},
  };
  for (const auto& op : operations) {
    SCOPED_TRACE(op.name);
    MemoryRegistry reference_registry = clean;
    Session reference;
    op.before(reference_registry, reference);
    std::uint64_t allocations = 0;
    {
      const auto failing = FailingAllocation::Number(0);
      op.operation(reference_registry, reference);
      allocations = failing.counted();
    }
    ASSERT_GT(allocations, 0u) << "the program's operator new is not the replaced one";

    for (std::uint64_t k = 1; k <= allocations; ++k) {
      SCOPED_TRACE("allocation " + std::to_string(k) + " of " + std::to_string(allocations));
      MemoryRegistry registry = clean;
      Session run;
      op.before(registry, run);
      const std::set<std::string> own_before = OwnKeyNames(registry);
      const std::set<std::string> aldric_before = AccountNames(registry, "Aldric");
      const std::set<std::string> bors_before = AccountNames(registry, "Bors");
      bool failed = false, ran_out = false;
      {
        const auto failing = FailingAllocation::Number(k);
        try {
          op.operation(registry, run);
        } catch (const std::bad_alloc&) {
          ran_out = true;
        }
        failed = failing.failed();
      }
      ASSERT_TRUE(failed);
      EXPECT_EQ(0, registry.OpenHandleCount());
      if (!ran_out) {
        EXPECT_EQ(Outcome(reference), Outcome(run));
        EXPECT_EQ(Values(reference_registry, ChannelKeyPath(run.account)), Values(registry, ChannelKeyPath(run.account)));
      }
      // The saves "Valider" and leaving make first.
      SaveAccountChannels(registry, run.account, run.channels, &run.stamp, IfChanged::kRefuse);
      SavePool(registry, run.pool, &run.origin.own_key, IfChanged::kRefuse);
      const auto kept = [](const std::set<std::string>& before, const std::set<std::string>& after) {
        return std::includes(after.begin(), after.end(), before.begin(), before.end());
      };
      std::set<std::string> aldric_kept = aldric_before;
      if (op.removes) aldric_kept.erase(removed.name);
      EXPECT_TRUE(kept(own_before, OwnKeyNames(registry)));
      EXPECT_TRUE(kept(aldric_kept, AccountNames(registry, "Aldric")));
      EXPECT_TRUE(kept(bors_before, AccountNames(registry, "Bors")));
    }
  }
}

// Memory that runs out before the own key is even opened: whether the key
// exists or not, the pool then read is never saved over it unasked.
TEST(AllocationFailures, FirstAllocationOfThePoolsLoadLeavesAStampThatRefuses) {
  for (bool own_key : {false, true}) {
    MemoryRegistry registry;
    if (own_key) PutList(registry, kOwnKeyPath, {{"o0", "", 1}});
    ChannelTable pool;
    PoolOrigin origin;
    PoolRecorder ignored;
    const auto failing = FailingAllocation::Number(1);
    EXPECT_THROW(LoadPool(registry, AccountList(), &pool, &origin, ignored), std::bad_alloc);
    EXPECT_EQ(SaveResult::kReadInPart, SavePool(registry, pool, &origin.own_key, IfChanged::kRefuse))
        << (own_key ? "own key" : "no own key");
  }
}

}  // namespace
}  // namespace test
}  // namespace chromatte
