// Points this process's HKEY_CURRENT_USER at a scratch key, so that a test
// program can write "the user's" registry without touching real data, under
// Wine and on a real Windows machine alike.
//
// Hold one in main() around RUN_ALL_TESTS(), and run no test when ok() is
// false: then HKEY_CURRENT_USER is still the real one.
#pragma once

#include <windows.h>

namespace chromatte {
namespace test {

// While it lives, HKEY_CURRENT_USER is HKCU\Software\ChromatteTests\<pid>,
// created with the real HKEY_CURRENT_USER first. The destructor gives the
// process its real HKEY_CURRENT_USER back and deletes the scratch key.
class ScratchHkcu {
 public:
  ScratchHkcu();
  ~ScratchHkcu();
  ScratchHkcu(const ScratchHkcu&) = delete;
  ScratchHkcu& operator=(const ScratchHkcu&) = delete;

  bool ok() const { return redirected_; }
  // Deletes every value and subkey of the scratch key, for a test to start
  // from an empty HKEY_CURRENT_USER. Works through the scratch key's own
  // handle, never through HKEY_CURRENT_USER.
  bool Clear();

 private:
  HKEY key_ = nullptr;
  bool redirected_ = false;
  char path_[64] = {};
};

// Deletes the scratch key of process `pid`, and its parent when it holds
// neither a subkey (another run's) nor a value. A program that crashed never
// ran its ScratchHkcu's destructor: the test bundle's runner calls this after
// each program it ran.
void DeleteScratchKey(DWORD pid);

}  // namespace test
}  // namespace chromatte
