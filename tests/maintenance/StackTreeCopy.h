#pragma once

#include "files/FileTree.h"
#include "support/TestSupport.h"

#include <string>

// A copy of the kit's stack tree (bin, data, www) in a fresh temporary folder; the kit itself is
// never changed: bin and www, which the tests only delete from, are hard links (the tree carries
// its libraries and is large), data is copied. Path() ends without '/'.
class TStackTreeCopy : public TestSupport::TScratchFolder
{
public:
  TStackTreeCopy() : TScratchFolder("corvala-downsize")
  {
    const std::string kit = CORVALA_STACK_TREE;
    for (const char *part : {"bin", "www"})
      TestSupport::RunCommand("cp -al " + TestSupport::ShellQuoted(kit + "/" + part) + " " +
                              TestSupport::ShellQuoted(Path().string()));
    Files::CopyFolder(kit + "/data", Path().string());
  }
  std::string AppPath() const { return Path().string() + "/"; }
};
