#pragma once

#include "packaging/BrandSettings.h"
#include "packaging/BuildProgress.h"
#include "packaging/CreatedPaths.h"

#include <string>

namespace Corvala
{

// What a distribution is built from.
struct TBuildSource {
  // The launcher's executable: copied as runme, run for the resource commands, and the holder of
  // RES_CD and RES_AUTORUN.
  std::string ProgramPath;
  // The stack's folder (bin, data, www) with a trailing '/'.
  std::string AppPath;
  // Where the CD icon is written when no icon was chosen.
  std::string WorkFolder;
  // Brand.ini: the choices are written back to it and it becomes runme's configuration.
  std::string BrandFile;
  // The user's documents folder as the desktop names it: the default output folder is made in it.
  // Empty when unknown, and by default: a build into an existing output folder does not need it.
  std::string DocumentsFolder{};
  // A missing output folder is made, with its missing parents, instead of the default one: a build
  // script names its folder and expects the build there.
  bool CreateOutputDir{};
};

// Writes the launcher's RES_CD to "<workFolder>/CD.ico" and gives that path.
std::string ExtractCDIcon(const std::string &programPath, const std::string &workFolder);

// The copies of a build into Output: "<appPath>bin" and "<appPath>licenses"; when "<appPath>data"
// exists, its "mysql" overlaid by DataDir when that folder exists, else all its folders, under
// "data" (copied inside Hooks.HoldData); the contents of SrcDir (or "<appPath>www" when SrcDir is no
// folder) under "www". Every copied file and folder is writable by its owner. Reports progress and
// stops on a cancel through Hooks; throws naming the file that could not be copied and why. What
// it creates is noted in Created (removing it is the caller's choice).
void CopyStack(const std::string &appPath, const std::string &dataDir, const std::string &srcDir,
               const std::string &output, const TBuildHooks &hooks, TCreatedPaths &created);

// Builds the distribution the settings describe, after "Go!": writes the settings to Brand.ini;
// decides the output folder (OutputDir when it exists or Source.CreateOutputDir makes it, else the
// default output folder; stored in Settings.OutputDir); writes runme as an executable byte copy of the
// launcher and has the launcher's "/splash" (only with an existing image), "/icon" (the CD icon when no icon
// exists) and
// "/config" (Brand.ini) modes change it, one child process after the other; writes autorun.inf;
// then CopyStack. Gives the output folder. Throws on the first failure (with the command's own
// error for a command), for a chosen image or icon that is there but is no regular file, and with
// TBuildCancelled on a cancel; either way everything the build created in the output is removed
// first, and nothing that was there before it.
std::string MakeDistribution(const TBuildSource &source, TBrandSettings &settings,
                             const TBuildHooks &hooks = {});

} // namespace Corvala
