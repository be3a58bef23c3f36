#pragma once

// Helpers for the resource tests: private temporary folders, whole-file bytes, icon files built
// from parts, and running the programs the build makes.
#include "utils/Paths.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace ResourceTests
{

namespace fs = std::filesystem;

class TempFolder
{
public:
  TempFolder()
  {
    std::string pattern = (fs::temp_directory_path() / "corvala-res-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
      throw std::runtime_error("mkdtemp failed");
    Path = pattern;
  }
  ~TempFolder()
  {
    std::error_code ignored;
    fs::permissions(Path, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(Path, ignored);
  }
  std::string operator/(const std::string &name) const { return (Path / name).string(); }
  fs::path Path;
};

inline std::string ReadBytes(const std::string &path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::string &path, const std::string &data)
{
  std::ofstream(path, std::ios::binary | std::ios::trunc) << data;
}

inline void PutLE(std::string &out, uint32_t value, int bytes)
{
  for (int i = 0; i < bytes; ++i)
    out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

// An icon file with one image per entry of `images`, laid out one after another behind the
// directory; image i is square with width 16 * (i + 1) and 32 bits per pixel.
inline std::string MakeIcon(const std::vector<std::string> &images)
{
  std::string file;
  PutLE(file, 0, 2);
  PutLE(file, 1, 2);
  PutLE(file, static_cast<uint32_t>(images.size()), 2);
  uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    file.push_back(static_cast<char>(16 * (i + 1)));
    file.push_back(static_cast<char>(16 * (i + 1)));
    file.append(2, '\0');
    PutLE(file, 1, 2);
    PutLE(file, 32, 2);
    PutLE(file, static_cast<uint32_t>(images[i].size()), 4);
    PutLE(file, offset, 4);
    offset += static_cast<uint32_t>(images[i].size());
  }
  for (const std::string &image : images)
    file += image;
  return file;
}

// A program the build makes beside the tests (src/restool).
inline std::string BuiltProgram(const std::string &name)
{
  return AppUtils::AppDirOf(AppUtils::GetProgramPath()) + "/../src/restool/" + name;
}

struct RunResult {
  int ExitCode;
  std::string Output; // standard output and standard error
};

inline RunResult RunCommand(const std::string &commandLine)
{
  FILE *pipe = popen((commandLine + " 2>&1").c_str(), "r");
  if (pipe == nullptr)
    return {-1, ""};
  std::string output;
  char buffer[4096];
  while (const size_t got = fread(buffer, 1, sizeof buffer, pipe))
    output.append(buffer, got);
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

inline std::string Quoted(const std::string &text)
{
  return "'" + text + "'";
}

} // namespace ResourceTests
