#include "browser/PopupFeatures.h"

#include <gtest/gtest.h>

namespace
{

struct TBars {
  bool menu, tool, address, status;
};

void ExpectBars(const TPopupFeatures &features, TBars bars)
{
  EXPECT_EQ(features.menuBar, bars.menu);
  EXPECT_EQ(features.toolBar, bars.tool);
  EXPECT_EQ(features.addressBar, bars.address);
  EXPECT_EQ(features.statusBar, bars.status);
}

} // namespace

TEST(PopupFeatures, ABlankStringAsksForNothingAndKeepsEveryBar)
{
  for (const QString &text : {QString(), QString(""), QString("  \t ")}) {
    const TPopupFeatures features = ParsePopupFeatures(text);
    ExpectBars(features, {true, true, true, true});
    EXPECT_FALSE(features.PositionRequested());
    EXPECT_FALSE(features.width || features.height);
  }
}

TEST(PopupFeatures, AnyFeatureTurnsTheUnnamedBarsOff)
{
  const TPopupFeatures features = ParsePopupFeatures("left=100,top=50,width=400,height=300");
  ExpectBars(features, {false, false, false, false});
  EXPECT_EQ(features.left, 100);
  EXPECT_EQ(features.top, 50);
  EXPECT_EQ(features.width, 400);
  EXPECT_EQ(features.height, 300);
  EXPECT_TRUE(features.PositionRequested());

  ExpectBars(ParsePopupFeatures("status=yes"), {false, false, false, true});
  ExpectBars(ParsePopupFeatures("menubar,toolbar=1,location=yes,status=no"), {true, true, true, false});
  ExpectBars(ParsePopupFeatures("toolbar=0,status=2"), {false, false, false, true});
  ExpectBars(ParsePopupFeatures("status=maybe"), {false, false, false, false});
}

TEST(PopupFeatures, SeparatorsCaseAliasesAndRepeatsAreReadAsBrowsersDo)
{
  const TPopupFeatures spaced = ParsePopupFeatures("  WIDTH = 400 ,height=300\tLeft=7  top =8");
  EXPECT_EQ(spaced.width, 400);
  EXPECT_EQ(spaced.height, 300);
  EXPECT_EQ(spaced.left, 7);
  EXPECT_EQ(spaced.top, 8);

  const TPopupFeatures aliases = ParsePopupFeatures("screenX=10 screenY=20 innerWidth=300 innerHeight=200");
  EXPECT_EQ(aliases.left, 10);
  EXPECT_EQ(aliases.top, 20);
  EXPECT_EQ(aliases.width, 300);
  EXPECT_EQ(aliases.height, 200);

  // The standard names win over the aliases; the last of two equal names wins.
  const TPopupFeatures both = ParsePopupFeatures("screenx=1,left=2,status=yes,status=no");
  EXPECT_EQ(both.left, 2);
  EXPECT_FALSE(both.statusBar);
}

TEST(PopupFeatures, NumbersAreLeadingIntegersAndSizesHaveAFloor)
{
  const TPopupFeatures units = ParsePopupFeatures("width=400px,height=+250.7,left=-20,top=abc");
  EXPECT_EQ(units.width, 400);
  EXPECT_EQ(units.height, 250);
  EXPECT_EQ(units.left, -20);
  EXPECT_FALSE(units.top);
  EXPECT_TRUE(units.PositionRequested());

  const TPopupFeatures tiny = ParsePopupFeatures("width=0,height=-5");
  EXPECT_EQ(tiny.width, MinPopupContentSize);
  EXPECT_EQ(tiny.height, MinPopupContentSize);

  EXPECT_FALSE(ParsePopupFeatures("width=99999999999").width);
  EXPECT_FALSE(ParsePopupFeatures("width=").width);
}

TEST(PopupFeatures, OnlyAPositionCountsAsARequestedPlace)
{
  EXPECT_FALSE(ParsePopupFeatures("width=400,height=300").PositionRequested());
  EXPECT_TRUE(ParsePopupFeatures("top=0").PositionRequested());
  EXPECT_TRUE(ParsePopupFeatures("screenX=0").PositionRequested());
}
