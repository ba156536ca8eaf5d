// A test program for the runner's own check, which copies it under two
// names: as fails_tests.exe it fails a test; as crashes_tests.exe it crashes
// half-way through a test, its scratch HKEY_CURRENT_USER written and left.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "scratch_hkcu.h"

int main(int, char** argv) {
  const bool crash = std::strstr(argv[0], "crashes_tests") != nullptr;
  std::printf("[ RUN      ] Fixture.%s\n", crash ? "Crashes" : "Fails");
  std::fflush(stdout);
  if (!crash) {
    std::printf("made to fail\n[  FAILED  ] Fixture.Fails (0 ms)\n");
    return 1;
  }
  chromatte::test::ScratchHkcu scratch;
  HKEY key;
  if (!scratch.ok() || RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Halvek\\Zorvan\\Aldric\\ChatterChannels", 0,
                                       nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return 1;
  RegSetValueExA(key, "Channel0", 0, REG_SZ, reinterpret_cast<const BYTE*>("half-way"), 9);
  *static_cast<volatile int*>(nullptr) = 0;
  return 0;
}
