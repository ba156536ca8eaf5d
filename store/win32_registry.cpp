#include "win32_registry.h"

#include <windows.h>

namespace chromatte {
namespace {

HKEY ToHkey(RegKey key) { return reinterpret_cast<HKEY>(key); }

}  // namespace

long Win32Registry::OpenKey(const std::string& path, std::uint32_t access, RegKey* key) {
  HKEY opened = nullptr;
  const LONG result = RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, access, &opened);
  if (result == ERROR_SUCCESS) *key = reinterpret_cast<RegKey>(opened);
  return result;
}

long Win32Registry::EnumKey(RegKey key, std::uint32_t index, std::string* name) {
  char buffer[256];
  const LONG result = RegEnumKeyA(ToHkey(key), index, buffer, sizeof buffer);
  if (result == ERROR_SUCCESS) *name = buffer;
  return result;
}

long Win32Registry::QueryValue(RegKey key, const char* name, void* data, std::uint32_t* size) {
  DWORD bytes = *size;
  const LONG result = RegQueryValueExA(ToHkey(key), name, nullptr, nullptr, static_cast<BYTE*>(data), &bytes);
  *size = bytes;
  return result;
}

long Win32Registry::CreateKey(const std::string& path, std::uint32_t access, RegKey* key, bool* created) {
  HKEY handle = nullptr;
  DWORD disposition = 0;
  char no_class[] = "";
  const LONG result = RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, no_class, REG_OPTION_NON_VOLATILE,
                                      access, nullptr, &handle, &disposition);
  if (result == ERROR_SUCCESS) {
    *key = reinterpret_cast<RegKey>(handle);
    *created = disposition == REG_CREATED_NEW_KEY;
  }
  return result;
}

long Win32Registry::QueryLastWriteTime(RegKey key, std::uint64_t* time) {
  FILETIME last_write = {};
  const LONG result = RegQueryInfoKeyA(ToHkey(key), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                       nullptr, nullptr, nullptr, &last_write);
  if (result == ERROR_SUCCESS) *time = std::uint64_t{last_write.dwHighDateTime} << 32 | last_write.dwLowDateTime;
  return result;
}

long Win32Registry::DeleteValue(RegKey key, const char* name) { return RegDeleteValueA(ToHkey(key), name); }

long Win32Registry::SetValue(RegKey key, const char* name, std::uint32_t type, const void* data,
                             std::uint32_t size) {
  return RegSetValueExA(ToHkey(key), name, 0, type, static_cast<const BYTE*>(data), size);
}

long Win32Registry::FlushKey(RegKey key) { return RegFlushKey(ToHkey(key)); }

long Win32Registry::CloseKey(RegKey key) { return RegCloseKey(ToHkey(key)); }

}  // namespace chromatte
