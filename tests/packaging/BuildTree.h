#pragma once

#include "config/BrandDefaults.h"
#include "packaging/DistributionBuild.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <string>
#include <sys/stat.h>

// A small stack tree (bin, data, www) with a work folder, a fresh Brand.ini and a documents folder
// of its own. The launcher of the build is the real program.
class TBuildTree
{
public:
  TBuildTree()
  {
    std::filesystem::create_directories(root.File("work"));
    brandFile = Corvala::WriteBrandDefaults(root.File("work"));
    root.Write("app/bin/Apache/httpd.conf.in", "Listen 80\n");
    root.Write("app/bin/php/php.ini", "[PHP]\n");
    root.Write("app/bin/php/php.ini-production", "[PHP]\ndisplay_errors = Off\n");
    root.Write("app/licenses/apache2-bin.copyright", "Apache License 2.0");
    root.Write("app/data/mysql/user.frm", "launcher user");
    root.Write("app/data/mysql/db.frm", "launcher db");
    root.Write("app/data/test/t.frm", "test table");
    root.Write("app/www/index.php", "<?php echo 'hello';");
    root.Write("app/www/img/logo.png", "logo");
    chmod(root.File("app/www/index.php").c_str(), 0444);
  }

  Corvala::TBuildSource Source() const
  {
    return {CORVALA_LAUNCHER, root.File("app/"), root.File("work"), brandFile, root.File("Documents")};
  }
  Corvala::TBrandSettings Settings() const
  {
    return Corvala::ReadBrandSettings(Corvala::TConfigFile(brandFile));
  }
  std::string DefaultOutput() const { return root.File("Documents/$Output$"); }

  TestSupport::TScratchFolder root{"corvala-build"};
  std::string brandFile;
};
