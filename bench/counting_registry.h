// Passes every call on to another registry and counts them by kind, so that
// a run on the real registry can say which calls it made.
#pragma once

#include <cstdint>
#include <string>

#include "registry.h"

namespace chromatte {
namespace bench {

struct CallCounts {
  std::uint64_t open = 0, enum_key = 0, query = 0, query_failed = 0, create = 0, del = 0, set = 0, flush = 0,
                close = 0;
  std::uint64_t total() const { return open + enum_key + query + create + del + set + flush + close; }
};

class CountingRegistry : public Registry {
 public:
  explicit CountingRegistry(Registry& inner) : inner_(inner) {}

  const CallCounts& counts() const { return counts_; }
  void Reset() { counts_ = CallCounts(); }

  long OpenKeyForRead(const std::string& path, RegKey* key) override {
    ++counts_.open;
    return inner_.OpenKeyForRead(path, key);
  }
  long EnumKey(RegKey key, std::uint32_t index, std::string* name) override {
    ++counts_.enum_key;
    return inner_.EnumKey(key, index, name);
  }
  long QueryValue(RegKey key, const char* name, void* data, std::uint32_t* size) override {
    ++counts_.query;
    const long result = inner_.QueryValue(key, name, data, size);
    if (result != kRegSuccess) ++counts_.query_failed;
    return result;
  }
  long CreateKey(const std::string& path, std::uint32_t access, RegKey* key) override {
    ++counts_.create;
    return inner_.CreateKey(path, access, key);
  }
  long DeleteValue(RegKey key, const char* name) override {
    ++counts_.del;
    return inner_.DeleteValue(key, name);
  }
  long SetValue(RegKey key, const char* name, std::uint32_t type, const void* data, std::uint32_t size) override {
    ++counts_.set;
    return inner_.SetValue(key, name, type, data, size);
  }
  long FlushKey(RegKey key) override {
    ++counts_.flush;
    return inner_.FlushKey(key);
  }
  long CloseKey(RegKey key) override {
    ++counts_.close;
    return inner_.CloseKey(key);
  }

 private:
  Registry& inner_;
  CallCounts counts_;
};

inline std::string Describe(const CallCounts& c) {
  std::string text = std::to_string(c.total()) + " calls (";
  auto part = [&text](const char* what, std::uint64_t n, bool first = false) {
    if (!n) return;
    if (!first && text.back() != '(') text += ", ";
    text += std::to_string(n) + " " + what;
  };
  part("open", c.open, true);
  part("enum-key", c.enum_key);
  part("query", c.query);
  if (c.query_failed) text += " of which " + std::to_string(c.query_failed) + " missing";
  part("create", c.create);
  part("delete", c.del);
  part("set", c.set);
  part("flush", c.flush);
  part("close", c.close);
  return text + ")";
}

}  // namespace bench
}  // namespace chromatte
