// The store on the real registry (advapi32), in a scratch HKEY_CURRENT_USER.
// Data is set up and checked with the raw API, not with the code under test.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "raw_registry.h"
#include "registry_fixtures.h"
#include "scratch_hkcu.h"
#include "selected_tests.h"
#include "win32_registry.h"

namespace chromatte {
namespace test {
namespace {

ScratchHkcu* g_scratch = nullptr;

class Win32Store : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(g_scratch->Clear()); }
  Win32Registry registry_;
};

// What the store writes, byte for byte, and that it reads all of it back.
// The keys do not exist yet: saving creates them, with the keys above.
TEST_F(Win32Store, RoundTripsEveryKindOfValueItWrites) {
  const std::string key = ChannelKeyPath("Joueur");
  ASSERT_FALSE(RawKeyExists("Software\\Halvek"));
  ASSERT_FALSE(RawKeyExists("Software\\Brisquel"));
  ChannelTable table;
  Fill(&table, {{"", "", 0},
                {"Cr\xE9" "er", "mot de passe", 0x000000FF},
                {std::string(255, 'a'), std::string(255, 'b'), 0xFFFFFFFF},
                {std::string(256, 'c'), std::string(300, 'd'), 0x00123456},
                {std::string(300, 'e'), "", 0x80000001}});
  ASSERT_TRUE(SaveOver(registry_, "Joueur", table));
  ASSERT_TRUE(SavePoolOver(registry_, table));

  for (const std::string& path : {key, std::string(kOwnKeyPath)}) EXPECT_EQ(Saved(path, Entries(table)), RawValues(path));
  // The accented name is stored as the character, not as some other byte.
  HKEY raw;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Halvek\\Zorvan\\Joueur\\ChatterChannels",
                                         0, KEY_READ, &raw));
  wchar_t wide[16] = {};
  DWORD size = sizeof wide;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(raw, L"Channel1", nullptr, nullptr, reinterpret_cast<BYTE*>(wide), &size));
  RegCloseKey(raw);
  EXPECT_EQ(std::wstring(L"Cr\u00e9er"), wide);

  ChannelTable loaded;
  ASSERT_TRUE(LoadChannels(registry_, "Joueur", &loaded));
  EXPECT_EQ(Entries(table), Entries(loaded));
  PoolRecorder quiet;
  LoadPoolOnce(registry_, AccountList(), &loaded, quiet);
  EXPECT_EQ(Entries(table), Entries(loaded));
}

// Deleting absent values is the normal case on the real registry too.
TEST_F(Win32Store, SaveEmptiesOnlyTheSlots) {
  const std::string key = ChannelKeyPath("Joueur");
  for (int n = 0; n < 3; ++n) RawPutSlot(key, n, {"old" + std::to_string(n), "", 1});
  RawPutSlot(key, kMaxChannels, {"hors liste", "", 2});
  RawSet(key + "\\Sub", "Channel0", REG_SZ, std::string("sub\0", 4));
  ChannelTable table;
  Fill(&table, {{"new", "p", 3}});
  ASSERT_TRUE(SaveOver(registry_, "Joueur", table));

  std::vector<std::string> names;
  for (const auto& value : RawValues(key)) names.push_back(value.first);
  EXPECT_EQ((std::vector<std::string>{"Channel0", "Channel0color", "Channel0pwd", "Channel512", "Channel512color",
                                      "Channel512pwd"}),
            names);
  EXPECT_EQ((Snapshot{{"Channel0", {REG_SZ, std::string("sub\0", 4)}}}), RawValues(key + "\\Sub"));

  Fill(&table, {});
  ASSERT_TRUE(SaveOver(registry_, "Joueur", table));
  EXPECT_EQ(3u, RawValues(key).size());
}

// The in-memory registry stands in for this one in the other tests, so it
// must list accounts in the same order.
TEST_F(Win32Store, AccountsComeInTheOrderOfTheInMemoryRegistry) {
  MemoryRegistry memory;
  const std::string game = kGameKeyPath;
  // The last two are "\xC9z" and "\x8A" "a" again, in the other case.
  for (const char* name :
       {"b", "A", "c", "_x", "Zed", "\xE9t\xE9", "\xC9z", "\x80uro", "\x8A" "a", "a1", "\xE9Z", "\x9A" "A"}) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, (game + "\\" + name).c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegCloseKey(key);
    memory.AddKey(game + "\\" + name);
  }
  AccountList real, modelled;
  ASSERT_TRUE(LoadAccounts(registry_, &real));
  ASSERT_TRUE(LoadAccounts(memory, &modelled));
  EXPECT_EQ(std::vector<std::string>(modelled.names, modelled.names + modelled.count),
            std::vector<std::string>(real.names, real.names + real.count));
  EXPECT_EQ(10, real.count);
}

// The channel key path is passed whole: here 260 characters, the most that
// Wine's ANSI registry calls take (longer ones fail with ERROR_MORE_DATA).
TEST_F(Win32Store, LongAccountNameRoundTrips) {
  const std::string account(260 - std::string(ChannelKeyPath("")).size(), 'x');
  ChannelTable table;
  Fill(&table, {{std::string(300, 'n'), std::string(300, 'p'), 0x00ABCDEF}});
  ASSERT_TRUE(SaveOver(registry_, account, table));
  EXPECT_TRUE(RawKeyExists(std::string(kGameKeyPath) + "\\" + account + "\\ChatterChannels"));
  AccountList accounts;
  ASSERT_TRUE(LoadAccounts(registry_, &accounts));
  ASSERT_EQ(1, accounts.count);
  EXPECT_EQ(account, accounts.names[0]);
  ChannelTable loaded;
  ASSERT_TRUE(LoadChannels(registry_, accounts.names[0], &loaded));
  EXPECT_EQ(Entries(table), Entries(loaded));
}

// What tells a save that another program wrote the key since its stamp:
// the key's last-write time, which a value set or a value deleted moves on,
// and which the store's own writes do not make count as another's.
TEST_F(Win32Store, StampSeesAValueSetOrDeletedByAnotherProgram) {
  const std::string key = ChannelKeyPath("Joueur");
  RawPutList(key, {{"Guilde", "g", 1}, {"Commerce", "", 2}});
  ChannelTable table;
  KeyStamp stamp;
  ASSERT_EQ(ReadResult::kWhole, LoadAccountChannels(registry_, "Joueur", &table, &stamp));
  table.count = 1;
  const struct {
    const char* what;
    std::function<void()> write;
  } writers[] = {
      {"a value set", [&] { RawPutSlot(key, 2, {"Ajout", "a", 3}); }},
      {"a value deleted",
       [&] {
         HKEY raw;
         ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_SET_VALUE, &raw));
         EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(raw, "Channel0pwd"));
         RegCloseKey(raw);
       }},
  };
  for (const auto& writer : writers) {
    SCOPED_TRACE(writer.what);
    EXPECT_EQ(SaveResult::kSaved, SaveAccountChannels(registry_, "Joueur", table, &stamp, IfChanged::kRefuse));
    writer.write();
    const Snapshot theirs = RawValues(key);
    EXPECT_EQ(SaveResult::kChanged, SaveAccountChannels(registry_, "Joueur", table, &stamp, IfChanged::kRefuse));
    EXPECT_EQ(theirs, RawValues(key));
    EXPECT_EQ(SaveResult::kSaved, SaveAccountChannels(registry_, "Joueur", table, &stamp, IfChanged::kOverwrite));
  }
}

// Values the program never writes read the same as from the in-memory
// registry, which the other tests use for them.
TEST_F(Win32Store, ReadsForeignValuesAsTheInMemoryRegistryDoes) {
  struct Case {
    const char* value;
    DWORD type;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"Channel0", REG_SZ, "abc"},
      {"Channel0", REG_SZ, ""},
      {"Channel0", REG_SZ, std::string("ab\0cd\0", 6)},
      {"Channel0", REG_BINARY, "xyz"},
      {"Channel0", REG_SZ, std::string(256, 'n')},
      {"Channel0pwd", REG_EXPAND_SZ, std::string("%x%\0", 4)},
      {"Channel0color", REG_BINARY, "\x12\x34"},
      {"Channel0color", REG_SZ, std::string("AB\0", 3)},
      {"Channel0color", REG_QWORD, std::string(8, '\x01')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.value) + ", " + std::to_string(c.bytes.size()) + " bytes");
    ASSERT_TRUE(g_scratch->Clear());
    const std::string key = ChannelKeyPath("Joueur");
    MemoryRegistry memory;
    RawPutSlot(key, 0, {"n", "pw", 5});
    PutSlot(memory, key, 0, {"n", "pw", 5});
    RawSet(key, c.value, c.type, c.bytes);
    memory.PutValue(key, c.value, c.type, c.bytes);

    ChannelTable real, modelled;
    ASSERT_TRUE(LoadChannels(registry_, "Joueur", &real));
    ASSERT_TRUE(LoadChannels(memory, "Joueur", &modelled));
    EXPECT_EQ(Entries(modelled), Entries(real));
  }
}

}  // namespace
}  // namespace test
}  // namespace chromatte

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  chromatte::test::ScratchHkcu scratch;
  if (!scratch.ok()) return 1;
  chromatte::test::g_scratch = &scratch;
  return chromatte::test::RunSelectedTests();
}
