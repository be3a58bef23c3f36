#include "app/BuildCommand.h"

#include "digest/Md5.h"
#include "files/FileTree.h"
#include "files/Paths.h"
#include "files/TempFolder.h"
#include "packaging/BuildSummary.h"
#include "packaging/DistributionBuild.h"
#include "packaging/GivenBrandFile.h"
#include "packaging/ProgressLines.h"
#include "process/CommandError.h"
#include "process/ExitSignals.h"
#include "stack/host/SingleInstance.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

using namespace Corvala;

namespace
{

// The build's own folder for its copy of Brand.ini and the CD icon, gone with the command: a
// launcher of the same tree may run meanwhile, and its work folder is not the command's to write.
class TBuildWorkFolder
{
public:
  TBuildWorkFolder()
  {
    std::string pattern = Files::GetTempFolder() + "/corvala-build-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
      throw std::runtime_error("Cannot create a work folder in \"" + Files::GetTempFolder() +
                               "\": " + std::strerror(errno));
    path = pattern;
  }
  ~TBuildWorkFolder() { Files::ShellDelete(path); }
  TBuildWorkFolder(const TBuildWorkFolder &) = delete;
  TBuildWorkFolder &operator=(const TBuildWorkFolder &) = delete;

  std::string path;
};

// The build copies the databases as they lie on disk. The Rebrand dialog holds its running server
// still for that; here the tree's launcher must not run, and it cannot start while the build holds
// its instance guard.
class TStackAtRest
{
public:
  TStackAtRest() : name(Digest::Md5Hex(Files::GetProgramPath()))
  {
    if (!Host::IsFirstInstance(name))
      throw std::runtime_error("The launcher of this stack is running; its databases cannot be copied while "
                               "they are in use. Quit it first, or build from its Rebrand dialog.");
  }
  ~TStackAtRest() { Host::ReleaseInstance(name); }
  TStackAtRest(const TStackAtRest &) = delete;
  TStackAtRest &operator=(const TStackAtRest &) = delete;

private:
  std::string name;
};

void Build(const std::string &givenBrandFile)
{
  const TStackAtRest atRest;
  const TBuildWorkFolder work;
  const std::string brandFile = ImportBrandFile(givenBrandFile, work.path);
  TBrandSettings settings = ReadBrandSettings(TConfigFile(brandFile));
  TBuildSource source{Files::GetProgramPath(), Files::GetAppPath(), work.path, brandFile};
  source.CreateOutputDir = true;

  Process::TExitSignals signals;
  TProgressLines lines;
  const TBuildHooks hooks{.Progress =
                              [&lines](const TBuildProgress &progress) {
                                if (const auto line = lines.Line(progress)) {
                                  std::fprintf(stderr, "%s\n", line->c_str());
                                  std::fflush(stderr);
                                }
                              },
                          .Cancelled = [&signals] { return signals.Arrived(); }};
  const std::string output = MakeDistribution(source, settings, hooks);
  std::printf("%s\n%s", DistributionReadyText(output).c_str(),
              DistributionContentsText(output, settings).c_str());
  std::fflush(stdout);
}

} // namespace

int RunBuildDistributionCommand(const Base::TStringArray &arguments)
{
  try {
    if (arguments.size() != 1)
      throw std::invalid_argument("Usage: corvala --build-distribution BRAND.INI");
    Build(arguments[0]);
    return 0;
  } catch (const std::exception &error) {
    // A build script reads its errors on standard error; a box would wait for a click nobody gives.
    std::fprintf(stderr, "%s\n", Process::CommandErrorLine(error.what()).c_str());
  }
  return 1;
}
