#pragma once

#include "utils/FileTree.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

// A fresh folder under the temporary folder, deleted with everything in it at the end of the test.
class TestFolder
{
public:
  explicit TestFolder(const std::string &prefix = "corvala-test")
  {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr)
      throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TestFolder() { AppUtils::ShellDelete(path_); }
  TestFolder(const TestFolder &) = delete;
  TestFolder &operator=(const TestFolder &) = delete;

  const std::string &Path() const { return path_; }

  // Text with every "{root}" replaced by the folder's path, for expected file contents.
  std::string Fill(std::string text) const
  {
    for (size_t at = text.find("{root}"); at != std::string::npos;
         at = text.find("{root}", at + path_.size()))
      text.replace(at, 6, path_);
    return text;
  }

  // Path of name inside the folder; with text, also writes that file (parent folders created).
  std::string File(const std::string &name) const { return path_ + "/" + name; }
  std::string Write(const std::string &name, const std::string &text) const
  {
    const std::filesystem::path file = File(name);
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
    return file.string();
  }

private:
  std::string path_;
};

inline std::string ReadFileText(const std::string &path)
{
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
