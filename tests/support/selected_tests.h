// RUN_ALL_TESTS(), but a run that selects no test fails: a filter that
// matches nothing, after a test is renamed, would otherwise pass for ever.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>

namespace chromatte {
namespace test {

inline int RunSelectedTests() {
  const int result = RUN_ALL_TESTS();
  if (testing::UnitTest::GetInstance()->test_to_run_count() == 0) {
    std::fprintf(stderr, "No test selected: nothing was checked.\n");
    return 1;
  }
  return result;
}

}  // namespace test
}  // namespace chromatte
