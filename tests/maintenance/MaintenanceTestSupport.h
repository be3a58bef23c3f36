#pragma once

#include "files/Paths.h"
#include "support/TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

using TestFolder = TestSupport::TScratchFolder;

using TestSupport::TEnvOverride;

// Copies this test program (which doubles as the stand-in launcher) to Path, executable.
inline std::string CopyTestProgram(const std::string &path)
{
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::filesystem::copy_file(Files::GetProgramPath(), path);
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  return path;
}

inline std::vector<std::string> ReadLines(const std::string &path)
{
  std::vector<std::string> lines;
  std::istringstream in(TestSupport::ReadBytes(path));
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}
