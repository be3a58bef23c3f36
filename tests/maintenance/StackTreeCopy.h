#pragma once

#include "utils/FileTree.h"
#include "utils/TestSupport.h"

#include <string>

// A copy of the kit's stack tree (bin, data, www) in a fresh temporary folder; the kit itself is
// never changed. Path() ends without '/'.
class TStackTreeCopy : public TestSupport::TScratchFolder
{
public:
  TStackTreeCopy() : TScratchFolder("corvala-downsize")
  {
    for (const char *part : {"bin", "data", "www"})
      AppUtils::CopyFolder(std::string(CORVALA_STACK_TREE) + "/" + part, Path().string());
  }
  std::string AppPath() const { return Path().string() + "/"; }
};
