#include "widgets/MessageBox.h"
#include "BoxAnswerer.h"

#include <gtest/gtest.h>

using namespace Widgets;

TEST(MessageBoxCaption, IconBitsChooseTheCaptionInTheirOrder)
{
  EXPECT_EQ(MessageBoxCaption(MB_ICONINFORMATION), "Information");
  EXPECT_EQ(MessageBoxCaption(MB_ICONWARNING), "Warning");
  EXPECT_EQ(MessageBoxCaption(MB_YESNO | MB_ICONQUESTION), "Confirm");
  EXPECT_EQ(MessageBoxCaption(MB_ICONERROR), "Error");
  EXPECT_EQ(MessageBoxCaption(MB_OK), "Corvala Test");
  EXPECT_EQ(MessageBoxCaption(MB_OKCANCEL | MB_DEFBUTTON2), "Corvala Test");
  // Overlapping bits: 0x70 holds the information bit, 0x30 both the question and the error bit.
  EXPECT_EQ(MessageBoxCaption(0x70), "Information");
  EXPECT_EQ(MessageBoxCaption(0x50), "Information");
  EXPECT_EQ(MessageBoxCaption(0x34), "Warning");
}

TEST(ShowMessageBox, ConfirmationShowsYesNoWithTheQuestionAndGivesTheAnswer)
{
  {
    TBoxAnswerer yes(QMessageBox::Yes);
    EXPECT_EQ(ShowMessageBox(ConfirmationText, ConfirmationFlags), IDYES);
    ASSERT_EQ(yes.boxes.size(), 1u);
    EXPECT_EQ(yes.boxes[0].caption, "Confirm");
    EXPECT_EQ(yes.boxes[0].text, "Are you sure you want to do this?");
    EXPECT_EQ(yes.boxes[0].icon, QMessageBox::Question);
    EXPECT_EQ(yes.boxes[0].buttons, QMessageBox::Yes | QMessageBox::No);
  }
  TBoxAnswerer no(QMessageBox::No);
  EXPECT_EQ(ShowMessageBox(ConfirmationText, 36), IDNO);
}

TEST(ShowMessageBox, ErrorReportHasOkOnlyAndTheErrorIcon)
{
  TBoxAnswerer ok(QMessageBox::Ok);
  EXPECT_EQ(ShowMessageBox("Cannot build.", MB_ICONERROR), IDOK);
  ASSERT_EQ(ok.boxes.size(), 1u);
  EXPECT_EQ(ok.boxes[0].caption, "Error");
  EXPECT_EQ(ok.boxes[0].icon, QMessageBox::Critical);
  EXPECT_EQ(ok.boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

TEST(ShowMessageBox, OtherButtonSetsGiveTheirIdentifiers)
{
  {
    TBoxAnswerer cancel(QMessageBox::Cancel);
    EXPECT_EQ(ShowMessageBox("Go on?", MB_YESNOCANCEL | MB_ICONWARNING), IDCANCEL);
    ASSERT_EQ(cancel.boxes.size(), 1u);
    EXPECT_EQ(cancel.boxes[0].caption, "Warning");
  }
  TBoxAnswerer retry(QMessageBox::Retry);
  EXPECT_EQ(ShowMessageBox("Again?", MB_RETRYCANCEL), IDRETRY);
}
