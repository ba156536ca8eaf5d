#include "scratch_hkcu.h"

#include <cstdio>

namespace chromatte {
namespace test {
namespace {

constexpr char kParent[] = "Software\\ChromatteTests";

void ScratchPath(DWORD pid, char (&path)[64]) {
  std::snprintf(path, sizeof path, "%s\\%lu", kParent, static_cast<unsigned long>(pid));
}

}  // namespace

ScratchHkcu::ScratchHkcu() {
  ScratchPath(GetCurrentProcessId(), path_);
  // A key left by an earlier run of the same process id is stale.
  RegDeleteTreeA(HKEY_CURRENT_USER, path_);
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path_, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      &key_, nullptr) != ERROR_SUCCESS) {
    key_ = nullptr;
    std::fprintf(stderr, "cannot create HKEY_CURRENT_USER\\%s\n", path_);
    return;
  }
  redirected_ = RegOverridePredefKey(HKEY_CURRENT_USER, key_) == ERROR_SUCCESS;
  if (!redirected_) std::fprintf(stderr, "cannot point HKEY_CURRENT_USER at %s\n", path_);
}

ScratchHkcu::~ScratchHkcu() {
  if (redirected_) RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  if (!key_) return;
  RegCloseKey(key_);
  DeleteScratchKey(GetCurrentProcessId());
}

void DeleteScratchKey(DWORD pid) {
  char path[64];
  ScratchPath(pid, path);
  RegDeleteTreeA(HKEY_CURRENT_USER, path);
  // RegDeleteKey would also take a parent that holds values, which are not ours.
  HKEY parent;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kParent, 0, KEY_QUERY_VALUE, &parent) != ERROR_SUCCESS) return;
  DWORD subkeys = 0, values = 0;
  const bool empty = RegQueryInfoKeyA(parent, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                                      nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
                     subkeys == 0 && values == 0;
  RegCloseKey(parent);
  if (empty) RegDeleteKeyA(HKEY_CURRENT_USER, kParent);
}

bool ScratchHkcu::Clear() { return key_ && RegDeleteTreeA(key_, nullptr) == ERROR_SUCCESS; }

}  // namespace test
}  // namespace chromatte
