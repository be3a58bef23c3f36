#include "config/BrandDefaults.h"
#include "config/ConfigFile.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace Corvala;
using namespace TestSupport;

TEST(WriteBrandDefaults, NewFileHoldsTheStartUpValuesInOrder)
{
  TScratchFolder root;
  const std::string path = WriteBrandDefaults(root.Path());
  EXPECT_EQ(path, root.File("Brand.ini"));
  EXPECT_EQ(ReadBytes(path), "[INI]\r\nsplashfilename=\r\ntitle=\"My Program\"\r\niconfile=\r\ntoolbar=1\r\n"
                             "statusbar=1\r\ntrayicon=0\r\nfullscreen=0\r\nip=127.0.0.1\r\nport=80\r\n"
                             "datadir=\r\nsrcdir=\r\noutputdir=\r\ncopyfilestoharddisk=0\r\nbrand=1\r\n");
  const TConfigFile brand(path);
  EXPECT_EQ(brand.Read("title"), "My Program");
  EXPECT_EQ(brand.Read("splashfilename"), "");
  EXPECT_EQ(brand.Read("port"), "80");
}

TEST(WriteBrandDefaults, ResetsAnEditedFileInPlace)
{
  TScratchFolder root;
  root.Write("Brand.ini", "[INI]\r\nport=8080\r\ntitle=\"Shop\"\r\nsrcdir=\"/srv/www\"\r\nextra=kept\r\n");
  const TConfigFile brand(WriteBrandDefaults(root.Path()));
  EXPECT_EQ(brand.Read("port"), "80");
  EXPECT_EQ(brand.Read("title"), "My Program");
  EXPECT_EQ(brand.Read("srcdir"), "");
  EXPECT_EQ(brand.Read("extra"), "kept");
  EXPECT_EQ(ReadBytes(brand.Path())
                .rfind("[INI]\r\nport=80\r\ntitle=\"My Program\"\r\nsrcdir=\r\nextra=kept\r\n", 0),
            0u);
}

TEST(WriteBrandDefaults, NeedsAWritableWorkFolder)
{
  EXPECT_THROW(WriteBrandDefaults(""), std::runtime_error);
  TScratchFolder root;
  try {
    WriteBrandDefaults(root.File("missing"));
    ADD_FAILURE() << "no error for a missing folder";
  } catch (const std::runtime_error &error) {
    EXPECT_EQ(error.what(), "Unable to write to " + root.File("missing/Brand.ini"));
  }
}
