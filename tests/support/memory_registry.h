// An in-memory registry for tests: keys and values as advapi32 keeps them
// (case-insensitive names, subkeys enumerated in Wine's name order, exact
// types and byte sizes, per-handle access rights, a last-write time that
// every change of a key's values moves on), with failures injected on
// demand. Its calls allocate nothing that counts as the program's: the real
// registry does not use the program's heap.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "registry.h"

namespace chromatte {
namespace test {

enum class RegOp { kOpen, kEnum, kQuery, kCreate, kDelete, kSet, kFlush, kClose, kQueryInfo };

class MemoryRegistry : public Registry {
 public:
  struct Value {
    std::uint32_t type = 0;
    std::string bytes;
    std::uint32_t claimed_size = 0;
  };

  // Set-up and inspection for tests: no failure injection, no access checks.
  // Puts and removals change keys as another program would.
  void AddKey(const std::string& path);
  void PutValue(const std::string& path, const std::string& name, std::uint32_t type, std::string bytes);
  void PutString(const std::string& path, const std::string& name, const std::string& text);
  void PutDword(const std::string& path, const std::string& name, std::uint32_t value);
  void RemoveKey(const std::string& path);
  // Makes a value report `size` bytes to a reader whose buffer is smaller,
  // as a value too large to hold in memory would.
  void ClaimSize(const std::string& path, const std::string& name, std::uint32_t size);
  bool HasKey(const std::string& path) const;
  const Value* FindValue(const std::string& path, const std::string& name) const;
  std::vector<std::string> ValueNames(const std::string& path) const;
  int OpenHandleCount() const { return static_cast<int>(handles_.size()); }

  // Makes every matching call fail with `error`. An empty key path or value
  // name matches any; paths of calls on a handle are the handle's key's path.
  void FailOn(RegOp op, const std::string& path = {}, const std::string& value_name = {},
              long error = kRegAccessDenied);
  // Makes the call with this number fail, counting every call from 0.
  void FailCallNumber(std::uint64_t number, long error = kRegAccessDenied);
  // Makes every call from this number on fail, as if the process had ended
  // just before it.
  void StopAtCallNumber(std::uint64_t number) { stop_at_call_ = number; }
  void ClearFailures();
  std::uint64_t CallCount() const { return calls_; }

  long OpenKey(const std::string& path, std::uint32_t access, RegKey* key) override;
  long EnumKey(RegKey key, std::uint32_t index, std::string* name) override;
  long QueryValue(RegKey key, const char* name, void* data, std::uint32_t* size) override;
  long CreateKey(const std::string& path, std::uint32_t access, RegKey* key, bool* created) override;
  long QueryLastWriteTime(RegKey key, std::uint64_t* time) override;
  long DeleteValue(RegKey key, const char* name) override;
  long SetValue(RegKey key, const char* name, std::uint32_t type, const void* data,
                std::uint32_t size) override;
  long FlushKey(RegKey key) override;
  long CloseKey(RegKey key) override;

 private:
  struct CaseInsensitiveLess {
    bool operator()(const std::string& a, const std::string& b) const;
  };
  struct Node {
    std::map<std::string, Node, CaseInsensitiveLess> children;
    std::map<std::string, Value, CaseInsensitiveLess> values;
    std::uint64_t last_write = 0;
  };
  struct Handle {
    std::string path;
    std::uint32_t access = 0;
  };
  struct Failure {
    RegOp op;
    std::string path;
    std::string value_name;
    long error;
  };

  Node* Find(const std::string& path);
  const Node* Find(const std::string& path) const;
  // The key, made with any missing key above it; *created tells whether it was.
  Node& FindOrAdd(const std::string& path, bool* created = nullptr);
  // A time later than any before: the real clock's resolution is finer than
  // any two writes of a test.
  void Touch(Node& node) { node.last_write = ++clock_; }
  // Counts the call and returns the error injected for it, or 0.
  long InjectedFailure(RegOp op, const std::string& path, const char* value_name);
  // The key of an open handle with the given rights, or null with *error set.
  Node* KeyFor(RegKey key, std::uint32_t rights, long* error);
  const std::string& PathOf(RegKey key) const;

  Node root_;
  std::map<RegKey, Handle> handles_;
  RegKey next_handle_ = 0x100;
  std::uint64_t clock_ = 0;
  std::vector<Failure> failures_;
  std::map<std::uint64_t, long> failing_call_numbers_;
  std::uint64_t stop_at_call_ = UINT64_MAX;
  std::uint64_t calls_ = 0;
};

}  // namespace test
}  // namespace chromatte
