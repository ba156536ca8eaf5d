#include "memory_registry.h"

#include <algorithm>
#include <cstring>

#include "allocation_failures.h"

namespace chromatte {
namespace test {
namespace {

constexpr std::uint32_t kKeySetValue = 0x0002;
constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
constexpr long kRegKeyDeleted = 1018;  // ERROR_KEY_DELETED

// Names are matched and ordered as Wine's registry does: the cp1252 byte is
// taken as its Unicode character and lower-cased (so "_" sorts before "A",
// "\xC9" and "\xE9" are one name, and the euro sign sorts after letters).
struct FoldTable {
  char16_t folded[256];
  FoldTable() {
    static const char16_t k80To9F[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    for (int byte = 0; byte < 256; ++byte) {
      char16_t u = (byte >= 0x80 && byte < 0xA0) ? k80To9F[byte - 0x80] : static_cast<char16_t>(byte);
      if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7)) u += 0x20;
      if (u == 0x0160 || u == 0x0152 || u == 0x017D) u += 1;  // Š Œ Ž
      if (u == 0x0178) u = 0x00FF;                              // Ÿ
      folded[byte] = u;
    }
  }
};
const FoldTable kFold;

char16_t Fold(char c) { return kFold.folded[static_cast<unsigned char>(c)]; }

bool EqualsFolded(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Fold(x) == Fold(y); });
}

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string::size_type start = 0;
  while (start <= path.size()) {
    const std::string::size_type end = std::min(path.find('\\', start), path.size());
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

}  // namespace

bool MemoryRegistry::CaseInsensitiveLess::operator()(const std::string& a, const std::string& b) const {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const char16_t x = kFold.folded[static_cast<unsigned char>(a[i])];
    const char16_t y = kFold.folded[static_cast<unsigned char>(b[i])];
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

MemoryRegistry::Node* MemoryRegistry::Find(const std::string& path) {
  return const_cast<Node*>(static_cast<const MemoryRegistry*>(this)->Find(path));
}

// Called for every operation on a handle, so it walks the path in place
// rather than splitting it.
const MemoryRegistry::Node* MemoryRegistry::Find(const std::string& path) const {
  const Node* node = &root_;
  std::string part;
  for (std::string::size_type start = 0; start <= path.size();) {
    const std::string::size_type end = std::min(path.find('\\', start), path.size());
    if (end > start) {
      part.assign(path, start, end - start);
      const auto child = node->children.find(part);
      if (child == node->children.end()) return nullptr;
      node = &child->second;
    }
    start = end + 1;
  }
  return node;
}

MemoryRegistry::Node& MemoryRegistry::FindOrAdd(const std::string& path, bool* created) {
  Node* node = &root_;
  bool made = false;
  for (const std::string& part : SplitPath(path)) {
    const auto child = node->children.emplace(part, Node());
    node = &child.first->second;
    made = child.second;
    if (made) Touch(*node);
  }
  if (created) *created = made;
  return *node;
}

void MemoryRegistry::AddKey(const std::string& path) { FindOrAdd(path); }

void MemoryRegistry::PutValue(const std::string& path, const std::string& name, std::uint32_t type,
                              std::string bytes) {
  Node& node = FindOrAdd(path);
  node.values[name] = Value{type, std::move(bytes)};
  Touch(node);
}

void MemoryRegistry::PutString(const std::string& path, const std::string& name, const std::string& text) {
  PutValue(path, name, kRegSz, text + '\0');
}

void MemoryRegistry::PutDword(const std::string& path, const std::string& name, std::uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
  PutValue(path, name, kRegDword, bytes);
}

void MemoryRegistry::RemoveKey(const std::string& path) {
  std::vector<std::string> parts = SplitPath(path);
  if (parts.empty()) return;
  const std::string last = parts.back();
  parts.pop_back();
  Node* node = &root_;
  for (const std::string& part : parts) {
    const auto child = node->children.find(part);
    if (child == node->children.end()) return;
    node = &child->second;
  }
  node->children.erase(last);
}

void MemoryRegistry::ClaimSize(const std::string& path, const std::string& name, std::uint32_t size) {
  FindOrAdd(path).values[name].claimed_size = size;
}

bool MemoryRegistry::HasKey(const std::string& path) const { return Find(path) != nullptr; }

const MemoryRegistry::Value* MemoryRegistry::FindValue(const std::string& path, const std::string& name) const {
  const Node* node = Find(path);
  if (!node) return nullptr;
  const auto value = node->values.find(name);
  return value == node->values.end() ? nullptr : &value->second;
}

std::vector<std::string> MemoryRegistry::ValueNames(const std::string& path) const {
  std::vector<std::string> names;
  if (const Node* node = Find(path))
    for (const auto& value : node->values) names.push_back(value.first);
  return names;
}

void MemoryRegistry::FailOn(RegOp op, const std::string& path, const std::string& value_name, long error) {
  failures_.push_back(Failure{op, path, value_name, error});
}

void MemoryRegistry::FailCallNumber(std::uint64_t number, long error) { failing_call_numbers_[number] = error; }

void MemoryRegistry::ClearFailures() {
  failures_.clear();
  failing_call_numbers_.clear();
  stop_at_call_ = UINT64_MAX;
}

long MemoryRegistry::InjectedFailure(RegOp op, const std::string& path, const char* value_name) {
  if (calls_ >= stop_at_call_) {
    ++calls_;
    return kRegAccessDenied;
  }
  const auto numbered = failing_call_numbers_.find(calls_++);
  if (numbered != failing_call_numbers_.end()) return numbered->second;
  for (const Failure& failure : failures_) {
    if (failure.op != op) continue;
    if (!failure.path.empty() && !EqualsFolded(failure.path, path)) continue;
    if (!failure.value_name.empty() && !(value_name && EqualsFolded(failure.value_name, value_name))) continue;
    return failure.error;
  }
  return kRegSuccess;
}

const std::string& MemoryRegistry::PathOf(RegKey key) const {
  static const std::string kNone;
  const auto handle = handles_.find(key);
  return handle == handles_.end() ? kNone : handle->second.path;
}

MemoryRegistry::Node* MemoryRegistry::KeyFor(RegKey key, std::uint32_t rights, long* error) {
  const auto handle = handles_.find(key);
  if (handle == handles_.end()) {
    *error = kRegInvalidHandle;
    return nullptr;
  }
  if ((handle->second.access & rights) != rights) {
    *error = kRegAccessDenied;
    return nullptr;
  }
  Node* node = Find(handle->second.path);
  if (!node) *error = kRegKeyDeleted;
  return node;
}

long MemoryRegistry::OpenKey(const std::string& path, std::uint32_t access, RegKey* key) {
  const UncountedAllocations uncounted;
  if (const long error = InjectedFailure(RegOp::kOpen, path, nullptr)) return error;
  if (!Find(path)) return kRegFileNotFound;
  *key = next_handle_++;
  handles_[*key] = Handle{path, access};
  return kRegSuccess;
}

long MemoryRegistry::EnumKey(RegKey key, std::uint32_t index, std::string* name) {
  const UncountedAllocations uncounted;
  if (const long error = InjectedFailure(RegOp::kEnum, PathOf(key), nullptr)) return error;
  long error = kRegSuccess;
  const Node* node = KeyFor(key, kKeyEnumerateSubKeys, &error);
  if (!node) return error;
  if (index >= node->children.size()) return kRegNoMoreItems;
  const std::string& child = std::next(node->children.begin(), index)->first;
  if (child.size() > 255) return kRegMoreData;
  *name = child;
  return kRegSuccess;
}

long MemoryRegistry::QueryValue(RegKey key, const char* name, void* data, std::uint32_t* size) {
  const UncountedAllocations uncounted;
  if (const long error = InjectedFailure(RegOp::kQuery, PathOf(key), name)) return error;
  long error = kRegSuccess;
  const Node* node = KeyFor(key, kKeyQueryValue, &error);
  if (!node) return error;
  const auto value = node->values.find(name);
  if (value == node->values.end()) return kRegFileNotFound;
  const std::string& bytes = value->second.bytes;
  const std::uint32_t capacity = *size;
  *size = std::max(value->second.claimed_size, static_cast<std::uint32_t>(bytes.size()));
  if (!data) return kRegSuccess;
  if (capacity < *size) return kRegMoreData;
  std::memcpy(data, bytes.data(), bytes.size());
  *size = static_cast<std::uint32_t>(bytes.size());
  return kRegSuccess;
}

long MemoryRegistry::CreateKey(const std::string& path, std::uint32_t access, RegKey* key, bool* created) {
  const UncountedAllocations uncounted;
  if (const long error = InjectedFailure(RegOp::kCreate, path, nullptr)) return error;
  FindOrAdd(path, created);
  *key = next_handle_++;
  handles_[*key] = Handle{path, access};
  return kRegSuccess;
}

long MemoryRegistry::QueryLastWriteTime(RegKey key, std::uint64_t* time) {
  const UncountedAllocations uncounted;
  if (const long error = InjectedFailure(RegOp::kQueryInfo, PathOf(key), nullptr)) return error;
  long error = kRegSuccess;
  const Node* node = KeyFor(key, kKeyQueryValue, &error);
  if (!node) return error;
  *time = node->last_write;
  return kRegSuccess;
}

long MemoryRegistry::DeleteValue(RegKey key, const char* name) {
  const UncountedAllocations uncounted;
  if (const long error = InjectedFailure(RegOp::kDelete, PathOf(key), name)) return error;
  long error = kRegSuccess;
  Node* node = KeyFor(key, kKeySetValue, &error);
  if (!node) return error;
  if (!node->values.erase(name)) return kRegFileNotFound;
  Touch(*node);
  return kRegSuccess;
}

long MemoryRegistry::SetValue(RegKey key, const char* name, std::uint32_t type, const void* data,
                              std::uint32_t size) {
  const UncountedAllocations uncounted;
  if (const long error = InjectedFailure(RegOp::kSet, PathOf(key), name)) return error;
  long error = kRegSuccess;
  Node* node = KeyFor(key, kKeySetValue, &error);
  if (!node) return error;
  node->values[name] = Value{type, std::string(static_cast<const char*>(data), size)};
  Touch(*node);
  return kRegSuccess;
}

long MemoryRegistry::FlushKey(RegKey key) {
  const UncountedAllocations uncounted;
  if (const long error = InjectedFailure(RegOp::kFlush, PathOf(key), nullptr)) return error;
  long error = kRegSuccess;
  return KeyFor(key, 0, &error) ? kRegSuccess : error;
}

long MemoryRegistry::CloseKey(RegKey key) {
  const UncountedAllocations uncounted;
  const long injected = InjectedFailure(RegOp::kClose, PathOf(key), nullptr);
  // A close made to fail still releases the handle, so that leak counts stay exact.
  return handles_.erase(key) ? injected : kRegInvalidHandle;
}

}  // namespace test
}  // namespace chromatte
