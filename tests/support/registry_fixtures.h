// Helpers shared by the store tests: stored slots, table snapshots and a
// registry wrapper that records which call is which.
#pragma once

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "channel_store.h"
#include "memory_registry.h"

namespace chromatte {
namespace test {

struct Channel {
  std::string name;
  std::string password;
  ColorRef color;
  bool operator==(const Channel& o) const {
    return name == o.name && password == o.password && color == o.color;
  }
};

inline void PrintTo(const Channel& c, std::ostream* os) {
  *os << '{' << c.name << ", " << c.password << ", 0x" << std::hex << c.color << std::dec << '}';
}

inline std::string Slot(int n, const char* suffix = "") { return "Channel" + std::to_string(n) + suffix; }

inline void PutSlot(MemoryRegistry& registry, const std::string& key, int n, const Channel& channel) {
  registry.PutString(key, Slot(n), channel.name);
  registry.PutString(key, Slot(n, "pwd"), channel.password);
  registry.PutDword(key, Slot(n, "color"), channel.color);
}

inline void PutList(MemoryRegistry& registry, const std::string& key, const std::vector<Channel>& list) {
  for (std::size_t i = 0; i < list.size(); ++i) PutSlot(registry, key, static_cast<int>(i), list[i]);
}

// The list, less the one value of slot `n` named by `suffix` ("", "pwd" or "color").
inline void PutListWithout(MemoryRegistry& registry, const std::string& key, const std::vector<Channel>& list,
                           int n, const std::string& suffix) {
  for (int i = 0; i < static_cast<int>(list.size()); ++i) {
    if (i != n || suffix != "") registry.PutString(key, Slot(i), list[i].name);
    if (i != n || suffix != "pwd") registry.PutString(key, Slot(i, "pwd"), list[i].password);
    if (i != n || suffix != "color") registry.PutDword(key, Slot(i, "color"), list[i].color);
  }
}

inline std::vector<Channel> Entries(const ChannelTable& table) {
  std::vector<Channel> entries;
  for (int i = 0; i < table.count; ++i) entries.push_back({table.names[i], table.passwords[i], table.colors[i]});
  return entries;
}

inline void Fill(ChannelTable* table, const std::vector<Channel>& list) {
  table->count = 0;
  for (const Channel& c : list) table->Append(c.name, c.password, c.color);
}

// The store's loads and saves as most tests make them, with no other
// program writing in between: each load notes a stamp of its own, and each
// save writes whatever the key holds.
inline bool LoadChannels(Registry& registry, const std::string& account, ChannelTable* channels) {
  KeyStamp stamp;
  return LoadAccountChannels(registry, account, channels, &stamp) != ReadResult::kUnreadable;
}

inline bool SaveOver(Registry& registry, const std::string& account, const ChannelTable& channels) {
  KeyStamp stamp;
  return SaveAccountChannels(registry, account, channels, &stamp, IfChanged::kOverwrite) == SaveResult::kSaved;
}

inline void LoadPoolOnce(Registry& registry, const AccountList& accounts, ChannelTable* pool,
                         PoolLoadObserver& observer) {
  PoolOrigin origin;
  LoadPool(registry, accounts, pool, &origin, observer);
}

inline bool SavePoolOver(Registry& registry, const ChannelTable& pool) {
  KeyStamp stamp;
  return SavePool(registry, pool, &stamp, IfChanged::kOverwrite) == SaveResult::kSaved;
}

// Every value of a key as name -> (type, bytes).
using Snapshot = std::map<std::string, std::pair<std::uint32_t, std::string>>;

inline Snapshot Values(const MemoryRegistry& registry, const std::string& key) {
  Snapshot values;
  for (const std::string& name : registry.ValueNames(key)) {
    const MemoryRegistry::Value* value = registry.FindValue(key, name);
    values[name] = {value->type, value->bytes};
  }
  return values;
}

// A key's values as they are after `list` was saved into it, plus `extra`.
inline Snapshot Saved(const std::string& key, const std::vector<Channel>& list,
                      const std::function<void(MemoryRegistry&)>& extra = nullptr) {
  MemoryRegistry expected;
  PutList(expected, key, list);
  if (extra) extra(expected);
  return Values(expected, key);
}

inline const char* OpName(RegOp op) {
  static const char* const kNames[] = {"open", "enum-key", "query", "create", "delete",
                                       "set",  "flush",    "close", "query-info"};
  return kNames[static_cast<int>(op)];
}

// Passes every call on to another registry through Pass, which a test or a
// benchmark overrides to see each call: its operation, the path of its key,
// its value name, and the call itself to make.
class ForwardingRegistry : public Registry {
 public:
  explicit ForwardingRegistry(Registry& inner) : inner_(inner) {}

  long OpenKey(const std::string& path, std::uint32_t access, RegKey* key) override {
    return Opened(path, key, Pass(RegOp::kOpen, path, "", [&] { return inner_.OpenKey(path, access, key); }));
  }
  long EnumKey(RegKey key, std::uint32_t index, std::string* name) override {
    return Pass(RegOp::kEnum, paths_[key], "", [&] { return inner_.EnumKey(key, index, name); });
  }
  long QueryValue(RegKey key, const char* name, void* data, std::uint32_t* size) override {
    return Pass(RegOp::kQuery, paths_[key], name, [&] { return inner_.QueryValue(key, name, data, size); });
  }
  long CreateKey(const std::string& path, std::uint32_t access, RegKey* key, bool* created) override {
    return Opened(path, key,
                  Pass(RegOp::kCreate, path, "", [&] { return inner_.CreateKey(path, access, key, created); }));
  }
  long QueryLastWriteTime(RegKey key, std::uint64_t* time) override {
    return Pass(RegOp::kQueryInfo, paths_[key], "", [&] { return inner_.QueryLastWriteTime(key, time); });
  }
  long DeleteValue(RegKey key, const char* name) override {
    return Pass(RegOp::kDelete, paths_[key], name, [&] { return inner_.DeleteValue(key, name); });
  }
  long SetValue(RegKey key, const char* name, std::uint32_t type, const void* data,
                std::uint32_t size) override {
    return Pass(RegOp::kSet, paths_[key], name, [&] { return inner_.SetValue(key, name, type, data, size); });
  }
  long FlushKey(RegKey key) override {
    return Pass(RegOp::kFlush, paths_[key], "", [&] { return inner_.FlushKey(key); });
  }
  long CloseKey(RegKey key) override {
    return Pass(RegOp::kClose, paths_[key], "", [&] { return inner_.CloseKey(key); });
  }

 protected:
  virtual long Pass(RegOp op, const std::string& path, const char* value, const std::function<long()>& call) = 0;

 private:
  long Opened(const std::string& path, RegKey* key, long result) {
    if (result == kRegSuccess) paths_[*key] = path;
    return result;
  }

  Registry& inner_;
  std::map<RegKey, std::string> paths_;
};

// Remembers every call made through it with its result, so a test can tell
// what failing call number n means and a benchmark which calls a run made.
class CallLog : public ForwardingRegistry {
 public:
  struct Call {
    RegOp op;
    std::string path;
    std::string value;
    long result;
  };

  using ForwardingRegistry::ForwardingRegistry;
  const std::vector<Call>& calls() const { return calls_; }
  void Clear() { calls_.clear(); }

  // "N calls (a open, b enum-key, c query of which d missing, ...)".
  std::string Summary() const {
    constexpr int kKindCount = static_cast<int>(RegOp::kQueryInfo) + 1;
    std::size_t counts[kKindCount] = {}, failed_queries = 0;
    for (const Call& call : calls_) {
      ++counts[static_cast<int>(call.op)];
      if (call.op == RegOp::kQuery && call.result != kRegSuccess) ++failed_queries;
    }
    std::string text = std::to_string(calls_.size()) + " calls (";
    const char* separator = "";
    for (int kind = 0; kind < kKindCount; ++kind) {
      if (!counts[kind]) continue;
      text += separator + std::to_string(counts[kind]) + " " + OpName(static_cast<RegOp>(kind));
      if (kind == static_cast<int>(RegOp::kQuery) && failed_queries)
        text += " of which " + std::to_string(failed_queries) + " missing";
      separator = ", ";
    }
    return text + ")";
  }

 protected:
  long Pass(RegOp op, const std::string& path, const char* value, const std::function<long()>& call) override {
    const long result = call();
    calls_.push_back({op, path, value, result});
    return result;
  }

 private:
  std::vector<Call> calls_;
};

// Notes what the pool's loading tells its caller, and nothing more.
struct PoolRecorder : PoolLoadObserver {
  void OnPoolEntryAdded(int index) override { added.push_back(index); }
  void OnAccountUnreadable(const std::string& account) override { unreadable.push_back(account); }

  std::vector<int> added;
  std::vector<std::string> unreadable;
};

}  // namespace test
}  // namespace chromatte
