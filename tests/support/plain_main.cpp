// Test entry of the tests without Qt: each process in a profile of its own.
#include <gtest/gtest.h>

#include "IsolatedProfile.h"

int main(int argc, char** argv) {
  IsolatedProfile profile;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
