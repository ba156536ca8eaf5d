// The store's registry calls on the real registry (advapi32), under
// HKEY_CURRENT_USER.
#pragma once

#include "registry.h"

namespace chromatte {

class Win32Registry : public Registry {
 public:
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
};

}  // namespace chromatte
