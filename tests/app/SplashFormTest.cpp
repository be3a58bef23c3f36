#include "app/SplashForm.h"
#include "TestImages.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <png.h>
#include <stdexcept>
#include <unistd.h>

namespace
{

QByteArray RgbPng(int width, int height)
{
  const QImage picture = QuadrantPicture(width, height);
  PngPicture png(width, height, PNG_COLOR_TYPE_RGB, 8, {});
  for (int y = 0; y < height; ++y)
    png.rows.emplace_back(picture.constScanLine(y), picture.constScanLine(y) + width * 3);
  return WritePng(png);
}

TSplashSource BytesOf(const QByteArray &bytes)
{
  return [bytes] { return bytes; };
}

QMessageBox *ErrorBoxOf(const QWidget &form)
{
  return form.findChild<QMessageBox *>("SplashErrorBox");
}

} // namespace

TEST(SplashForm, CentringTruncatesTowardZero)
{
  const QRect screen(0, 0, 1024, 768);
  EXPECT_EQ(CentredSplashPosition(screen, {640, 480}), QPoint(192, 144));
  EXPECT_EQ(CentredSplashPosition(screen, {1025, 771}), QPoint(0, -1));
  EXPECT_EQ(CentredSplashPosition(screen, {1027, 767}), QPoint(-1, 0));
  EXPECT_EQ(CentredSplashPosition(screen, {2000, 1000}), QPoint(-488, -116));
  EXPECT_EQ(CentredSplashPosition(QRect(1920, 100, 1024, 768), {640, 480}), QPoint(2112, 244));
}

TEST(SplashForm, DesignStateBeforeShowing)
{
  TfrmSplash form(BytesOf({}));
  EXPECT_EQ(form.objectName(), "frmSplash");
  EXPECT_EQ(form.size(), QSize(472, 333));
  EXPECT_FALSE(form.Ready());
  const Qt::WindowFlags flags = form.windowFlags();
  EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool); // no taskbar entry
  EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_EQ(form.cursor().shape(), Qt::WaitCursor);
  const auto *image = form.findChild<QLabel *>("Image1");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->geometry(), QRect(80, 56, 105, 105));
}

TEST(SplashForm, ShowingPlacesThePictureInTheMiddleOfTheScreen)
{
  ASSERT_EQ(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1024, 768));
  TfrmSplash form(BytesOf(RgbPng(640, 480)));
  form.show();
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(form.Ready());
  EXPECT_EQ(form.geometry(), QRect(192, 144, 640, 480));
  const auto *image = form.findChild<QLabel *>("Image1");
  EXPECT_EQ(image->geometry(), QRect(0, 0, 640, 480));
  const QImage shown = image->pixmap().toImage();
  ASSERT_EQ(shown.size(), QSize(640, 480));
  EXPECT_EQ(shown.pixelColor(639, 0), QuadrantColours[1]);
  EXPECT_EQ(ErrorBoxOf(form), nullptr);
}

TEST(SplashForm, PictureLargerThanTheScreenGetsNegativePosition)
{
  TfrmSplash form(BytesOf(WriteBitmap(QuadrantPicture(1200, 900))));
  form.show();
  EXPECT_TRUE(form.Ready());
  EXPECT_EQ(form.geometry(), QRect(-88, -66, 1200, 900));
}

TEST(SplashForm, LoadFailureKeepsTheDesignSizeAndReportsTheMessage)
{
  TfrmSplash form([]() -> QByteArray { throw std::runtime_error("Resource RES_SPLASH not found"); });
  form.show();
  EXPECT_TRUE(form.isVisible());
  EXPECT_FALSE(form.Ready());
  EXPECT_EQ(form.size(), QSize(472, 333));
  const QMessageBox *box = ErrorBoxOf(form);
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->isVisible());
  EXPECT_EQ(box->text(), "Resource RES_SPLASH not found.");
  EXPECT_EQ(box->windowTitle(), "Corvala Test");
  EXPECT_EQ(box->icon(), QMessageBox::Critical);

  QByteArray truncated = RgbPng(64, 64);
  truncated.chop(30);
  TfrmSplash damaged(BytesOf(truncated));
  damaged.show();
  EXPECT_FALSE(damaged.Ready());
  EXPECT_EQ(damaged.size(), QSize(472, 333));
  ASSERT_NE(ErrorBoxOf(damaged), nullptr);
  EXPECT_EQ(ErrorBoxOf(damaged)->text(), "Invalid PNG image: the file is truncated.");
}

TEST(SplashForm, UnknownFormatShowsNoWindow)
{
  TfrmSplash form(BytesOf(WriteJpeg(QuadrantPicture(64, 64), JpegHeader::ExifOnly)));
  form.show();
  EXPECT_TRUE(form.Ready());
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(ErrorBoxOf(form), nullptr);
}

TEST(SplashForm, ClosingFreesTheWindow)
{
  QPointer<TfrmSplash> form = new TfrmSplash(BytesOf(RgbPng(32, 32)));
  form->show();
  form->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(form.isNull());
}
