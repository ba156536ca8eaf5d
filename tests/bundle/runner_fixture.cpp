// A test program for the runner's own check, which copies it under the names
// of kModes: each runs one test of its own, and none should pass.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "scratch_hkcu.h"

TEST(Fixture, Fails) { FAIL() << "made to fail"; }

TEST(Fixture, ExitsMidTest) {  // as Chromatte does on two start-up errors
  std::printf("a start-up error\n");
  std::exit(0);
}

TEST(Fixture, Breakpoint) { DebugBreak(); }

// Half-way through writing its scratch HKEY_CURRENT_USER, which it leaves.
TEST(Fixture, Crashes) {
  chromatte::test::ScratchHkcu scratch;
  HKEY key;
  ASSERT_TRUE(scratch.ok());
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Halvek\\Zorvan\\Aldric\\ChatterChannels",
                                           0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr));
  RegSetValueExA(key, "Channel0", 0, REG_SZ, reinterpret_cast<const BYTE*>("half-way"), 9);
  *static_cast<volatile int*>(nullptr) = 0;
}

struct Mode {
  const char* program;  // the name it is copied under
  const char* filter;   // none: it prints nothing and exits 0
  bool brief;           // names no test as it starts: only the premature-exit file tells
  bool exits_0;         // whatever its tests said
};
constexpr Mode kModes[] = {
    {"fails_tests", "Fixture.Fails", false, false},
    {"failed_exit0_tests", "Fixture.Fails", false, true},
    {"exits_mid_test_tests", "Fixture.ExitsMidTest", false, false},
    {"brief_exit_tests", "Fixture.ExitsMidTest", true, false},
    {"breakpoint_tests", "Fixture.Breakpoint", false, false},
    {"crashes_tests", "Fixture.Crashes", false, false},
    {"no_test_tests", "None", false, false},  // as registry_tests's own main was
    {"silent_tests", nullptr, false, false},
};

int main(int argc, char** argv) {
  const Mode* mode = nullptr;
  for (const Mode& each : kModes)
    if (std::strstr(argv[0], each.program)) mode = &each;
  if (!mode) return 2;  // copied under a name it does not know
  if (!mode->filter) return 0;
  GTEST_FLAG_SET(brief, mode->brief);  // before the output is set up
  testing::InitGoogleTest(&argc, argv);
  GTEST_FLAG_SET(filter, mode->filter);
  GTEST_FLAG_SET(catch_exceptions, false);  // else an MSVC build reports a crash as a failed test
  const int status = RUN_ALL_TESTS();
  return mode->exits_0 ? 0 : status;
}
