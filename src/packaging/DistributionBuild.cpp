#include "packaging/DistributionBuild.h"

#include "packaging/CommandFailure.h"
#include "utils/ExeResources.h"
#include "utils/FileIO.h"
#include "utils/FileTree.h"
#include "utils/Paths.h"
#include "utils/Process.h"

#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>

using namespace AppUtils;

namespace Corvala
{

namespace
{

void Report(const std::function<void()> &progress)
{
  if (progress)
    progress();
}

void WriteLauncherResource(const std::string &programPath, const std::string &name, const std::string &file)
{
  const auto data = ReadResource(programPath, RT_RCDATA, TResName(name));
  if (!data)
    throw std::runtime_error("Resource " + name + " not found");
  SaveStringToFile(file, *data);
}

// runme must run like the launcher it copies, so it takes the launcher's mode bits.
void CopyLauncher(const std::string &programPath, const std::string &runme)
{
  SaveStringToFile(runme, LoadFileToString(programPath));
  struct stat st {
  };
  if (stat(programPath.c_str(), &st) != 0 || chmod(runme.c_str(), st.st_mode & 07777) != 0)
    throw std::runtime_error("Cannot make \"" + runme + "\" executable");
}

// Runs one resource command of the launcher on runme and waits for its end. The command line groups
// its arguments with double quotes, so a path holding one would hand the command another target.
// A failed command ends the build with its own error.
void RunResourceCommand(const std::string &programPath, const std::string &mode, const std::string &runme,
                        const std::string &file)
{
  for (const std::string *path : {&runme, &file})
    if (path->find('"') != std::string::npos)
      throw std::runtime_error("A path given to \"" + mode + "\" holds a double quote: " + *path);
  const TChildEnd end =
      StartProcessAndWait(programPath, mode + " \"" + runme + "\" \"" + file + "\"", TShowCommand::Normal, "",
                          {.captureErrors = true, .withoutDisplay = true});
  if (!end.Succeeded())
    throw std::runtime_error(CommandFailure(mode, end));
}

// A chosen image or icon: true for a regular file, false when nothing is there. Anything else (a
// device, a FIFO) is refused, since the command would read it without end.
bool ChosenFile(const std::string &path)
{
  if (RegularFileExists(path))
    return true;
  if (FileExists(path))
    throw std::runtime_error("\"" + path + "\" is not a regular file");
  return false;
}

void MakeFolder(const std::string &folder)
{
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
}

TStringArray DataFoldersToCopy(const std::string &appPath, const std::string &dataDir)
{
  if (DirectoryExists(dataDir))
    return {appPath + "data/mysql", dataDir};
  TStringArray folders;
  for (const std::string &name : ListSubfolderNames(appPath + "data"))
    folders.push_back(appPath + "data/" + name);
  return folders;
}

} // namespace

std::string GetDefaultOutputFolder(const std::string &documentsFolder)
{
  if (documentsFolder.empty())
    throw std::runtime_error("The documents folder is unknown");
  std::string folder = documentsFolder + "/$Output$";
  MakeFolder(folder);
  return folder;
}

std::string ExtractCDIcon(const std::string &programPath, const std::string &workFolder)
{
  std::string icon = workFolder + "/CD.ico";
  WriteLauncherResource(programPath, "RES_CD", icon);
  return icon;
}

void CopyStack(const std::string &appPath, const std::string &dataDir, const std::string &srcDir,
               const std::string &output, const std::function<void()> &progress)
{
  auto step = [&progress] { Report(progress); };
  step();
  // An existing output folder receives bin under its own name; a missing one would become bin.
  MakeFolder(output);
  CopyFolder(appPath + "bin", output);
  SetTreeReadOnly(output + "/bin", false);
  // The copyright files of everything the tree carries travel with what they cover.
  CopyFolder(appPath + "licenses", output);

  step();
  if (DirectoryExists(appPath + "data")) {
    const std::string data = output + "/data";
    MakeFolder(data);
    for (const std::string &folder : DataFoldersToCopy(appPath, dataDir))
      CopyFolder(folder, data);
    SetTreeReadOnly(data, false);
  }

  step();
  const std::string website = DirectoryExists(srcDir) ? srcDir : appPath + "www";
  const std::string www = output + "/www";
  MakeFolder(www);
  CopyFolder(website + "/*", www);
  SetTreeReadOnly(www, false);
}

std::string MakeDistribution(const TBuildSource &source, TBrandSettings &settings,
                             const std::function<void()> &progress)
{
  auto step = [&progress] { Report(progress); };
  WriteBrandSettings(TConfigFile(source.BrandFile), settings);

  step();
  if (!DirectoryExists(settings.OutputDir))
    settings.OutputDir = GetDefaultOutputFolder(source.DocumentsFolder);
  std::string output = settings.OutputDir;
  const std::string runme = output + "/runme";
  CopyLauncher(source.ProgramPath, runme);

  step();
  if (ChosenFile(settings.SplashFileName))
    RunResourceCommand(source.ProgramPath, "/splash", runme, settings.SplashFileName);
  step();
  if (!ChosenFile(settings.IconFile))
    settings.IconFile = ExtractCDIcon(source.ProgramPath, source.WorkFolder);
  RunResourceCommand(source.ProgramPath, "/icon", runme, settings.IconFile);
  step();
  RunResourceCommand(source.ProgramPath, "/config", runme, source.BrandFile);
  WriteLauncherResource(source.ProgramPath, "RES_AUTORUN", output + "/autorun.inf");

  CopyStack(source.AppPath, settings.DataDir, settings.SrcDir, output, progress);
  return output;
}

} // namespace Corvala
