#include "packaging/DistributionBuild.h"

#include "files/FileIO.h"
#include "files/FileTree.h"
#include "files/Paths.h"
#include "packaging/CommandFailure.h"
#include "packaging/TreeCopy.h"
#include "process/CommandLine.h"
#include "process/Process.h"
#include "resources/ExeResources.h"
#include "stack/DataFolderFiles.h"

#include <stdexcept>
#include <sys/stat.h>

using namespace Base;
using namespace Files;
using namespace Process;
using namespace Resources;

namespace Corvala
{

namespace
{

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

// Runs one resource command of the launcher on runme and waits for its end. A failed command ends
// the build with its own error.
void RunResourceCommand(const std::string &programPath, const std::string &mode, const std::string &runme,
                        const std::string &file)
{
  const TChildEnd end =
      StartProcessAndWait(programPath, mode + " " + CommandLineWord(runme) + " " + CommandLineWord(file),
                          TShowCommand::Normal, "", {.captureErrors = true, .withoutDisplay = true});
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

TStringArray DataFoldersToCopy(const std::string &appPath, const std::string &dataDir)
{
  if (DirectoryExists(dataDir))
    return {appPath + "data/mysql", dataDir};
  TStringArray folders;
  for (const std::string &name : ListSubfolderNames(appPath + "data"))
    folders.push_back(appPath + "data/" + name);
  return folders;
}

// The database server's own files beside the data folders: InnoDB's system tablespace and redo
// log, the Aria log. Without them the tables of a distribution's databases do not open.
TStringArray ServerStateFiles(const std::string &appPath)
{
  TStringArray files;
  for (const std::string &name : ListEntryNames(appPath + "data"))
    if (IsServerStateFile(name) && RegularFileExists(appPath + "data/" + name))
      files.push_back(appPath + "data/" + name);
  return files;
}

TStringArray DataToCopy(const std::string &appPath, const std::string &dataDir)
{
  TStringArray paths = ServerStateFiles(appPath);
  for (const std::string &folder : DataFoldersToCopy(appPath, dataDir))
    paths.push_back(folder);
  return paths;
}

} // namespace

std::string ExtractCDIcon(const std::string &programPath, const std::string &workFolder)
{
  std::string icon = workFolder + "/CD.ico";
  WriteLauncherResource(programPath, "RES_CD", icon);
  return icon;
}

void CopyStack(const std::string &appPath, const std::string &dataDir, const std::string &srcDir,
               const std::string &output, const TBuildHooks &hooks, TCreatedPaths &created)
{
  TTreeCopy copy(hooks, created);
  const bool haveData = DirectoryExists(appPath + "data");
  const TStringArray dataFolders = haveData ? DataToCopy(appPath, dataDir) : TStringArray{};
  const std::string website = DirectoryExists(srcDir) ? srcDir : appPath + "www";
  copy.BeginStep("Counting the files to copy");
  for (const std::string &folder : {appPath + "bin", appPath + "licenses", website})
    copy.Count(folder);
  for (const std::string &folder : dataFolders)
    copy.Count(folder);

  created.MakeFolder(output);
  copy.BeginStep("Copying the programs (bin)");
  copy.CopyInto(appPath + "bin", output);
  // The copyright files of everything the tree carries travel with what they cover.
  copy.CopyInto(appPath + "licenses", output);

  copy.BeginStep("Copying the website (www)");
  const std::string www = output + "/www";
  created.MakeFolder(www);
  copy.CopyContents(website, www);

  if (haveData) {
    copy.BeginStep("Copying the databases (data)");
    const std::string data = output + "/data";
    created.MakeFolder(data);
    const auto copyData = [&] {
      for (const std::string &folder : dataFolders)
        copy.CopyInto(folder, data);
    };
    if (hooks.HoldData)
      hooks.HoldData(copyData);
    else
      copyData();
  }
  copy.BeginStep("Done");
}

namespace
{

void Build(const TBuildSource &source, TBrandSettings &settings, const TBuildHooks &hooks,
           TCreatedPaths &created)
{
  auto step = [&hooks](const char *name) {
    if (hooks.Cancelled && hooks.Cancelled())
      throw TBuildCancelled();
    if (hooks.Progress)
      hooks.Progress(TBuildProgress{.Step = name});
  };
  WriteBrandSettings(TConfigFile(source.BrandFile), settings);

  step("Writing runme");
  if (source.CreateOutputDir)
    created.MakeFolder(settings.OutputDir);
  if (!DirectoryExists(settings.OutputDir)) {
    if (source.DocumentsFolder.empty())
      throw std::runtime_error("The documents folder is unknown");
    settings.OutputDir = source.DocumentsFolder + "/$Output$";
    created.MakeFolder(settings.OutputDir);
  }
  const std::string output = settings.OutputDir;
  const std::string runme = output + "/runme";
  // A file there is replaced (so a half-written one goes with the rest); a folder in the way is not
  // the build's to remove.
  if (!DirectoryExists(runme))
    created.Add(runme);
  CopyLauncher(source.ProgramPath, runme);

  step("Giving runme its splash image");
  if (ChosenFile(settings.SplashFileName))
    RunResourceCommand(source.ProgramPath, "/splash", runme, settings.SplashFileName);
  step("Giving runme its icon");
  if (!ChosenFile(settings.IconFile))
    settings.IconFile = ExtractCDIcon(source.ProgramPath, source.WorkFolder);
  RunResourceCommand(source.ProgramPath, "/icon", runme, settings.IconFile);
  step("Giving runme its configuration");
  RunResourceCommand(source.ProgramPath, "/config", runme, source.BrandFile);
  if (!DirectoryExists(output + "/autorun.inf"))
    created.Add(output + "/autorun.inf");
  WriteLauncherResource(source.ProgramPath, "RES_AUTORUN", output + "/autorun.inf");

  CopyStack(source.AppPath, settings.DataDir, settings.SrcDir, output, hooks, created);
}

} // namespace

std::string MakeDistribution(const TBuildSource &source, TBrandSettings &settings, const TBuildHooks &hooks)
{
  TCreatedPaths created;
  try {
    Build(source, settings, hooks, created);
  } catch (...) {
    created.RemoveAll();
    throw;
  }
  return settings.OutputDir;
}

} // namespace Corvala
