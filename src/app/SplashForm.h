#pragma once

#include <QByteArray>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>
#include <functional>

class QLabel;

// Gives the splash picture's file bytes; throws when they cannot be had (a missing resource).
using TSplashSource = std::function<QByteArray()>;

// Top-left corner that centres a window of Size on Screen; each half of the difference is
// truncated toward zero, so a window larger than the screen gets a negative position.
QPoint CentredSplashPosition(const QRect &screen, const QSize &size);

// The borderless, always-on-top splash window without a taskbar entry. The picture is loaded
// when the window is first shown; a failure is reported in a message box and leaves the window
// at its design size without a picture.
class TfrmSplash : public QWidget
{
  Q_OBJECT

public:
  explicit TfrmSplash(TSplashSource source, QWidget *parent = nullptr);

  // True once the picture has been loaded and the window placed.
  bool Ready() const { return FReady; }

  void setVisible(bool visible) override;

private:
  // Loads and places the picture; gives the error message when that fails.
  QString FormShow();
  void ReportError(const QString &message);

  TSplashSource FSource;
  QLabel *Image1; // the splash picture
  bool FReady = false;
  bool FShown = false;
};
