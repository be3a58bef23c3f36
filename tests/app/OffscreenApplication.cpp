#include "app/CorvalaApplication.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace
{

// One application for the whole test program, the program's own (its last net for exceptions is
// under test), on the offscreen platform with a 1024 x 768 primary screen, so the geometry does not
// depend on the machine's display.
class OffscreenApplication : public testing::Environment
{
public:
  void SetUp() override
  {
    std::string folder = (std::filesystem::temp_directory_path() / "splash_testXXXXXX").string();
    ASSERT_NE(mkdtemp(folder.data()), nullptr);
    FConfig = folder + "/screens.json";
    std::ofstream(FConfig)
        << R"({"screens": [{"name": "main", "x": 0, "y": 0, "width": 1024, "height": 768}]})";
    setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + FConfig).c_str(), 1);
    static int argc = 1;
    static char name[] = "app_tests";
    static char *argv[] = {name, nullptr};
    FApplication = new TCorvalaApplication(argc, argv);
    QApplication::setApplicationDisplayName("Corvala Test");
  }

  void TearDown() override
  {
    delete FApplication;
    std::remove(FConfig.c_str());
    rmdir(FConfig.substr(0, FConfig.rfind('/')).c_str());
  }

private:
  std::string FConfig;
  TCorvalaApplication *FApplication = nullptr;
};

const auto *const Environment = testing::AddGlobalTestEnvironment(new OffscreenApplication);

} // namespace
