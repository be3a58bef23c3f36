// Icon file validation and ReplaceMainIcon on arbitrary icon files, and on arbitrary old groups,
// each against a fresh copy of a small program file with a store.
#include "files/FileIO.h"
#include "resources/ExeResources.h"
#include "resources/IconFile.h"

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <unistd.h>

using namespace Files;
using namespace Resources;

namespace
{

struct TWorkFiles {
  std::string Folder, Exe, Icon;
  TWorkFiles()
  {
    // Memory-backed when possible: every update flushes to disk, which would dominate the run.
    std::string pattern =
        access("/dev/shm", W_OK) == 0 ? "/dev/shm/icon-fuzz-XXXXXX" : "/tmp/icon-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
      std::abort();
    Folder = pattern;
    Exe = Folder + "/program";
    Icon = Folder + "/icon.ico";
  }
  ~TWorkFiles()
  {
    unlink(Exe.c_str());
    unlink(Icon.c_str());
    rmdir(Folder.c_str());
  }
};

const TWorkFiles Files;

// A program file with a two-image MAINICON in language 2052 whose group is `group`.
void WriteProgram(const std::string &group)
{
  const TResourceList resources = {{RT_ICON, 1, 2052, "one"},
                                   {RT_ICON, 2, 2052, "two"},
                                   {RT_GROUP_ICON, "MAINICON", 2052, group},
                                   {RT_RCDATA, "RES_CONFIG_INI", 0, "[INI]"}};
  const std::string content = "\x7f"
                              "ELF program";
  SaveStringToFile(Files.Exe, content + SerializeResourceStore(resources, content.size()));
}

// Replaces the icon and checks the result against the rules; false when the update failed.
bool Replace(const std::string &icon)
{
  SaveStringToFile(Files.Icon, icon);
  try {
    ReplaceMainIcon(Files.Exe, Files.Icon);
  } catch (const std::runtime_error &e) {
    if (std::string(e.what()).rfind("Resource update error: ", 0) != 0)
      std::abort();
    return false;
  }
  if (!IsValidIconFile(icon.data(), icon.size()) || icon.size() > 1048576)
    std::abort();
  const TResourceList after = ReadResourceStore(Files.Exe).Resources;
  const TResource *group = FindResource(after, RT_GROUP_ICON, "MAINICON");
  if (group == nullptr || group->Language != 1033 || group->Data.size() != 6 + 14 * IconImageCount(icon))
    std::abort();
  for (size_t i = 0; i < IconImageCount(icon); ++i) {
    const TResource *image = FindResource(after, RT_ICON, static_cast<uint16_t>(i + 1));
    if (image == nullptr || image->Data != IconFileImage(icon, i))
      std::abort();
  }
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  const std::string input(reinterpret_cast<const char *>(data), size);
  const bool valid = IsValidIconFile(data, size);
  if (valid && (size < 6 || input.rfind("MZ", 0) == 0))
    std::abort();

  WriteProgram(std::string("\0\0\1\0\2\0", 6) + std::string(28, '\0'));
  if (Replace(input) != (valid && size <= 1048576))
    std::abort();

  // The input as the old group: its ids decide which old images go.
  WriteProgram(input);
  const bool replaced = Replace(std::string("\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0\3\0\0\0\x16\0\0\0abc", 25));
  if (replaced != (size >= 6))
    std::abort();
  return 0;
}
