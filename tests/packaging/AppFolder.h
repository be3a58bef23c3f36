#pragma once

#include "files/FileTree.h"
#include "files/Paths.h"

#include <filesystem>
#include <string>
#include <vector>

// Folders made beside the test program, which plays the launcher here; removed at the end.
class TAppFolderEntries
{
public:
  TAppFolderEntries() = default;
  TAppFolderEntries(const TAppFolderEntries &) = delete;
  TAppFolderEntries &operator=(const TAppFolderEntries &) = delete;
  ~TAppFolderEntries()
  {
    for (const std::string &top : made)
      Files::ShellDelete(Files::GetAppPath() + top);
  }

  // Makes "<app folder>/<relative>" and gives its full path.
  std::string Make(const std::string &relative)
  {
    const std::string path = Files::GetAppPath() + relative;
    std::filesystem::create_directories(path);
    made.push_back(relative.substr(0, relative.find('/')));
    return path;
  }

private:
  std::vector<std::string> made;
};
