// "--build-distribution": the real program builds a distribution of its installation from a build
// script's Brand.ini, without a display, as a script in CI runs it.
#include "E2eSupport.h"
#include "digest/Md5.h"
#include "resources/ExeResources.h"
#include "stack/host/SingleInstance.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace E2e;
namespace fs = std::filesystem;
using TestSupport::ReadBytes;

namespace
{

struct TBuildRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// An installation of the real program and a build script's folder (with a blank in its name), in
// which the command runs with a temporary folder of its own.
class BuildCommand : public ::testing::Test
{
protected:
  BuildCommand() { fs::create_directories(logs.File("tmp")); }

  // The program of the installation, run in the script's folder without a display.
  TBuildRun Build(const std::string &brandFile = "Brand.ini") const
  {
    const std::string command = "cd " + Quoted(script.Path()) +
                                " && env -u DISPLAY -u WAYLAND_DISPLAY TMPDIR=" + Quoted(logs.File("tmp")) +
                                " " + Quoted(install.Program()) + " --build-distribution " +
                                Quoted(brandFile) + " >" + Quoted(logs.File("out")) + " 2>" +
                                Quoted(logs.File("err"));
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadBytes(logs.File("out")),
            ReadBytes(logs.File("err"))};
  }

  std::string Brand(const std::string &keys) const { return script.Write("Brand.ini", "[INI]\r\n" + keys); }

  TInstall install{CORVALA_LAUNCHER};
  TestSupport::TScratchFolder script{"corvala build script"};
  TestSupport::TScratchFolder logs{"corvala-build-logs"};
};

std::vector<std::string> Lines(const std::string &text)
{
  std::vector<std::string> lines;
  for (size_t start = 0, end; start < text.size(); start = end + 1) {
    end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

// The percentages of the progress lines, in their order.
std::vector<int> Percentages(const std::vector<std::string> &lines)
{
  std::vector<int> percentages;
  for (const std::string &line : lines)
    if (const size_t at = line.find(": ");
        at != std::string::npos && line.find("% (", at) != std::string::npos)
      percentages.push_back(std::stoi(line.substr(at + 2)));
  return percentages;
}

} // namespace

TEST_F(BuildCommand, AScriptsBrandIniGivesTheBrandedDistributionWithProgressOnStandardError)
{
  const std::string splash = script.Write("art/splash.png", "splash picture");
  script.Write("site/index.php", "<?php echo 'Acme';");
  const std::string brandFile = Brand("title=\"Acme Shop\"\r\nport=8088\r\noutputdir=dist/acme\r\n"
                                      "splashfilename=art/splash.png\r\nsrcdir=site\r\ndevtools=0\r\n");
  const std::string given = ReadBytes(brandFile);

  const TBuildRun run = Build();
  ASSERT_EQ(run.exitCode, 0) << run.err;

  const std::string output = script.File("dist/acme");
  const std::vector<std::string> out = Lines(run.out);
  ASSERT_GE(out.size(), 5u) << run.out;
  EXPECT_EQ(out[0], "The distribution is ready in \"" + output + "\".");
  EXPECT_EQ(out[1], "  runme         the branded launcher: \"Acme Shop\", on port 8088");
  for (const char *part : {"bin", "www", "data"})
    EXPECT_TRUE(std::any_of(
        out.begin(), out.end(),
        [&](const std::string &line) { return line.starts_with("  " + std::string(part) + " "); }))
        << part << "\n"
        << run.out;

  // Plain lines, each step once, the copy's percentages growing to the end.
  EXPECT_EQ(run.err.find('\r'), std::string::npos);
  const std::vector<std::string> err = Lines(run.err);
  for (const char *step : {"Writing runme", "Giving runme its icon", "Giving runme its configuration"})
    EXPECT_EQ(std::count(err.begin(), err.end(), step), 1) << step << "\n" << run.err;
  const std::vector<int> percentages = Percentages(err);
  ASSERT_GE(percentages.size(), 3u) << run.err;
  EXPECT_TRUE(std::is_sorted(percentages.begin(), percentages.end())) << run.err;
  EXPECT_TRUE(err.back().starts_with("Done: 100% (")) << run.err;

  // runme as the dialog's build gives it: the launcher with the brand's configuration, its chosen
  // splash and the CD icon, beside the stack with the script's site.
  const std::string runme = output + "/runme";
  EXPECT_EQ(access(runme.c_str(), X_OK), 0);
  const auto config = Resources::ReadResource(runme, Resources::RT_RCDATA, "RES_CONFIG_INI");
  ASSERT_TRUE(config);
  for (const std::string &line : {std::string("title=\"Acme Shop\""), std::string("port=8088"),
                                  std::string("brand=1"), std::string("devtools=0"), std::string("toolbar=1"),
                                  "outputdir=\"" + output + "\"", "srcdir=\"" + script.File("site") + "\""})
    EXPECT_NE(config->find("\r\n" + line + "\r\n"), std::string::npos) << line << "\n" << *config;
  EXPECT_EQ(Resources::ReadResource(runme, Resources::RT_RCDATA, "RES_SPLASH"), ReadBytes(splash));
  EXPECT_EQ(Resources::GetResourceLanguage(runme, Resources::RT_GROUP_ICON, "MAINICON"), 1033);
  EXPECT_EQ(ReadBytes(output + "/autorun.inf"), "[autorun]\r\nicon=runme\r\nopen=runme\r\n");
  EXPECT_EQ(ReadBytes(output + "/www/index.php"), "<?php echo 'Acme';");
  EXPECT_TRUE(fs::is_directory(output + "/data/mysql"));
  EXPECT_EQ(access((output + "/bin/php/php").c_str(), X_OK), 0);

  // The script's file stays as it was, and the command's work folder is gone.
  EXPECT_EQ(ReadBytes(brandFile), given);
  EXPECT_TRUE(fs::is_empty(logs.File("tmp")));
}

TEST_F(BuildCommand, AFailureEndsWithOneErrorLineAndExitCodeOneAndLeavesNothingBuilt)
{
  const auto expectFailure = [&](const std::string &message) {
    const TBuildRun run = Build();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(run.err.ends_with("Application Error: " + message + "\n")) << run.err;
    EXPECT_TRUE(fs::is_empty(logs.File("tmp")));
  };
  const std::string named = "The brand file \"Brand.ini\" ";
  {
    SCOPED_TRACE("no Brand.ini");
    expectFailure(named + "does not exist");
  }
  {
    SCOPED_TRACE("a program instead of an INI file");
    fs::copy_file(install.Program(), script.File("Brand.ini"));
    expectFailure(named + "is no Brand.ini: it has no [INI] section with keys");
  }
  {
    SCOPED_TRACE("keys missing");
    Brand("title=\"Acme Shop\"\r\nport=8088\r\n");
    expectFailure(named + "lacks \"outputdir\" in its [INI] section");
  }
  {
    SCOPED_TRACE("a port that is no number");
    Brand("title=\"Acme Shop\"\r\nport=eighty\r\noutputdir=dist\r\n");
    expectFailure("Brand.ini, key \"port\": 'eighty' is not a valid integer value");
  }
  {
    SCOPED_TRACE("an output folder that cannot be made");
    script.Write("blocker", "a file");
    Brand("title=\"Acme Shop\"\r\nport=8088\r\noutputdir=blocker/acme\r\n");
    expectFailure("Cannot create the folder \"" + script.File("blocker/acme") + "\": Not a directory");
  }
  {
    SCOPED_TRACE("a step that fails after runme was written");
    script.Write("text.ico", "just text");
    Brand("title=\"Acme Shop\"\r\nport=8088\r\noutputdir=new/dist/acme\r\niconfile=text.ico\r\n");
    expectFailure("The \"/icon\" step failed: Resource update error: Icon file is invalid");
    EXPECT_FALSE(fs::exists(script.File("new"))) << "the folders the build made are gone";
  }
  {
    SCOPED_TRACE("the installation's launcher running");
    Brand("title=\"Acme Shop\"\r\nport=8088\r\noutputdir=running\r\n");
    // Held here as a running launcher holds it.
    const std::string instance = Digest::Md5Hex(install.Program());
    ASSERT_TRUE(Host::IsFirstInstance(instance));
    expectFailure("The launcher of this stack is running; its databases cannot be copied while they are in "
                  "use. Quit it first, or build from its Rebrand dialog.");
    Host::ReleaseInstance(instance);
    EXPECT_FALSE(fs::exists(script.File("running")));
  }
  {
    SCOPED_TRACE("a copy that fails in an existing output folder");
    script.Write("site/img/logo.png", "logo");
    script.Write("out/www/img", "a file where the site has a folder");
    script.Write("out/notes.txt", "the vendor's");
    Brand("title=\"Acme Shop\"\r\nport=8088\r\noutputdir=out\r\nsrcdir=site\r\n");
    expectFailure("Cannot copy the folder \"" + script.File("site/img") + "\": a file is in the way at \"" +
                  script.File("out") + "/www/img\"");
    std::vector<std::string> left;
    for (const auto &entry : fs::recursive_directory_iterator(script.File("out")))
      left.push_back(fs::relative(entry.path(), script.File("out")).string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"notes.txt", "www", "www/img"}))
        << "only what was there before";
  }
}
