#include "stack/ServerOutput.h"

#include <cstdio>
#include <deque>
#include <fstream>
#include <iterator>

namespace Corvala
{

namespace
{

constexpr size_t MaxLinesPerFile = 3;

bool IsErrorLine(const std::string &line)
{
  return line.find("[ERROR]") != std::string::npos && line.find("Aborting") == std::string::npos;
}

std::deque<std::string> ReasonLines(const std::string &file)
{
  std::ifstream in(file);
  std::deque<std::string> last;
  std::deque<std::string> errors;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos)
      continue;
    auto &kept = IsErrorLine(line) ? errors : last;
    kept.push_back(line);
    if (kept.size() > MaxLinesPerFile)
      kept.pop_front();
  }
  return errors.empty() ? last : errors;
}

} // namespace

std::string ServerOutputPath(const std::string &workFolder, const std::string &server)
{
  return workFolder + "/" + server + "-output.log";
}

std::string LastWordsOf(const std::vector<std::string> &files)
{
  std::string words;
  for (const std::string &file : files)
    for (const std::string &line : ReasonLines(file))
      words += "\n" + line;
  return words.empty() ? words : ":" + words;
}

void CopyServerOutput(const std::string &file)
{
  std::ifstream in(file, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (text.empty())
    return;
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
  std::ofstream(file, std::ios::binary | std::ios::trunc);
}

} // namespace Corvala
