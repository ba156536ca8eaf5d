// Builds a registry from the input, then does what a run of Chromatte does to
// it: the start-up's loads, another program's writes, a save of both tables,
// and the next start-up.
// Any broken rule aborts, so that libFuzzer keeps the input.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "registry_fixtures.h"

using namespace chromatte;
using test::MemoryRegistry;
using Observer = test::PoolRecorder;

namespace {

#define CHECK(condition)                                                       \
  do {                                                                         \
    if (!(condition)) {                                                        \
      std::fprintf(stderr, "line %d: CHECK(%s) failed\n", __LINE__, #condition); \
      std::abort();                                                            \
    }                                                                          \
  } while (0)

// Built by hand rather than with ChannelKeyPath, so a wrong path shows.
std::string ChannelKey(const std::string& account) {
  return std::string(kGameKeyPath) + "\\" + account + "\\ChatterChannels";
}

std::string SlotName(int slot, const char* suffix) { return "Channel" + std::to_string(slot) + suffix; }

std::string AsciiLower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// One of the 1536 value names the store writes, in any letter case.
bool IsSlotName(const std::string& name) {
  static const std::set<std::string> kNames = [] {
    std::set<std::string> names;
    for (int slot = 0; slot < kMaxChannels; ++slot)
      for (const char* suffix : {"", "color", "pwd"}) names.insert(AsciiLower(SlotName(slot, suffix)));
    return names;
  }();
  return kNames.count(AsciiLower(name)) > 0;
}

std::string LittleEndian(std::uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
  return bytes;
}

// A slot that another program (the game, a second copy leaving) writes
// between the start-up and the saves.
struct LaterWrite {
  std::string key;
  int slot;
  std::string name, password;
  std::uint32_t color;
};

struct Input {
  MemoryRegistry registry;
  std::vector<std::string> keys = {kOwnKeyPath, kGameKeyPath};  // may not exist
  std::vector<std::uint64_t> failing_calls;
  // Those that fail as a missing or too long value would: no reader can
  // tell them from the data.
  std::vector<std::uint64_t> failing_as_data;
  std::vector<LaterWrite> later_writes;

  bool FailsBetween(std::uint64_t first, std::uint64_t end) const { return Between(failing_calls, first, end); }
  bool FailsAsDataBetween(std::uint64_t first, std::uint64_t end) const {
    return Between(failing_as_data, first, end);
  }
  static bool Between(const std::vector<std::uint64_t>& calls, std::uint64_t first, std::uint64_t end) {
    for (std::uint64_t n : calls)
      if (n >= first && n < end) return true;
    return false;
  }
};

// Mostly the values of slots around the 512 limit, in any letter case.
std::string ValueName(FuzzedDataProvider& in) {
  if (in.ConsumeIntegralInRange(0, 3) == 0) return in.ConsumeRandomLengthString(24);
  static const char* const kPrefixes[] = {"Channel", "channel", "CHANNEL"};
  static const char* const kSuffixes[] = {"", "color", "pwd", "COLOR", "Pwd"};
  // One read per statement, so the order is fixed (make_corpus relies on it).
  std::string name = in.PickValueInArray(kPrefixes);
  name += std::to_string(in.ConsumeIntegralInRange(0, 520));
  return name + in.PickValueInArray(kSuffixes);
}

// A name or password: a piece of any bytes, repeated up to 256 times, so
// from 0 bytes to 64 KiB and beyond.
std::string Text(FuzzedDataProvider& in) {
  const std::string piece = in.ConsumeRandomLengthString(300);
  const int copies = in.ConsumeIntegralInRange(1, 256);
  std::string text;
  for (int i = 0; i < copies; ++i) text += piece;
  return text;
}

void AddAccount(Input& input, const std::string& name, bool with_channel_key) {
  input.registry.AddKey(std::string(kGameKeyPath) + "\\" + name);
  input.keys.push_back(ChannelKey(name));
  if (with_channel_key) input.registry.AddKey(ChannelKey(name));
}

void Build(FuzzedDataProvider& in, Input& input) {
  MemoryRegistry& registry = input.registry;
  while (in.remaining_bytes() > 0) {
    const std::string key = input.keys[in.ConsumeIntegralInRange<std::size_t>(0, input.keys.size() - 1)];
    switch (in.ConsumeIntegralInRange(0, 7)) {
      case 0: {
        const std::string name = in.ConsumeRandomLengthString(16);
        AddAccount(input, name, in.ConsumeBool());
        break;
      }
      case 1: {  // enough accounts to pass the limit of 100
        const int count = in.ConsumeIntegralInRange(0, 110);
        const bool with_channel_key = in.ConsumeBool();
        for (int i = 0; i < count; ++i) AddAccount(input, "a" + std::to_string(i), with_channel_key);
        break;
      }
      case 2: {
        static const std::uint32_t kTypes[] = {kRegSz, kRegDword, 0, 3, 7};
        const std::string name = ValueName(in);
        const std::uint32_t type = in.PickValueInArray(kTypes);
        registry.PutValue(key, name, type, in.ConsumeRandomLengthString(600));
        break;
      }
      case 3: {
        const int slot = in.ConsumeIntegralInRange(0, 520);
        registry.PutString(key, SlotName(slot, ""), Text(in));
        registry.PutString(key, SlotName(slot, "pwd"), Text(in));
        registry.PutDword(key, SlotName(slot, "color"), in.ConsumeIntegral<std::uint32_t>());
        break;
      }
      case 4: {  // a run of slots whose names repeat every `distinct` slots
        const int first = in.ConsumeIntegralInRange(0, 520);
        const int count = in.ConsumeIntegralInRange(0, 520);
        const int distinct = in.ConsumeIntegralInRange(1, 600);
        for (int slot = first; slot < first + count; ++slot) {
          registry.PutString(key, SlotName(slot, ""), "c" + std::to_string(slot % distinct));
          registry.PutString(key, SlotName(slot, "pwd"), "");
          registry.PutDword(key, SlotName(slot, "color"), static_cast<std::uint32_t>(slot));
        }
        break;
      }
      case 5: {
        const std::string subkey = key + "\\" + in.ConsumeRandomLengthString(8);
        registry.AddKey(subkey);
        input.keys.push_back(subkey);
        break;
      }
      case 6: {
        static const long kErrors[] = {kRegAccessDenied, kRegFileNotFound, kRegMoreData, kRegInvalidHandle};
        const std::uint64_t call = in.ConsumeIntegralInRange<std::uint64_t>(0, 16383);
        const long error = in.PickValueInArray(kErrors);
        registry.FailCallNumber(call, error);
        input.failing_calls.push_back(call);
        if (error == kRegFileNotFound || error == kRegMoreData) input.failing_as_data.push_back(call);
        break;
      }
      case 7: {
        LaterWrite write{key, in.ConsumeIntegralInRange(0, 520), Text(in), Text(in), 0};
        write.color = in.ConsumeIntegral<std::uint32_t>();
        input.later_writes.push_back(write);
        break;
      }
    }
  }
}

bool SameEntries(const ChannelTable& a, const ChannelTable& b, int count) {
  for (int i = 0; i < count; ++i)
    if (a.names[i] != b.names[i] || a.passwords[i] != b.passwords[i] || a.colors[i] != b.colors[i])
      return false;
  return true;
}

bool SameTable(const ChannelTable& a, const ChannelTable& b) { return a.count == b.count && SameEntries(a, b, a.count); }

// The own key's list, read from a copy that nothing makes fail.
ChannelTable OwnList(const MemoryRegistry& registry) {
  MemoryRegistry copy = registry;
  copy.ClearFailures();
  ChannelTable own;
  Observer ignored;
  test::LoadPoolOnce(copy, AccountList(), &own, ignored);
  return own;
}

void CheckPoolLoad(Input& input, const AccountList& accounts, ChannelTable* pool, PoolOrigin* origin) {
  const ChannelTable own = OwnList(input.registry);
  const std::uint64_t first_call = input.registry.CallCount();
  Observer observer;
  LoadPool(input.registry, accounts, pool, origin, observer);
  CHECK(pool->count >= 0 && pool->count <= kMaxChannels);
  // The pool list is filled from these calls alone.
  CHECK(observer.added.size() == static_cast<std::size_t>(pool->count));
  for (int i = 0; i < pool->count; ++i) CHECK(observer.added[i] == i);
  CHECK(input.registry.OpenHandleCount() == 0);

  if (input.FailsBetween(first_call, input.registry.CallCount())) return;
  std::vector<std::string> missing;
  for (int i = 0; i < accounts.count; ++i)
    if (!input.registry.HasKey(ChannelKey(accounts.names[i]))) missing.push_back(accounts.names[i]);
  CHECK(observer.unreadable == missing);
  // The own key's entries come first, repeats included; the merge adds only
  // names the pool does not hold yet.
  CHECK(pool->count >= own.count && SameEntries(*pool, own, own.count));
  std::set<std::string> names(pool->names, pool->names + own.count);
  for (int i = own.count; i < pool->count; ++i) CHECK(names.insert(pool->names[i]).second);
}

// The key holds the table's slots in the game's format, and no other slot.
void CheckSaved(const MemoryRegistry& registry, const std::string& key, const ChannelTable& table) {
  int slot_values = 0;
  for (const std::string& name : registry.ValueNames(key)) slot_values += IsSlotName(name);
  CHECK(slot_values == 3 * table.count);
  for (int slot = 0; slot < table.count; ++slot) {
    const MemoryRegistry::Value* name = registry.FindValue(key, SlotName(slot, ""));
    const MemoryRegistry::Value* color = registry.FindValue(key, SlotName(slot, "color"));
    const MemoryRegistry::Value* password = registry.FindValue(key, SlotName(slot, "pwd"));
    CHECK(name && name->type == kRegSz && name->bytes == table.names[slot] + '\0');
    CHECK(color && color->type == kRegDword && color->bytes == LittleEndian(table.colors[slot]));
    CHECK(password && password->type == kRegSz && password->bytes == table.passwords[slot] + '\0');
  }
}

struct KeptValue {
  std::string key;
  std::string name;
  MemoryRegistry::Value value;
};

// Every value but the slot values of the keys about to be written. A key
// may be listed under several spellings, so values are told apart by address.
std::vector<KeptValue> ValuesASaveKeeps(const Input& input, const std::vector<std::string>& written_keys) {
  std::set<const MemoryRegistry::Value*> slot_values;
  for (const std::string& key : written_keys)
    for (const std::string& name : input.registry.ValueNames(key))
      if (IsSlotName(name)) slot_values.insert(input.registry.FindValue(key, name));
  std::vector<KeptValue> kept;
  for (const std::string& key : input.keys)
    for (const std::string& name : input.registry.ValueNames(key)) {
      const MemoryRegistry::Value* value = input.registry.FindValue(key, name);
      if (!slot_values.count(value)) kept.push_back({key, name, *value});
    }
  return kept;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  Input input;
  Build(in, input);
  MemoryRegistry& registry = input.registry;

  // Start-up.
  AccountList accounts;
  const bool has_game_key = LoadAccounts(registry, &accounts);
  CHECK(accounts.count >= 0 && accounts.count <= kMaxAccounts);
  CHECK(has_game_key || accounts.count == 0);
  const bool accounts_failed = input.FailsBetween(0, registry.CallCount());
  ChannelTable pool;
  PoolOrigin origin;
  CheckPoolLoad(input, accounts, &pool, &origin);
  ChannelTable channels;
  KeyStamp channels_stamp;
  ReadResult channels_read = ReadResult::kUnreadable;
  if (accounts.count > 0) channels_read = LoadAccountChannels(registry, accounts.names[0], &channels, &channels_stamp);
  CHECK(channels.count >= 0 && channels.count <= kMaxChannels);
  CHECK(registry.OpenHandleCount() == 0);
  const bool start_failed = input.FailsBetween(0, registry.CallCount());

  // Another program writes some slots.
  std::vector<std::string> written_keys = {kOwnKeyPath};
  if (accounts.count > 0) written_keys.push_back(ChannelKey(accounts.names[0]));
  std::vector<test::Snapshot> before_writes;
  for (const std::string& key : written_keys) before_writes.push_back(test::Values(registry, key));
  for (const LaterWrite& write : input.later_writes) {
    registry.PutString(write.key, SlotName(write.slot, ""), write.name);
    registry.PutString(write.key, SlotName(write.slot, "pwd"), write.password);
    registry.PutDword(write.key, SlotName(write.slot, "color"), write.color);
  }
  const ChannelTable theirs = OwnList(registry);

  // "Valider" on the first account, answered "Non" when the key changed
  // since it was read or was not read whole; then leaving, which writes
  // nothing over an own key read in part, first merges one changed since,
  // and answers "Oui" when not all of it fits.
  const std::vector<KeptValue> kept = ValuesASaveKeeps(input, written_keys);
  const std::uint64_t first_save_call = registry.CallCount();
  SaveResult channels_saved = SaveResult::kSaved;
  if (accounts.count > 0) {
    const test::Snapshot before_save = test::Values(registry, written_keys[1]);
    channels_saved = SaveAccountChannels(registry, accounts.names[0], channels, &channels_stamp, IfChanged::kRefuse);
    // Neither what another program wrote nor what was not read is written
    // over unasked.
    CHECK(before_save == before_writes[1] || channels_saved != SaveResult::kSaved);
    CHECK(channels_read != ReadResult::kInPart || channels_saved == SaveResult::kReadInPart);
    if (Refused(channels_saved)) CHECK(test::Values(registry, written_keys[1]) == before_save);
  }
  const test::Snapshot own_before_leaving = test::Values(registry, kOwnKeyPath);
  SaveResult pool_saved = SavePool(registry, pool, &origin.own_key, IfChanged::kRefuse);
  int lost = 0;
  if (Refused(pool_saved) && pool_saved != SaveResult::kReadInPart) {
    Observer observer;
    pool_saved = MergeOwnKeyChanges(registry, &pool, &origin, observer, &lost)
                     ? SavePool(registry, pool, &origin.own_key, IfChanged::kOverwrite)
                     : SaveResult::kFailed;
  }
  const bool save_failed = input.FailsBetween(first_save_call, registry.CallCount());
  CHECK(registry.OpenHandleCount() == 0);
  for (const KeptValue& k : kept) {
    const MemoryRegistry::Value* value = registry.FindValue(k.key, k.name);
    CHECK(value && value->type == k.value.type && value->bytes == k.value.bytes);
  }
  // Every channel the own key held before leaving is kept, but when the
  // pool has no room left; a pool read in part keeps them in the key.
  if (!save_failed && lost == 0 && pool_saved != SaveResult::kReadInPart &&
      !input.FailsAsDataBetween(0, first_save_call))
    for (int i = 0; i < theirs.count; ++i) CHECK(pool.FindByName(theirs.names[i]) != pool.count);

  // The next start-up, with nothing failing.
  registry.ClearFailures();
  AccountList accounts_again;
  const bool has_game_key_again = LoadAccounts(registry, &accounts_again);
  // Another program's write may have made keys: the game key, or an account
  // where an account's channel key path has an empty name.
  if (!accounts_failed && input.later_writes.empty()) {
    CHECK(has_game_key_again == has_game_key);
    CHECK(accounts_again.count == accounts.count);
    for (int i = 0; i < accounts.count; ++i) CHECK(accounts_again.names[i] == accounts.names[i]);
  }
  ChannelTable pool_again;
  PoolOrigin origin_again;
  CheckPoolLoad(input, accounts_again, &pool_again, &origin_again);
  ChannelTable channels_again;
  if (accounts.count > 0) LoadChannels(registry, accounts.names[0], &channels_again);
  CHECK(registry.OpenHandleCount() == 0);
  if (save_failed) return 0;

  // Without a failure, only a key changed since it was read, or not read
  // whole, stops a save; a pool read in part leaves its key as it was.
  CHECK(channels_saved == SaveResult::kSaved || (Refused(channels_saved) &&
                                                 (start_failed || !input.later_writes.empty())));
  if (pool_saved == SaveResult::kReadInPart) {
    CHECK(start_failed && test::Values(registry, kOwnKeyPath) == own_before_leaving);
  } else {
    CHECK(pool_saved == SaveResult::kSaved);
    CheckSaved(registry, kOwnKeyPath, pool);
    // The own key's part is exactly the saved pool (CheckSaved: nothing
    // beyond it). The merge may add more: a new name that ended an
    // account's walk may be known now, and the walk goes on past it.
    CHECK(pool_again.count >= pool.count && SameEntries(pool_again, pool, pool.count));
  }
  if (accounts.count > 0 && channels_saved == SaveResult::kSaved) {
    CheckSaved(registry, ChannelKey(accounts.names[0]), channels);
    CHECK(SameTable(channels_again, channels));
  }
  return 0;
}
