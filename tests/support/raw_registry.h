// The real registry read and written with advapi32 itself, never through the
// code under test. Paths are under HKEY_CURRENT_USER, which a test program
// points at a scratch key first (scratch_hkcu.h).
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "registry_fixtures.h"

namespace chromatte {
namespace test {

inline bool RawKeyExists(const std::string& path) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// Creates the key, with those above it, and sets value `name` when given,
// to exactly `bytes`.
inline void RawSet(const std::string& path, const std::string& name = "", DWORD type = REG_SZ,
                   const std::string& bytes = "", DWORD options = REG_OPTION_NON_VOLATILE) {
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, options, KEY_ALL_ACCESS,
                                           nullptr, &key, nullptr));
  // advapi32 counts a REG_SZ's terminator in when the byte after the data is
  // zero, so a non-zero byte follows to keep the size exact.
  const std::string data = bytes + 'X';
  if (!name.empty()) {
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                            static_cast<DWORD>(bytes.size())));
  }
  RegCloseKey(key);
}

// Writes slot `n` into the key as the game client does.
inline void RawPutSlot(const std::string& path, int n, const Channel& channel) {
  RawSet(path, Slot(n), REG_SZ, channel.name + '\0');
  RawSet(path, Slot(n, "color"), REG_DWORD, std::string(reinterpret_cast<const char*>(&channel.color), 4));
  RawSet(path, Slot(n, "pwd"), REG_SZ, channel.password + '\0');
}

inline void RawPutList(const std::string& path, const std::vector<Channel>& list) {
  for (std::size_t i = 0; i < list.size(); ++i) RawPutSlot(path, static_cast<int>(i), list[i]);
}

// Every value of the key, whatever its size.
inline Snapshot RawValues(const std::string& path) {
  Snapshot values;
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
  DWORD longest_name = 0, longest_data = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longest_name, &longest_data,
                   nullptr, nullptr);
  std::string name(longest_name + 1, '\0'), data(longest_data, '\0');
  for (DWORD i = 0;; ++i) {
    DWORD name_size = longest_name + 1, size = longest_data, type = 0;
    if (RegEnumValueA(key, i, &name[0], &name_size, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size) !=
        ERROR_SUCCESS)
      break;
    values[name.substr(0, name_size)] = {type, data.substr(0, size)};
  }
  RegCloseKey(key);
  return values;
}

}  // namespace test
}  // namespace chromatte
