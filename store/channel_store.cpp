#include "channel_store.h"

#include <algorithm>
#include <cstdio>
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

std::string UpToFirstZero(const char* bytes, std::uint32_t size) {
  return std::string(bytes, std::find(bytes, bytes + size, '\0'));
}

// A string value is its bytes up to the first zero byte, or all of them when
// there is none. Values longer than the usual 255 characters are read whole.
bool ReadString(Registry& registry, RegKey key, const ValueName& name, std::string* out) {
  char buffer[256];
  std::uint32_t size = sizeof buffer;
  long result = registry.QueryValue(key, name.c_str(), buffer, &size);
  if (result == kRegSuccess) {
    *out = UpToFirstZero(buffer, size);
    return true;
  }
  if (result != kRegMoreData) return false;
  std::string whole(size, '\0');
  result = registry.QueryValue(key, name.c_str(), &whole[0], &size);
  if (result != kRegSuccess || size > whole.size()) return false;
  *out = UpToFirstZero(whole.data(), size);
  return true;
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

// Reads slots from 0 until one lacks a value, or the table is full.
void ReadChannelList(Registry& registry, RegKey key, ChannelTable* table,
                     PoolLoadObserver* observer) {
  table->count = 0;
  std::string name;
  std::string password;
  ColorRef color = 0;
  for (int slot = 0; slot < kMaxChannels; ++slot) {
    if (!ReadString(registry, key, ValueName(Field::kName, slot), &name) ||
        !ReadString(registry, key, ValueName(Field::kPassword, slot), &password) ||
        !ReadColor(registry, key, ValueName(Field::kColor, slot), &color))
      return;
    table->Append(name, password, color);
    if (observer) observer->OnPoolEntryAdded(table->count - 1);
  }
}

// Deletes the values of all 512 slots and writes slots 0..count-1 again.
bool WriteChannelList(Registry& registry, RegKey key, const ChannelTable& table) {
  bool complete = true;
  auto check = [&complete](long result) { complete = complete && result == kRegSuccess; };
  for (int slot = 0; slot < kMaxChannels; ++slot) {
    const ValueName names[] = {ValueName(Field::kName, slot), ValueName(Field::kColor, slot),
                               ValueName(Field::kPassword, slot)};
    for (const ValueName& name : names) {
      const long result = registry.DeleteValue(key, name.c_str());
      if (result != kRegFileNotFound) check(result);
    }
    if (slot >= table.count) continue;
    const std::string& channel = table.names[slot];
    const std::string& password = table.passwords[slot];
    const ColorRef color = table.colors[slot];
    const unsigned char color_bytes[4] = {
        static_cast<unsigned char>(color), static_cast<unsigned char>(color >> 8),
        static_cast<unsigned char>(color >> 16), static_cast<unsigned char>(color >> 24)};
    check(registry.SetValue(key, names[0].c_str(), kRegSz, channel.c_str(),
                            static_cast<std::uint32_t>(channel.size() + 1)));
    check(registry.SetValue(key, names[1].c_str(), kRegDword, color_bytes, sizeof color_bytes));
    check(registry.SetValue(key, names[2].c_str(), kRegSz, password.c_str(),
                            static_cast<std::uint32_t>(password.size() + 1)));
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
// the merge quadratic.
using PoolNames = std::unordered_set<std::string>;

// Adds the account's channels whose names the pool lacks. A known name is
// skipped without reading its colour or password; the account's merge ends
// at the first unreadable name, or at a new name whose colour or password
// cannot be read.
void MergeAccount(Registry& registry, RegKey key, ChannelTable* pool, PoolNames* pool_names,
                  PoolLoadObserver& observer) {
  std::string name;
  std::string password;
  ColorRef color = 0;
  for (int slot = 0; !pool->IsFull(); ++slot) {
    if (!ReadString(registry, key, ValueName(Field::kName, slot), &name)) return;
    if (pool_names->count(name)) continue;
    if (!ReadColor(registry, key, ValueName(Field::kColor, slot), &color) ||
        !ReadString(registry, key, ValueName(Field::kPassword, slot), &password))
      return;
    pool->Append(name, password, color);
    pool_names->insert(name);
    observer.OnPoolEntryAdded(pool->count - 1);
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
