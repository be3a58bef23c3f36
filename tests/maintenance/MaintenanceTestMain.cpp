// The maintenance tests run on Qt's offscreen platform. The same program also serves the tests as
// the stand-in launcher they copy into a stack tree: with CORVALA_TEST_ROLE set it does not run
// the tests but one of the helper roles below.
#include "HelperRole.h"
#include "shell/ErrorReport.h"
#include "widgets/ApplicationTitle.h"

#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
  if (std::getenv(HelperRoleVariable) != nullptr)
    return RunHelperRole(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests))
    return RUN_ALL_TESTS();
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  TCorvalaApplication application(argc, argv);
  SetApplicationTitle("Corvala Test");
  return RUN_ALL_TESTS();
}
