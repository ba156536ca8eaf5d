#include "channel_store.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <stdexcept>
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
// there is none; false when there is no memory for them.
bool AssignUpToFirstZero(const char* bytes, std::uint32_t size, std::string* out) {
  try {
    out->assign(bytes, std::find(bytes, bytes + size, '\0'));
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
}

// Values longer than the usual 255 characters are read whole. One too large
// to hold in memory is unreadable, like any other.
bool ReadString(Registry& registry, RegKey key, const ValueName& name, std::string* out) {
  char buffer[256];
  std::uint32_t size = sizeof buffer;
  long result = registry.QueryValue(key, name.c_str(), buffer, &size);
  if (result == kRegSuccess) return AssignUpToFirstZero(buffer, size, out);
  if (result != kRegMoreData) return false;
  const std::uint32_t capacity = size;
  const std::unique_ptr<char[]> whole(new (std::nothrow) char[capacity]);
  if (!whole) return false;
  result = registry.QueryValue(key, name.c_str(), whole.get(), &size);
  return result == kRegSuccess && size <= capacity && AssignUpToFirstZero(whole.get(), size, out);
}

// A colour is the four stored bytes, little-endian; a shorter value is
// zero-extended, a longer one is unreadable.
bool ReadColor(Registry& registry, RegKey key, const ValueName& name, ColorRef* out) {
  unsigned char bytes[4] = {};
  std::uint32_t size = sizeof bytes;
  if (registry.QueryValue(key, name.c_str(), bytes, &size) != kRegSuccess) return false;
  *out = ColorRef{bytes[0]} | ColorRef{bytes[1]} << 8 | ColorRef{bytes[2]} << 16 | ColorRef{bytes[3]} << 24;
  return true;
}

// Reads slots from 0, straight into the table's slots, until one lacks a
// value or the table is full.
void ReadChannelList(Registry& registry, RegKey key, ChannelTable* table,
                     PoolLoadObserver* observer) {
  table->count = 0;
  for (int slot = 0; slot < kMaxChannels; ++slot) {
    if (!ReadString(registry, key, ValueName(Field::kName, slot), &table->names[slot]) ||
        !ReadString(registry, key, ValueName(Field::kPassword, slot), &table->passwords[slot]) ||
        !ReadColor(registry, key, ValueName(Field::kColor, slot), &table->colors[slot]))
      return;
    table->count = slot + 1;
    if (observer) observer->OnPoolEntryAdded(slot);
  }
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

bool SaveChannelList(Registry& registry, const std::string& path, std::uint32_t access,
                     const ChannelTable& table) {
  ScopedKey key(registry);
  if (key.Create(path, access) != kRegSuccess) return false;
  return WriteChannelList(registry, key.get(), table);
}

// The names of the pool's entries, exactly as FindByName compares them. The
// merge asks for every name of every account whether the pool holds it, up
// to 100 x 512 times against 511 entries: scanning the table each time made
// the merge quadratic. The views point into the pool's own names, which do
// not change while it loads.
using PoolNames = std::unordered_set<std::string_view>;

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
    if (!ReadString(registry, key, ValueName(Field::kName, slot), &pool->names[entry])) return;
    if (pool_names->count(name)) continue;
    if (!ReadColor(registry, key, ValueName(Field::kColor, slot), &pool->colors[entry]) ||
        !ReadString(registry, key, ValueName(Field::kPassword, slot), &pool->passwords[entry]))
      return;
    pool_names->insert(name);
    pool->count = entry + 1;
    observer.OnPoolEntryAdded(entry);
  }
}

}  // namespace

std::string ChannelKeyPath(const std::string& account) {
  return std::string(kGameKeyPath) + '\\' + account + "\\ChatterChannels";
}

bool LoadAccounts(Registry& registry, AccountList* accounts) {
  accounts->count = 0;
  ScopedKey key(registry);
  if (key.OpenForRead(kGameKeyPath) != kRegSuccess) return false;
  while (accounts->count < kMaxAccounts &&
         registry.EnumKey(key.get(), static_cast<std::uint32_t>(accounts->count),
                          &accounts->names[accounts->count]) == kRegSuccess)
    ++accounts->count;
  return true;
}

bool LoadAccountChannels(Registry& registry, const std::string& account, ChannelTable* channels) {
  channels->count = 0;
  ScopedKey key(registry);
  if (key.OpenForRead(ChannelKeyPath(account)) != kRegSuccess) return false;
  ReadChannelList(registry, key.get(), channels, nullptr);
  return true;
}

bool SaveAccountChannels(Registry& registry, const std::string& account, const ChannelTable& channels) {
  return SaveChannelList(registry, ChannelKeyPath(account), kKeyWrite, channels);
}

void LoadPool(Registry& registry, const AccountList& accounts, ChannelTable* pool,
              PoolLoadObserver& observer) {
  pool->count = 0;
  {
    ScopedKey own(registry);
    if (own.OpenForRead(kOwnKeyPath) == kRegSuccess) ReadChannelList(registry, own.get(), pool, &observer);
  }
  PoolNames pool_names(pool->names, pool->names + pool->count);
  for (int i = 0; i < accounts.count; ++i) {
    ScopedKey key(registry);
    if (key.OpenForRead(ChannelKeyPath(accounts.names[i])) != kRegSuccess) {
      observer.OnAccountUnreadable(accounts.names[i]);
      continue;
    }
    MergeAccount(registry, key.get(), pool, &pool_names, observer);
  }
}

bool SavePool(Registry& registry, const ChannelTable& pool) {
  return SaveChannelList(registry, kOwnKeyPath, kKeyAllAccess, pool);
}

}  // namespace chromatte
