// Runs the tests of dialogs and message boxes on Qt's offscreen platform, with the application
// title the boxes show as their caption.
#include "widgets/ApplicationTitle.h"

#include "SanitizerGl.h"

#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
  KeepSoftwareGlDriverLoaded();
  ::testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests))
    return RUN_ALL_TESTS();
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  SetApplicationTitle("Corvala Test");
  return RUN_ALL_TESTS();
}
