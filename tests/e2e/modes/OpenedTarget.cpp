// The target program of the command-mode tests. Started with no arguments, as "/setup" opens it,
// it writes "<its own path>.opened": one line per resource it finds in its own file (type, name,
// language, MD5 of the data), so a test sees both that it ran and which resources a new process
// of the changed file reads. The file appears whole (written under another name, then renamed).
#include "digest/Md5.h"
#include "files/Paths.h"
#include "resources/ResourceStore.h"

#include <cstdio>
#include <fstream>
#include <string>

int main()
{
  const std::string self = Files::GetProgramPath();
  std::string text;
  for (const Resources::TResource &r : Resources::ReadResourceStore(self).Resources)
    text += std::to_string(r.Type) + " " + r.Name.ToString() + " " + std::to_string(r.Language) + " " +
            (r.Data.empty() ? std::string("empty") : Digest::Md5Hex(r.Data)) + "\n";
  const std::string marker = self + ".opened";
  std::ofstream(marker + ".part", std::ios::binary) << text;
  return std::rename((marker + ".part").c_str(), marker.c_str()) == 0 ? 0 : 1;
}
