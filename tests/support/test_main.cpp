// GoogleTest's main, failing when no test was selected.
#include <gtest/gtest.h>

#include "selected_tests.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  return chromatte::test::RunSelectedTests();
}
