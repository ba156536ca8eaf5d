// The account list and the pool: the own key's list merged with every
// account's channels.
#include <bitset>
#include <cstdio>

#include <gtest/gtest.h>

#include "registry_fixtures.h"

namespace chromatte {
namespace test {
namespace {

// Records what the caller is told, in order: "+name" for each entry added,
// "!account" for each account that could not be read.
class Recorder : public PoolLoadObserver {
 public:
  explicit Recorder(const ChannelTable& pool) : pool_(pool) {}
  void OnPoolEntryAdded(int index) override {
    EXPECT_EQ(next_index_++, index) << "entries are reported once each, in table order";
    EXPECT_EQ(index, pool_.count) << "an entry is reported, complete, just before it counts";
    events.push_back("+" + pool_.names[index]);
  }
  void OnAccountUnreadable(const std::string& account) override { events.push_back("!" + account); }

  std::vector<std::string> events;

 private:
  const ChannelTable& pool_;
  int next_index_ = 0;
};

class LoadPoolTest : public ::testing::Test {
 protected:
  void Own(const std::vector<Channel>& list) { PutList(registry_, kOwnKeyPath, list); }
  void Account(const std::string& name, const std::vector<Channel>& list) {
    ListAccount(name);
    PutList(registry_, ChannelKeyPath(name), list);
  }
  // Listed only: its key is set up by the test, or missing.
  void ListAccount(const std::string& name) { accounts_.names[accounts_.count++] = name; }

  std::vector<Channel> Run() {
    Fill(&pool_, {{"stale", "", 0}});
    CallLog log(registry_);
    LoadPoolOnce(log, accounts_, &pool_, recorder_);
    // The log names a key by the open that gave its handle: no open, no path.
    for (const CallLog::Call& call : log.calls()) EXPECT_NE("", call.path) << OpName(call.op);
    EXPECT_EQ(0, registry_.OpenHandleCount());
    return Entries(pool_);
  }

  MemoryRegistry registry_;
  AccountList accounts_;
  ChannelTable pool_;
  Recorder recorder_{pool_};
};

TEST_F(LoadPoolTest, FirstRunTakesEachAccountNameOnceInAccountOrder) {
  Account("A", {{"a1", "pa", 1}, {"dup", "pA", 2}, {"a1", "other", 3}});
  ListAccount("Absent");  // no channel key
  Account("B", {{"dup", "pB", 4}, {"b1", "pb", 5}});
  EXPECT_EQ((std::vector<Channel>{{"a1", "pa", 1}, {"dup", "pA", 2}, {"b1", "pb", 5}}), Run());
  EXPECT_EQ((std::vector<std::string>{"+a1", "+dup", "!Absent", "+b1"}), recorder_.events);
}

TEST_F(LoadPoolTest, OwnKeyComesFirstKeepsItsValuesAndItsDuplicates) {
  Own({{"k", "own1", 1}, {"k", "own2", 2}, {"m", "ownm", 3}});
  Account("A", {{"m", "acc", 9}, {"n", "pn", 4}, {"k", "acc", 9}});
  EXPECT_EQ((std::vector<Channel>{{"k", "own1", 1}, {"k", "own2", 2}, {"m", "ownm", 3}, {"n", "pn", 4}}), Run());
  EXPECT_EQ((std::vector<std::string>{"+k", "+k", "+m", "+n"}), recorder_.events);
}

TEST_F(LoadPoolTest, OwnKeyEndsAtItsFirstIncompleteSlot) {
  PutSlot(registry_, kOwnKeyPath, 0, {"o0", "", 1});
  PutSlot(registry_, kOwnKeyPath, 2, {"o2", "own", 2});
  Account("A", {{"o2", "acc", 3}});
  EXPECT_EQ((std::vector<Channel>{{"o0", "", 1}, {"o2", "acc", 3}}), Run());
}

TEST_F(LoadPoolTest, NamesDifferingInCaseAreDifferentChannels) {
  Account("A", {{"chat", "", 1}, {"\xE9t\xE9", "", 2}});
  Account("B", {{"Chat", "", 3}, {"CHAT", "", 4}, {"\xC9T\xC9", "", 5}});
  EXPECT_EQ(5u, Run().size());
}

TEST_F(LoadPoolTest, KnownNameWithMissingValuesDoesNotEndTheAccount) {
  Own({{"known", "", 1}});
  ListAccount("A");
  registry_.PutString(ChannelKeyPath("A"), "Channel0", "known");  // no colour, no password
  PutSlot(registry_, ChannelKeyPath("A"), 1, {"a1", "", 2});
  EXPECT_EQ((std::vector<Channel>{{"known", "", 1}, {"a1", "", 2}}), Run());
}

TEST_F(LoadPoolTest, NewNameWithMissingValueEndsThatAccountOnly) {
  for (const char* missing : {"", "color", "pwd"}) {
    SCOPED_TRACE(std::string("slot 1 lacks Channel1") + missing);
    MemoryRegistry registry;
    AccountList accounts;
    accounts.names[0] = "A";
    accounts.names[1] = "B";
    accounts.count = 2;
    PutListWithout(registry, ChannelKeyPath("A"), {{"a0", "", 1}, {"a1", "", 2}, {"a2", "", 3}}, 1, missing);
    PutList(registry, ChannelKeyPath("B"), {{"b0", "", 4}});
    Recorder recorder(pool_);
    LoadPoolOnce(registry, accounts, &pool_, recorder);
    EXPECT_EQ((std::vector<Channel>{{"a0", "", 1}, {"b0", "", 4}}), Entries(pool_));
    EXPECT_EQ((std::vector<std::string>{"+a0", "+b0"}), recorder.events);
    EXPECT_EQ(0, registry.OpenHandleCount());
  }
}

TEST_F(LoadPoolTest, FullPoolAddsNothingMoreButLaterAccountsAreStillOpened) {
  std::vector<Channel> own;
  for (int i = 0; i < kMaxChannels - 2; ++i) own.push_back({"o" + std::to_string(i), "", 0});
  Own(own);
  Account("A", {{"x1", "", 1}, {"x2", "", 2}, {"x3", "", 3}});
  ListAccount("B");
  Account("C", {{"y1", "", 4}});
  ListAccount("D");
  const std::vector<Channel> pool = Run();
  ASSERT_EQ(static_cast<std::size_t>(kMaxChannels), pool.size());
  EXPECT_EQ("x2", pool.back().name);
  const std::vector<std::string> tail(recorder_.events.end() - 4, recorder_.events.end());
  EXPECT_EQ((std::vector<std::string>{"+x1", "+x2", "!B", "!D"}), tail);
  EXPECT_EQ(static_cast<std::size_t>(kMaxChannels + 2), recorder_.events.size());
}

// Leaving after a second copy saved its pool over the own key: the channels
// it added come in, in its order from its first slot; this pool's entries
// win on a shared name, and what this user deleted stays deleted.
TEST_F(LoadPoolTest, LeavingTakesWhatASecondCopyAddedButNotWhatThisUserDeleted) {
  Own({{"a", "pa", 1}, {"b", "pb", 2}});
  Account("A", {{"c", "pc", 3}});
  PoolOrigin origin;
  LoadPool(registry_, accounts_, &pool_, &origin, recorder_);
  pool_.RemoveMarked(std::bitset<kMaxChannels>().set(1));  // "b"
  pool_.passwords[0] = "mine";
  PutList(registry_, kOwnKeyPath,
          {{"n1", "p1", 4}, {"a", "theirs", 9}, {"b", "pb", 2}, {"c", "pc", 3}, {"n2", "p2", 5}, {"n1", "x", 6}});

  PoolRecorder merged;
  int lost = -1;
  EXPECT_TRUE(MergeOwnKeyChanges(registry_, &pool_, &origin, merged, &lost));
  EXPECT_EQ(0, lost);
  const std::vector<Channel> pool = {{"a", "mine", 1}, {"c", "pc", 3}, {"n1", "p1", 4}, {"n2", "p2", 5}};
  EXPECT_EQ(pool, Entries(pool_));
  EXPECT_EQ((std::vector<int>{2, 3}), merged.added);
  EXPECT_EQ(0, registry_.OpenHandleCount());
  // Until the pool is saved the key counts as changed; what came in once
  // and was deleted since stays deleted.
  EXPECT_EQ(SaveResult::kChanged, SavePool(registry_, pool_, &origin.own_key, IfChanged::kRefuse));
  pool_.RemoveMarked(std::bitset<kMaxChannels>().set(2));  // "n1"
  EXPECT_TRUE(MergeOwnKeyChanges(registry_, &pool_, &origin, merged, &lost));
  EXPECT_EQ(3, pool_.count);
  // A reading that fails before the list's end leaves the rest unknown.
  registry_.FailOn(RegOp::kQuery, kOwnKeyPath, "Channel4");
  EXPECT_FALSE(MergeOwnKeyChanges(registry_, &pool_, &origin, merged, &lost));
  // So does a key that cannot be opened; one that is gone holds nothing new.
  registry_.FailOn(RegOp::kOpen, kOwnKeyPath);
  EXPECT_FALSE(MergeOwnKeyChanges(registry_, &pool_, &origin, merged, &lost));
  registry_.ClearFailures();
  registry_.RemoveKey(kOwnKeyPath);
  const std::vector<Channel> kept = Entries(pool_);
  EXPECT_TRUE(MergeOwnKeyChanges(registry_, &pool_, &origin, merged, &lost));
  EXPECT_EQ(kept, Entries(pool_));
}

TEST_F(LoadPoolTest, LeavingCountsTheSecondCopysChannelsThatFindNoRoom) {
  std::vector<Channel> own;
  for (int i = 0; i < kMaxChannels - 2; ++i) own.push_back({"o" + std::to_string(i), "", 0});
  Own(own);
  PoolOrigin origin;
  LoadPool(registry_, accounts_, &pool_, &origin, recorder_);
  // The other copy's pool: fewer of the old entries, five new ones.
  own.resize(own.size() - 4);
  for (const char* name : {"x1", "x2", "x3", "x4", "x3"}) own.push_back({name, "", 7});
  PutList(registry_, kOwnKeyPath, own);
  PoolRecorder merged;
  int lost = 0;
  EXPECT_TRUE(MergeOwnKeyChanges(registry_, &pool_, &origin, merged, &lost));
  EXPECT_EQ(2, lost);
  ASSERT_EQ(kMaxChannels, pool_.count);
  EXPECT_EQ("x2", pool_.names[kMaxChannels - 1]);
}

TEST(LoadAccounts, KeepsTheRegistryEnumerationOrder) {
  MemoryRegistry registry;
  const std::string game = kGameKeyPath;
  // Wine orders subkeys by their lower-cased Unicode names.
  for (const char* name : {"b", "A", "c", "_x", "Zed", "\xE9t\xE9", "\xC9z", "\x80uro", "a1", "\xE9Z"})
    registry.AddKey(game + "\\" + name);
  registry.PutString(game, "NotAnAccount", "");
  AccountList accounts;
  accounts.count = 3;
  ASSERT_TRUE(LoadAccounts(registry, &accounts));
  const std::vector<std::string> names(accounts.names, accounts.names + accounts.count);
  EXPECT_EQ((std::vector<std::string>{"_x", "A", "a1", "b", "c", "Zed", "\xE9t\xE9", "\xC9z", "\x80uro"}), names);
  EXPECT_EQ(0, registry.OpenHandleCount());
}

TEST(LoadAccounts, ListsAtMost100) {
  MemoryRegistry registry;
  for (int i = 149; i >= 0; --i) {
    char name[8];
    std::snprintf(name, sizeof name, "acc%03d", i);
    registry.AddKey(std::string(kGameKeyPath) + "\\" + name);
  }
  AccountList accounts;
  ASSERT_TRUE(LoadAccounts(registry, &accounts));
  ASSERT_EQ(kMaxAccounts, accounts.count);
  EXPECT_EQ("acc000", accounts.names[0]);
  EXPECT_EQ("acc099", accounts.names[99]);
}

TEST(LoadAccounts, NeedsTheGameKeyButNotAnySubkey) {
  MemoryRegistry registry;
  AccountList accounts;
  accounts.count = 5;
  EXPECT_FALSE(LoadAccounts(registry, &accounts));
  EXPECT_EQ(0, accounts.count);

  registry.AddKey(kGameKeyPath);
  accounts.count = 5;
  EXPECT_TRUE(LoadAccounts(registry, &accounts));
  EXPECT_EQ(0, accounts.count);
  EXPECT_EQ(0, registry.OpenHandleCount());
}

}  // namespace
}  // namespace test
}  // namespace chromatte
