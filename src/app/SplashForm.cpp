#include "app/SplashForm.h"

#include "app/SplashImage.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <exception>

QPoint CentredSplashPosition(const QRect &screen, const QSize &size)
{
  return {screen.left() + (screen.width() - size.width()) / 2,
          screen.top() + (screen.height() - size.height()) / 2};
}

TfrmSplash::TfrmSplash(TSplashSource source, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      FSource(std::move(source)), Image1(new QLabel(this))
{
  setObjectName("frmSplash");
  setAttribute(Qt::WA_DeleteOnClose);
  setCursor(Qt::WaitCursor);
  resize(472, 333);
  Image1->setObjectName("Image1");
  Image1->setGeometry(80, 56, 105, 105);
}

void TfrmSplash::setVisible(bool visible)
{
  // The picture is placed before the window reaches the screen, so it never shows at the
  // design size first.
  QString error;
  if (visible && !FShown) {
    FShown = true;
    error = FormShow();
  }
  // A file of no known format leaves an empty picture and so a window of no size, which the
  // window system cannot show: the window stays hidden.
  if (visible && FReady && size().isEmpty())
    return;
  QWidget::setVisible(visible);
  // Reported once the window is up, so the message box comes above it.
  if (!error.isEmpty())
    ReportError(error);
}

QString TfrmSplash::FormShow()
{
  QImage picture;
  try {
    picture = LoadSplashImage(FSource());
  } catch (const std::exception &error) {
    return QString::fromStdString(error.what());
  }
  Image1->setPixmap(QPixmap::fromImage(picture));
  Image1->setGeometry(0, 0, picture.width(), picture.height());
  resize(picture.size());
  move(CentredSplashPosition(QGuiApplication::primaryScreen()->geometry(), picture.size()));
  FReady = true;
  return {};
}

void TfrmSplash::ReportError(const QString &message)
{
  // Shown without blocking, so the splash process keeps serving its window until it is ended.
  QString text = message;
  if (!text.endsWith('.'))
    text += '.';
  auto *box = new QMessageBox(QMessageBox::Critical, QGuiApplication::applicationDisplayName(), text,
                              QMessageBox::Ok, this);
  box->setObjectName("SplashErrorBox");
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}
