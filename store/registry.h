// The registry calls the store makes, one method per advapi32 call, so the
// same rules run on the real registry and on an in-memory one in tests.
#pragma once

#include <cstdint>
#include <string>

namespace chromatte {

// Opaque key handle: an HKEY for the real registry, an id for the in-memory one.
using RegKey = std::uintptr_t;

// advapi32 values, repeated here so that store/ builds without <windows.h>.
constexpr long kRegSuccess = 0;            // ERROR_SUCCESS
constexpr long kRegFileNotFound = 2;       // ERROR_FILE_NOT_FOUND
constexpr long kRegAccessDenied = 5;       // ERROR_ACCESS_DENIED
constexpr long kRegInvalidHandle = 6;      // ERROR_INVALID_HANDLE
constexpr long kRegMoreData = 234;         // ERROR_MORE_DATA
constexpr long kRegNoMoreItems = 259;      // ERROR_NO_MORE_ITEMS

constexpr std::uint32_t kKeyQueryValue = 0x0001;  // KEY_QUERY_VALUE
constexpr std::uint32_t kKeyRead = 0x20019;       // KEY_READ
constexpr std::uint32_t kKeyWrite = 0x20006;      // KEY_WRITE
constexpr std::uint32_t kKeyAllAccess = 0xF003F;  // KEY_ALL_ACCESS

constexpr std::uint32_t kRegSz = 1;     // REG_SZ
constexpr std::uint32_t kRegDword = 4;  // REG_DWORD

// Every method returns 0 on success and a Win32 error code otherwise.
// Paths are relative to HKEY_CURRENT_USER.
class Registry {
 public:
  virtual ~Registry() = default;

  // RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, access, key)
  virtual long OpenKey(const std::string& path, std::uint32_t access, RegKey* key) = 0;
  // RegEnumKeyA(key, index, buffer of 256, 256)
  virtual long EnumKey(RegKey key, std::uint32_t index, std::string* name) = 0;
  // RegQueryValueExA(key, name, NULL, NULL, data, size); with data null it
  // only reports the size, and a buffer too small gives kRegMoreData with
  // *size set to the size needed.
  virtual long QueryValue(RegKey key, const char* name, void* data, std::uint32_t* size) = 0;
  // RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, "", 0, access, NULL, key, &disposition);
  // *created tells whether the key is new (REG_CREATED_NEW_KEY).
  virtual long CreateKey(const std::string& path, std::uint32_t access, RegKey* key, bool* created) = 0;
  // The last-write time of RegQueryInfoKeyA, which changes with every value
  // set to new data or deleted; the handle needs KEY_QUERY_VALUE.
  virtual long QueryLastWriteTime(RegKey key, std::uint64_t* time) = 0;
  virtual long DeleteValue(RegKey key, const char* name) = 0;
  virtual long SetValue(RegKey key, const char* name, std::uint32_t type, const void* data,
                        std::uint32_t size) = 0;
  virtual long FlushKey(RegKey key) = 0;
  virtual long CloseKey(RegKey key) = 0;
};

// Closes its key when it goes out of scope, so no handle outlives an operation.
class ScopedKey {
 public:
  explicit ScopedKey(Registry& registry) : registry_(registry) {}
  ~ScopedKey() {
    if (open_) registry_.CloseKey(key_);
  }
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;

  long Open(const std::string& path, std::uint32_t access) { return Adopt(registry_.OpenKey(path, access, &key_)); }
  long Create(const std::string& path, std::uint32_t access, bool* created) {
    return Adopt(registry_.CreateKey(path, access, &key_, created));
  }
  RegKey get() const { return key_; }

 private:
  long Adopt(long result) {
    open_ = result == kRegSuccess;
    return result;
  }

  Registry& registry_;
  RegKey key_ = 0;
  bool open_ = false;
};

}  // namespace chromatte
