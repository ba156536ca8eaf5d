// The real registry read and written with advapi32 itself, never through the
// code under test. Paths are under HKEY_CURRENT_USER, which a test program
// points at a scratch key first (scratch_hkcu.h).
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "registry_fixtures.h"

namespace uitest {

// Creates the key, with those above it, and sets value `name` when given.
inline void RawSet(const std::string& path, const std::string& name = "", DWORD type = REG_SZ,
                   const std::string& bytes = "", DWORD options = REG_OPTION_NON_VOLATILE) {
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, options, KEY_ALL_ACCESS,
                                           nullptr, &key, nullptr));
  if (!name.empty())
    RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
  RegCloseKey(key);
}

// Writes `list` into the key as the game client does.
inline void RawPutList(const std::string& path, const std::vector<chromatte::test::Channel>& list) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    const std::string slot = chromatte::test::Slot(static_cast<int>(i));
    RawSet(path, slot, REG_SZ, list[i].name + '\0');
    RawSet(path, slot + "color", REG_DWORD, std::string(reinterpret_cast<const char*>(&list[i].color), 4));
    RawSet(path, slot + "pwd", REG_SZ, list[i].password + '\0');
  }
}

inline chromatte::test::Snapshot RawValues(const std::string& path) {
  chromatte::test::Snapshot values;
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

}  // namespace uitest
