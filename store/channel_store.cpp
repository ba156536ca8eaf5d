#include "channel_store.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string_view>
#include <unordered_set>

namespace chromatte {
namespace {

enum class Field { kName, kColor, kPassword };

// "Channel%d", "Channel%dcolor" or "Channel%dpwd" for a slot.
class ValueName {
 public:
  ValueName(Field field, int slot) {
    static const char* const kFormats[] = {"Channel%d", "Channel%dcolor", "Channel%dpwd"};
    std::snprintf(text_, sizeof text_, kFormats[static_cast<int>(field)], slot);
  }
  const char* c_str() const { return text_; }

 private:
  char text_[24];
};

// Sets *out to the bytes up to the first zero byte, or to all of them when
// there is none.
void AssignUpToFirstZero(const char* bytes, std::uint32_t size, std::string* out) {
  out->assign(bytes, std::find(bytes, bytes + size, '\0'));
}

// Values longer than the usual 255 characters are read whole. Returns the
// registry's result; a value that grew between its size and its reading
// gives kRegMoreData, as one too large for a reader's buffer does. Memory
// that runs out throws std::bad_alloc: it says nothing of where the list ends.
long ReadString(Registry& registry, RegKey key, const ValueName& name, std::string* out) {
  char buffer[256];
  std::uint32_t size = sizeof buffer;
  long result = registry.QueryValue(key, name.c_str(), buffer, &size);
  if (result == kRegSuccess) {
    AssignUpToFirstZero(buffer, size, out);
    return kRegSuccess;
  }
  if (result != kRegMoreData) return result;
  const std::uint32_t capacity = size;
  const std::unique_ptr<char[]> whole(new char[capacity]);
  result = registry.QueryValue(key, name.c_str(), whole.get(), &size);
  if (result != kRegSuccess) return result;
  if (size > capacity) return kRegMoreData;
  AssignUpToFirstZero(whole.get(), size, out);
  return kRegSuccess;
}

// A colour is the four stored bytes, little-endian; a shorter value is
// zero-extended, a longer one is unreadable (kRegMoreData).
long ReadColor(Registry& registry, RegKey key, const ValueName& name, ColorRef* out) {
  unsigned char bytes[4] = {};
  std::uint32_t size = sizeof bytes;
  const long result = registry.QueryValue(key, name.c_str(), bytes, &size);
  if (result == kRegSuccess)
    *out = ColorRef{bytes[0]} | ColorRef{bytes[1]} << 8 | ColorRef{bytes[2]} << 16 | ColorRef{bytes[3]} << 24;
  return result;
}

// Whether a reading that stopped at `result` took the whole list: it ends at
// a missing value, or at one the reading rules refuse, but after any other
// failure what follows is unknown.
bool ReachedTheEnd(long result) { return result == kRegFileNotFound || result == kRegMoreData; }

// Reads slots from 0, straight into the table's slots, until one lacks a
// value or the table is full. False when a failed call, rather than the
// list's end, stopped it.
bool ReadChannelList(Registry& registry, RegKey key, ChannelTable* table, PoolLoadObserver* observer) {
  table->count = 0;
  for (int slot = 0; slot < kMaxChannels; ++slot) {
    long result = ReadString(registry, key, ValueName(Field::kName, slot), &table->names[slot]);
    if (result == kRegSuccess)
      result = ReadString(registry, key, ValueName(Field::kPassword, slot), &table->passwords[slot]);
    if (result == kRegSuccess) result = ReadColor(registry, key, ValueName(Field::kColor, slot), &table->colors[slot]);
    if (result != kRegSuccess) return ReachedTheEnd(result);
    if (observer) observer->OnPoolEntryAdded(slot);
    table->count = slot + 1;
  }
  return true;
}

// Writes slots 0..count-1 over the old values, then deletes the values of
// slots count..511. Every value is replaced in place, so at any moment (the
// process killed, a call failed) the slots from 0 that are complete number
// at least the smaller of the old and the new count: the game client, which
// reads up to the first incomplete slot, never sees a shorter list.
bool WriteChannelList(Registry& registry, RegKey key, const ChannelTable& table) {
  bool complete = true;
  auto check = [&complete](long result) { complete = complete && result == kRegSuccess; };
  for (int slot = 0; slot < table.count; ++slot) {
    const std::string& channel = table.names[slot];
    const std::string& password = table.passwords[slot];
    const ColorRef color = table.colors[slot];
    const unsigned char color_bytes[4] = {
        static_cast<unsigned char>(color), static_cast<unsigned char>(color >> 8),
        static_cast<unsigned char>(color >> 16), static_cast<unsigned char>(color >> 24)};
    check(registry.SetValue(key, ValueName(Field::kName, slot).c_str(), kRegSz, channel.c_str(),
                            static_cast<std::uint32_t>(channel.size() + 1)));
    check(registry.SetValue(key, ValueName(Field::kColor, slot).c_str(), kRegDword, color_bytes,
                            sizeof color_bytes));
    check(registry.SetValue(key, ValueName(Field::kPassword, slot).c_str(), kRegSz, password.c_str(),
                            static_cast<std::uint32_t>(password.size() + 1)));
  }
  for (int slot = table.count; slot < kMaxChannels; ++slot) {
    for (Field field : {Field::kName, Field::kColor, Field::kPassword}) {
      const long result = registry.DeleteValue(key, ValueName(field, slot).c_str());
      if (result != kRegFileNotFound) check(result);
    }
  }
  check(registry.FlushKey(key));
  return complete;
}

// The stamp of an open key; its handle needs KEY_QUERY_VALUE.
KeyStamp StampOf(Registry& registry, RegKey key) {
  KeyStamp stamp;
  stamp.exists = true;
  if (registry.QueryLastWriteTime(key, &stamp.last_write) != kRegSuccess) stamp.last_write = 0;
  return stamp;
}

// Opens a key whose list is about to be read, and sets *stamp to the key's,
// taken before the values so that a write while they are read counts as a
// change. The stamp says "read in part" until the reading ends, and of a key
// that exists but could not be opened, which may hold channels.
bool OpenToRead(Registry& registry, ScopedKey& key, const std::string& path, KeyStamp* stamp) {
  const long opened = key.Open(path, kKeyRead);
  if (opened != kRegSuccess) {
    *stamp = KeyStamp();
    stamp->read_in_part = opened != kRegFileNotFound;
    return false;
  }
  *stamp = StampOf(registry, key.get());
  stamp->read_in_part = true;
  return true;
}

SaveResult SaveChannelList(Registry& registry, const std::string& path, std::uint32_t access,
                           const ChannelTable& table, KeyStamp* stamp, IfChanged if_changed) {
  if (if_changed == IfChanged::kRefuse && stamp->read_in_part) return SaveResult::kReadInPart;
  ScopedKey key(registry);
  if (if_changed == IfChanged::kRefuse && stamp->exists) {
    // Opened, not created: a key that another program removed meanwhile is
    // not made again before the user says so.
    const long opened = key.Open(path, access);
    if (opened == kRegFileNotFound) return SaveResult::kChanged;
    if (opened != kRegSuccess) return SaveResult::kFailed;
    const std::uint64_t last_write = StampOf(registry, key.get()).last_write;
    if (last_write == 0 || stamp->last_write == 0) return SaveResult::kUnverified;
    if (last_write != stamp->last_write) return SaveResult::kChanged;
  } else {
    bool created = false;
    if (key.Create(path, access, &created) != kRegSuccess) return SaveResult::kFailed;
    if (if_changed == IfChanged::kRefuse && !created) return SaveResult::kChanged;
  }
  const bool complete = WriteChannelList(registry, key.get(), table);
  // Noted even after a failed write, which changed the key too.
  *stamp = StampOf(registry, key.get());
  return complete ? SaveResult::kSaved : SaveResult::kFailed;
}

// The names of the pool's entries, exactly as FindByName compares them. The
// merge asks for every name of every account whether the pool holds it, up
// to 100 x 512 times against 511 entries: scanning the table each time made
// the merge quadratic.
using PoolNames = std::unordered_set<std::string>;

// Adds the account's channels whose names the pool lacks. A known name is
// skipped without reading its colour or password; the account's merge ends
// at the first unreadable name, or at a new name whose colour or password
// cannot be read. Values are read straight into the pool's first free slot,
// which becomes an entry only once all three are read.
void MergeAccount(Registry& registry, RegKey key, ChannelTable* pool, PoolNames* pool_names,
                  PoolLoadObserver& observer) {
  for (int slot = 0; !pool->IsFull(); ++slot) {
    const int entry = pool->count;
    const std::string& name = pool->names[entry];
    if (ReadString(registry, key, ValueName(Field::kName, slot), &pool->names[entry]) != kRegSuccess) return;
    if (pool_names->count(name)) continue;
    if (ReadColor(registry, key, ValueName(Field::kColor, slot), &pool->colors[entry]) != kRegSuccess ||
        ReadString(registry, key, ValueName(Field::kPassword, slot), &pool->passwords[entry]) != kRegSuccess)
      return;
    observer.OnPoolEntryAdded(entry);
    pool->count = entry + 1;
    pool_names->insert(name);
  }
}

}  // namespace

std::string ChannelKeyPath(const std::string& account) {
  return std::string(kGameKeyPath) + '\\' + account + "\\ChatterChannels";
}

bool LoadAccounts(Registry& registry, AccountList* accounts) {
  accounts->count = 0;
  ScopedKey key(registry);
  if (key.Open(kGameKeyPath, kKeyRead) != kRegSuccess) return false;
  while (accounts->count < kMaxAccounts &&
         registry.EnumKey(key.get(), static_cast<std::uint32_t>(accounts->count),
                          &accounts->names[accounts->count]) == kRegSuccess)
    ++accounts->count;
  return true;
}

ReadResult LoadAccountChannels(Registry& registry, const std::string& account, ChannelTable* channels,
                               KeyStamp* stamp) {
  channels->count = 0;
  stamp->read_in_part = true;  // until the reading ends: memory may run out first
  ScopedKey key(registry);
  if (!OpenToRead(registry, key, ChannelKeyPath(account), stamp)) return ReadResult::kUnreadable;
  const bool whole = ReadChannelList(registry, key.get(), channels, nullptr);
  stamp->read_in_part = !whole;
  return whole ? ReadResult::kWhole : ReadResult::kInPart;
}

SaveResult SaveAccountChannels(Registry& registry, const std::string& account, const ChannelTable& channels,
                               KeyStamp* stamp, IfChanged if_changed) {
  return SaveChannelList(registry, ChannelKeyPath(account), kKeyWrite | kKeyQueryValue, channels, stamp,
                         if_changed);
}

void LoadPool(Registry& registry, const AccountList& accounts, ChannelTable* pool, PoolOrigin* origin,
              PoolLoadObserver& observer) {
  pool->count = 0;
  origin->own_key.read_in_part = true;  // until the reading ends: memory may run out first
  origin->names.clear();
  {
    // A list cut short holds less than the key: its stamp says so, and the
    // pool is then never saved over the key.
    ScopedKey own(registry);
    if (OpenToRead(registry, own, kOwnKeyPath, &origin->own_key))
      origin->own_key.read_in_part = !ReadChannelList(registry, own.get(), pool, &observer);
  }
  origin->names.insert(pool->names, pool->names + pool->count);
  for (int i = 0; i < accounts.count; ++i) {
    ScopedKey key(registry);
    if (key.Open(ChannelKeyPath(accounts.names[i]), kKeyRead) != kRegSuccess) {
      observer.OnAccountUnreadable(accounts.names[i]);
      continue;
    }
    MergeAccount(registry, key.get(), pool, &origin->names, observer);
  }
}

SaveResult SavePool(Registry& registry, const ChannelTable& pool, KeyStamp* stamp, IfChanged if_changed) {
  return SaveChannelList(registry, kOwnKeyPath, kKeyAllAccess, pool, stamp, if_changed);
}

bool MergeOwnKeyChanges(Registry& registry, ChannelTable* pool, PoolOrigin* origin, PoolLoadObserver& observer,
                        int* lost) {
  *lost = 0;
  ScopedKey own(registry);
  const long opened = own.Open(kOwnKeyPath, kKeyRead);
  if (opened != kRegSuccess) return opened == kRegFileNotFound;
  // Views of the pool's names, which stay where they are while it grows.
  std::unordered_set<std::string_view> held(pool->names, pool->names + pool->count);
  std::unordered_set<std::string> lost_names;
  std::string name, password;
  ColorRef color = 0;
  for (int slot = 0; slot < kMaxChannels; ++slot) {
    long result = ReadString(registry, own.get(), ValueName(Field::kName, slot), &name);
    if (result != kRegSuccess) return ReachedTheEnd(result);
    if (held.count(name) || origin->names.count(name)) continue;
    result = ReadColor(registry, own.get(), ValueName(Field::kColor, slot), &color);
    if (result == kRegSuccess) result = ReadString(registry, own.get(), ValueName(Field::kPassword, slot), &password);
    if (result != kRegSuccess) return ReachedTheEnd(result);
    if (pool->IsFull()) {
      lost_names.insert(name);
      *lost = static_cast<int>(lost_names.size());
      continue;
    }
    const int entry = pool->count;
    pool->names[entry].swap(name);
    pool->passwords[entry].swap(password);
    pool->colors[entry] = color;
    observer.OnPoolEntryAdded(entry);
    pool->count = entry + 1;
    held.insert(pool->names[entry]);
    origin->names.insert(pool->names[entry]);
  }
  return true;
}

}  // namespace chromatte
