// GoogleTest main for tests that need no toolkit event loop.
#include <gtest/gtest.h>

#include "sandbox.h"

int main(int argc, char** argv) {
  testing_sandbox::Enter();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
