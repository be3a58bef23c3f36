// corvala-res: lists, reads and writes the resource store of a file.
#include "Listing.h"
#include "files/FileIO.h"
#include "resources/ExeResources.h"
#include "resources/IconFile.h"

#include <cerrno>
#include <cstdio>
#include <exception>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

using namespace Files;
using namespace Resources;

namespace
{

const char Usage[] = "usage: corvala-res list FILE\n"
                     "       corvala-res get FILE TYPE NAME [LANG]  (bytes to standard output)\n"
                     "       corvala-res set FILE TYPE NAME LANG DATAFILE\n"
                     "       corvala-res remove FILE TYPE NAME LANG\n"
                     "       corvala-res icon FILE ICOFILE  (replace MAINICON)\n"
                     "       corvala-res addicon FILE NAME LANG ICOFILE  (group and images 1..N)\n"
                     "TYPE: a number or RCDATA, ICON, GROUP_ICON; NAME: a text or a number\n";

uint16_t Number(const std::string &text, const char *what)
{
  size_t used = 0;
  unsigned long value = 0;
  try {
    value = std::stoul(text, &used);
  } catch (const std::exception &) {
    used = 0;
  }
  if (used != text.size() || value > 0xffff || text.empty() || text[0] == '-')
    throw std::runtime_error(std::string("Invalid ") + what + ": " + text);
  return static_cast<uint16_t>(value);
}

uint16_t Type(const std::string &text)
{
  static const std::map<std::string, uint16_t> names = {
      {"RCDATA", RT_RCDATA}, {"ICON", RT_ICON}, {"GROUP_ICON", RT_GROUP_ICON}};
  const auto named = names.find(text);
  return named != names.end() ? named->second : Number(text, "type");
}

// File errors carry no file name; the tool's messages add it.
TResourceList ReadStore(const std::string &file)
{
  try {
    return ReadResourceStore(file).Resources;
  } catch (const EFileError &e) {
    throw std::runtime_error("Cannot read " + file + ": " + e.what());
  }
}

std::unique_ptr<TResourceUpdate> BeginUpdate(const std::string &file)
{
  try {
    return std::make_unique<TResourceUpdate>(file);
  } catch (const EFileError &e) {
    throw std::runtime_error("Cannot update " + file + ": " + e.what());
  }
}

void Commit(TResourceUpdate &update, const std::string &file)
{
  try {
    update.Commit();
  } catch (const EFileError &e) {
    throw std::runtime_error("Cannot update " + file + ": " + e.what());
  }
}

void Set(TResourceUpdate &update, uint16_t type, const TResName &name, uint16_t language, std::string data)
{
  if (!SetResource(update.Resources, type, name, language, std::move(data)))
    throw std::runtime_error("Cannot set resource " + name.ToString() + ": " + FileErrorText(errno));
}

void AddIcon(const std::string &file, const TResName &name, uint16_t language, const std::string &iconFile)
{
  const std::string icon = LoadFileToString(iconFile);
  if (!IsValidIconFile(icon.data(), icon.size()))
    throw std::runtime_error("Icon file is invalid: " + iconFile);
  const auto update = BeginUpdate(file);
  for (size_t i = 0; i < IconImageCount(icon); ++i)
    Set(*update, RT_ICON, static_cast<uint16_t>(i + 1), language, IconFileImage(icon, i));
  Set(*update, RT_GROUP_ICON, name, language, BuildIconGroup(icon, 0, 1));
  Commit(*update, file);
}

void WriteOut(const std::string &data)
{
  for (size_t done = 0; done < data.size();) {
    const ssize_t put = write(STDOUT_FILENO, data.data() + done, data.size() - done);
    if (put <= 0)
      throw std::runtime_error("Cannot write to standard output");
    done += static_cast<size_t>(put);
  }
}

int Run(const std::vector<std::string> &args)
{
  const std::string command = args.empty() ? "" : args[0];
  const size_t count = args.size();
  if (command == "list" && count == 2) {
    WriteOut(DescribeResources(ReadStore(args[1])));
  } else if (command == "get" && (count == 4 || count == 5)) {
    const TResourceList resources = ReadStore(args[1]);
    const uint16_t type = Type(args[2]);
    const TResName name = TResName::Parse(args[3]);
    const TResource *found = FindResource(resources, type, name);
    if (count == 5) {
      const uint16_t language = Number(args[4], "language");
      found = nullptr;
      for (const TResource &r : resources)
        if (r.Type == type && r.Name == name && r.Language == language)
          found = &r;
    }
    if (found == nullptr)
      throw std::runtime_error("Resource " + args[3] + " not found in " + args[1]);
    WriteOut(found->Data);
  } else if (command == "set" && count == 6) {
    const uint16_t type = Type(args[2]);
    const uint16_t language = Number(args[4], "language");
    std::string data = LoadFileToString(args[5]);
    const auto update = BeginUpdate(args[1]);
    Set(*update, type, TResName::Parse(args[3]), language, std::move(data));
    Commit(*update, args[1]);
  } else if (command == "remove" && count == 5) {
    const auto update = BeginUpdate(args[1]);
    DeleteResource(update->Resources, Type(args[2]), TResName::Parse(args[3]), Number(args[4], "language"));
    Commit(*update, args[1]);
  } else if (command == "icon" && count == 3) {
    ReplaceMainIcon(args[1], args[2]);
  } else if (command == "addicon" && count == 5) {
    AddIcon(args[1], TResName::Parse(args[2]), Number(args[3], "language"), args[4]);
  } else {
    std::fputs(Usage, stderr);
    return 1;
  }
  return 0;
}

} // namespace

int main(int argc, char **argv)
{
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const EFileError &e) {
    std::fprintf(stderr, "corvala-res: %s (file error %d)\n", e.what(), e.ErrorCode);
  } catch (const std::exception &e) {
    std::fprintf(stderr, "corvala-res: %s\n", e.what());
  }
  return 1;
}
