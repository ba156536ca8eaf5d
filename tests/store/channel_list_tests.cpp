// Reading and writing one account's channel list.
#include <gtest/gtest.h>

#include <functional>

#include "registry_fixtures.h"

namespace chromatte {
namespace test {
namespace {

const std::string kAccount = "Joueur";
const std::string kKey = ChannelKeyPath(kAccount);

std::vector<Channel> Numbered(int count) {
  std::vector<Channel> list;
  for (int i = 0; i < count; ++i)
    list.push_back({"c" + std::to_string(i), "p" + std::to_string(i), static_cast<ColorRef>(0x010203 * i)});
  return list;
}

// A reading that says it took the whole list, and whose save is then not
// refused; the save goes to a copy, so the test's registry stays as it was.
void LoadWhole(MemoryRegistry registry, const std::string& account, ChannelTable* table) {
  KeyStamp stamp;
  EXPECT_EQ(ReadResult::kWhole, LoadAccountChannels(registry, account, table, &stamp));
  EXPECT_EQ(0, registry.OpenHandleCount());
  EXPECT_EQ(SaveResult::kSaved, SaveAccountChannels(registry, account, *table, &stamp, IfChanged::kRefuse));
}

std::vector<Channel> Load(MemoryRegistry& registry, const std::string& account = kAccount) {
  ChannelTable table;
  table.count = 7;  // the loader must reset it
  LoadWhole(registry, account, &table);
  return Entries(table);
}

std::vector<Channel> Prefix(const std::vector<Channel>& list, std::size_t n) {
  return std::vector<Channel>(list.begin(), list.begin() + n);
}

TEST(ChannelKeyPath, IsBuiltWholeForLongAccountNames) {
  const std::string account(250, 'a');
  const std::string path = "Software\\Halvek\\Zorvan\\" + account + "\\ChatterChannels";
  EXPECT_EQ(path, ChannelKeyPath(account));

  MemoryRegistry registry;
  ChannelTable table;
  Fill(&table, Numbered(1));
  ASSERT_TRUE(SaveOver(registry, account, table));
  EXPECT_TRUE(registry.HasKey(path));
  EXPECT_EQ(Numbered(1), Load(registry, account));
}

TEST(ReadChannels, MissingChannelKeyGivesAnEmptyListAndFalse) {
  MemoryRegistry registry;
  ChannelTable table;
  Fill(&table, Numbered(2));
  EXPECT_FALSE(LoadChannels(registry, kAccount, &table));
  EXPECT_EQ(0, table.count);
  EXPECT_EQ(0, registry.OpenHandleCount());
}

TEST(ReadChannels, EndsAtTheFirstIncompleteSlot) {
  const std::vector<Channel> list = Numbered(4);
  {
    SCOPED_TRACE("gap at slot 2");
    MemoryRegistry registry;
    for (int n : {0, 1, 3}) PutSlot(registry, kKey, n, list[n]);
    EXPECT_EQ(Prefix(list, 2), Load(registry));
  }
  for (const char* missing : {"", "pwd", "color"}) {
    SCOPED_TRACE(std::string("slot 2 lacks Channel2") + missing);
    MemoryRegistry registry;
    PutListWithout(registry, kKey, list, 2, missing);
    EXPECT_EQ(Prefix(list, 2), Load(registry));
  }
}

TEST(ReadChannels, TakesAtMost512Slots) {
  MemoryRegistry registry;
  PutList(registry, kKey, Numbered(kMaxChannels + 1));
  EXPECT_EQ(Numbered(kMaxChannels), Load(registry));
}

TEST(ReadChannels, EmptyStringsCount) {
  MemoryRegistry registry;
  PutList(registry, kKey, {{"x", "", 1}, {"", "y", 2}, {"z", "", 3}});
  EXPECT_EQ(3u, Load(registry).size());
  EXPECT_EQ(1u, registry.FindValue(kKey, "Channel0pwd")->bytes.size());
}

// The store reads strings longer than the usual 255 characters whole.
TEST(ReadChannels, LongStringsAreReadWhole) {
  const std::vector<Channel> list = {{std::string(255, 'a'), std::string(255, 'b'), 1},
                                     {std::string(256, 'c'), std::string(300, 'd'), 2},
                                     {std::string(300, 'e'), "", 3}};
  MemoryRegistry registry;
  PutList(registry, kKey, list);
  EXPECT_EQ(list, Load(registry));
}

// A 32-bit process cannot hold a value of 4 GiB: memory runs out, which is
// not the list's end. A 64-bit one reads it.
TEST(ReadChannels, ValueTooLargeToHoldRunsOutOfMemoryIn32Bits) {
  MemoryRegistry registry;
  PutList(registry, kKey, Numbered(3));
  registry.ClaimSize(kKey, "Channel1pwd", 0xFFFFFFFF);
  if (sizeof(void*) == 4)
    EXPECT_THROW(Load(registry), std::bad_alloc);
  else
    EXPECT_EQ(Numbered(3), Load(registry));
}

// Values the program never writes itself. Each is read into a table (and a
// pool merge) that has just held longer values, so leftovers would show.
TEST(ReadChannels, OddStoredValuesGiveDeterministicResults) {
  struct Case {
    const char* label;
    const char* suffix;  // which value of slot 0 is odd
    std::uint32_t type;
    std::string bytes;
    bool read;
    Channel expected;
  };
  const std::uint32_t kBinary = 3, kMultiSz = 7, kQword = 11;
  const std::vector<Case> cases = {
      {"string without zero", "", kRegSz, "abc", true, {"abc", "pw", 5}},
      {"zero inside", "", kRegSz, std::string("ab\0cd\0", 6), true, {"ab", "pw", 5}},
      {"zero-byte string", "", kRegSz, "", true, {"", "pw", 5}},
      {"256 bytes without zero", "", kRegSz, std::string(256, 'n'), true, {std::string(256, 'n'), "pw", 5}},
      {"binary name", "", kBinary, "xyz", true, {"xyz", "pw", 5}},
      {"dword name", "", kRegDword, std::string("AB\0\0", 4), true, {"AB", "pw", 5}},
      {"multi-string name", "", kMultiSz, std::string("a\0b\0\0", 5), true, {"a", "pw", 5}},
      {"password without zero", "pwd", kRegSz, "q", true, {"n", "q", 5}},
      {"one-byte colour", "color", kRegDword, "\x12", true, {"n", "pw", 0x12}},
      {"three-byte colour", "color", kRegDword, "\x01\x02\x03", true, {"n", "pw", 0x030201}},
      {"zero-byte colour", "color", kRegDword, "", true, {"n", "pw", 0}},
      {"binary colour", "color", kBinary, "\x01\x02\x03\x04", true, {"n", "pw", 0x04030201}},
      {"string colour", "color", kRegSz, std::string("AB\0", 3), true, {"n", "pw", 0x4241}},
      {"five-byte colour", "color", kRegDword, std::string(5, '\x01'), false, {}},
      {"qword colour", "color", kQword, std::string(8, '\0'), false, {}},
  };
  const Channel full = {std::string(255, 'F'), std::string(255, 'P'), 0xFFFFFFFF};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    MemoryRegistry registry;
    PutSlot(registry, ChannelKeyPath("Full"), 0, full);
    PutSlot(registry, kKey, 0, {"n", "pw", 5});
    registry.PutValue(kKey, Slot(0, c.suffix), c.type, c.bytes);

    ChannelTable table;
    ASSERT_TRUE(LoadChannels(registry, "Full", &table));
    LoadWhole(registry, kAccount, &table);
    EXPECT_EQ(c.read ? std::vector<Channel>{c.expected} : std::vector<Channel>{}, Entries(table));

    PoolRecorder quiet;
    AccountList accounts;
    accounts.names[0] = "Full";
    accounts.names[1] = kAccount;
    accounts.count = 2;
    LoadPoolOnce(registry, accounts, &table, quiet);
    std::vector<Channel> expected = {full};
    if (c.read) expected.push_back(c.expected);
    EXPECT_EQ(expected, Entries(table));
  }
}

TEST(SaveChannels, WritesExactTypesAndSizes) {
  MemoryRegistry registry;
  ChannelTable table;
  const std::string long_name(300, 'x');
  Fill(&table, {{"", "", 0}, {"abc", "p\xE9", 0x000000FF}, {long_name, std::string(255, 'y'), 0x80FF0001}});
  ASSERT_TRUE(SaveOver(registry, kAccount, table));
  EXPECT_EQ(0, registry.OpenHandleCount());
  const Snapshot expected = {
      {"Channel0", {kRegSz, std::string(1, '\0')}},
      {"Channel0color", {kRegDword, std::string(4, '\0')}},
      {"Channel0pwd", {kRegSz, std::string(1, '\0')}},
      {"Channel1", {kRegSz, std::string("abc\0", 4)}},
      {"Channel1color", {kRegDword, std::string("\xFF\0\0\0", 4)}},
      {"Channel1pwd", {kRegSz, std::string("p\xE9\0", 3)}},
      {"Channel2", {kRegSz, long_name + '\0'}},
      {"Channel2color", {kRegDword, std::string("\x01\x00\xFF\x80", 4)}},
      {"Channel2pwd", {kRegSz, std::string(255, 'y') + '\0'}},
  };
  EXPECT_EQ(expected, Values(registry, kKey));
}

// Loading a well-formed list and saving it back changes no byte.
TEST(SaveChannels, LoadThenSaveGivesTheSameBytes) {
  MemoryRegistry registry;
  PutList(registry, kKey, {{"rouge", "", 0x000000FF}, {std::string(300, 'l'), "mot", 0xFF000000}, {"", "", 0}});
  const Snapshot before = Values(registry, kKey);
  ChannelTable table;
  ASSERT_TRUE(LoadChannels(registry, kAccount, &table));
  EXPECT_EQ(0x000000FFu, table.colors[0]);
  ASSERT_TRUE(SaveOver(registry, kAccount, table));
  EXPECT_EQ(before, Values(registry, kKey));
}

TEST(SaveChannels, LeavesOtherValuesAndSubkeysAlone) {
  MemoryRegistry registry;
  PutList(registry, kKey, Numbered(5));
  PutSlot(registry, kKey, kMaxChannels, {"hors", "liste", 9});
  registry.PutString(kKey, "Channel00", "zero");
  registry.PutDword(kKey, "Version", 3);
  registry.PutString(kKey + "\\Sub", "Channel0", "sub");
  Snapshot expected = Values(registry, kKey);
  for (int n = 2; n < 5; ++n)
    for (const char* suffix : {"", "color", "pwd"}) expected.erase(Slot(n, suffix));

  ChannelTable table;
  Fill(&table, Numbered(2));
  ASSERT_TRUE(SaveOver(registry, kAccount, table));
  EXPECT_EQ(expected, Values(registry, kKey));
  EXPECT_EQ("sub", registry.FindValue(kKey + "\\Sub", "Channel0")->bytes.substr(0, 3));
}

TEST(SaveChannels, EmptyListDeletesEverySlotButKeepsTheKey) {
  MemoryRegistry registry;
  PutList(registry, kKey, Numbered(kMaxChannels + 1));
  ChannelTable empty;
  ASSERT_TRUE(SaveOver(registry, kAccount, empty));
  EXPECT_TRUE(registry.HasKey(kKey));
  EXPECT_EQ(Values(registry, kKey).size(), 3u);  // slot 512 only
  EXPECT_NE(nullptr, registry.FindValue(kKey, "Channel512color"));
}

// "Valider" after a load, with no other writer: the save writes what a save
// over the key writes, call for call, in the calls it always made (an open,
// 1 536 sets and deletions, a flush, a close) and two more: the stamp read
// before the writes and after them.
TEST(SaveChannels, UnchangedKeyIsWrittenAsEverWithTwoCallsMore) {
  MemoryRegistry registry;
  PutList(registry, kKey, Numbered(3));
  ChannelTable table;
  KeyStamp stamp;
  ASSERT_EQ(ReadResult::kWhole, LoadAccountChannels(registry, kAccount, &table, &stamp));
  table.count = 2;
  MemoryRegistry over = registry;
  CallLog over_log(over);
  ASSERT_TRUE(SaveOver(over_log, kAccount, table));
  CallLog log(registry);
  ASSERT_EQ(SaveResult::kSaved, SaveAccountChannels(log, kAccount, table, &stamp, IfChanged::kRefuse));
  EXPECT_EQ(Values(over, kKey), Values(registry, kKey));

  auto writes = [](const CallLog& calls) {
    std::vector<std::pair<RegOp, std::string>> made;
    for (const CallLog::Call& call : calls.calls())
      if (call.op == RegOp::kSet || call.op == RegOp::kDelete) made.push_back({call.op, call.value});
    return made;
  };
  EXPECT_EQ(writes(over_log), writes(log));
  EXPECT_EQ("1541 calls (1 open, 1530 delete, 6 set, 1 flush, 1 close, 2 query-info)", log.Summary());
  EXPECT_EQ(RegOp::kQueryInfo, log.calls()[1].op);

  // Its own writes do not count as another program's.
  EXPECT_EQ(SaveResult::kSaved, SaveAccountChannels(registry, kAccount, table, &stamp, IfChanged::kRefuse));
}

// Another program writes the key between the load and the save, or the
// load could not vouch for the whole list: the save writes nothing until
// told to overwrite, and says why; after that the key counts as read.
TEST(SaveChannels, KeyThatMayHoldMoreIsOnlyOverwrittenWhenAsked) {
  const std::vector<Channel> theirs = {{"Guilde", "g", 1}, {"Commerce", "", 2}};
  const auto none = [](MemoryRegistry&) {};
  const struct {
    const char* what;
    bool stored;  // the key holds `theirs` at the load
    std::function<void(MemoryRegistry&)> fail_load, write;
    SaveResult refused;
  } cases[] = {
      {"a slot added", true, none, [](MemoryRegistry& r) { PutSlot(r, kKey, 2, {"Ajout", "a", 3}); },
       SaveResult::kChanged},
      {"the key removed", true, none, [](MemoryRegistry& r) { r.RemoveKey(kKey); }, SaveResult::kChanged},
      {"the missing key made", false, none, [&](MemoryRegistry& r) { PutList(r, kKey, theirs); },
       SaveResult::kChanged},
      {"a call failed part-way", true, [](MemoryRegistry& r) { r.FailOn(RegOp::kQuery, kKey, "Channel1pwd"); }, none,
       SaveResult::kReadInPart},
      {"the key could not be opened", true, [](MemoryRegistry& r) { r.FailOn(RegOp::kOpen, kKey); }, none,
       SaveResult::kReadInPart},
      {"its last-write time unreadable", true, [](MemoryRegistry& r) { r.FailOn(RegOp::kQueryInfo, kKey); }, none,
       SaveResult::kUnverified},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryRegistry registry;
    registry.AddKey(std::string(kGameKeyPath) + "\\" + kAccount);
    if (c.stored) PutList(registry, kKey, theirs);
    ChannelTable table;
    KeyStamp stamp;
    c.fail_load(registry);
    LoadAccountChannels(registry, kAccount, &table, &stamp);
    registry.ClearFailures();
    Fill(&table, {{"Mien", "m", 4}});
    c.write(registry);
    const bool had_key = registry.HasKey(kKey);
    const Snapshot written = Values(registry, kKey);

    EXPECT_EQ(c.refused, SaveAccountChannels(registry, kAccount, table, &stamp, IfChanged::kRefuse));
    EXPECT_EQ(had_key, registry.HasKey(kKey));
    EXPECT_EQ(written, Values(registry, kKey));
    EXPECT_EQ(SaveResult::kSaved, SaveAccountChannels(registry, kAccount, table, &stamp, IfChanged::kOverwrite));
    EXPECT_EQ(Saved(kKey, {{"Mien", "m", 4}}), Values(registry, kKey));
    EXPECT_EQ(SaveResult::kSaved, SaveAccountChannels(registry, kAccount, table, &stamp, IfChanged::kRefuse));
    EXPECT_EQ(0, registry.OpenHandleCount());
  }
}

TEST(SaveChannels, CreatesTheMissingKeys) {
  MemoryRegistry registry;
  ChannelTable table;
  Fill(&table, Numbered(3));
  ASSERT_TRUE(SaveOver(registry, "Nouveau", table));
  EXPECT_EQ(Numbered(3), Load(registry, "Nouveau"));

  ASSERT_TRUE(SavePoolOver(registry, table));
  EXPECT_EQ(9u, registry.ValueNames(kOwnKeyPath).size());
}

}  // namespace
}  // namespace test
}  // namespace chromatte
