// The maintenance tests' program also serves them as the stand-in launcher they copy into a stack
// tree: with CORVALA_TEST_ROLE set it does not run the tests but one of the helper roles.
#include "HelperRole.h"

#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
  if (std::getenv(HelperRoleVariable) != nullptr)
    return RunHelperRole(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
