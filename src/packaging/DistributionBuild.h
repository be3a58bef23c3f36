#pragma once

#include "packaging/BrandSettings.h"

#include <functional>
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
};

// "$Output$" in DocumentsFolder, created (with missing parents) when missing. Throws when the
// documents folder is unknown.
std::string GetDefaultOutputFolder(const std::string &documentsFolder);

// Writes the launcher's RES_CD to "<workFolder>/CD.ico" and gives that path.
std::string ExtractCDIcon(const std::string &programPath, const std::string &workFolder);

// The copies of a build into Output: "<appPath>bin"; when "<appPath>data" exists, its "mysql"
// overlaid by DataDir when that folder exists, else all its folders, under "data"; the contents of
// SrcDir (or "<appPath>www" when SrcDir is no folder) under "www". Every copied tree is made
// writable. Reports nothing.
void CopyStack(const std::string &appPath, const std::string &dataDir, const std::string &srcDir,
               const std::string &output, const std::function<void()> &progress = {});

// Builds the distribution the settings describe, after "Go!": writes the settings to Brand.ini;
// decides the output folder (OutputDir when it exists, else the default output folder; stored in
// Settings.OutputDir); writes runme as an executable byte copy of the launcher and has the
// launcher's "/splash" (only with an existing image), "/icon" (the CD icon when no icon exists) and
// "/config" (Brand.ini) modes change it, one child process after the other; writes autorun.inf;
// then CopyStack. Progress runs before each step, so a window can keep painting. Gives the output
// folder. Throws on the first failure of Brand.ini, runme, autorun.inf, the CD icon or a command
// (with the command's own error), and for a chosen image or icon that is there but is no regular
// file; copies report nothing.
std::string MakeDistribution(const TBuildSource &source, TBrandSettings &settings,
                             const std::function<void()> &progress = {});

} // namespace Corvala
