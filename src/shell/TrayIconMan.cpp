#include "shell/TrayIconMan.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QWidget>

namespace
{

// Time after a handled click in which the release completing a double click may still arrive.
constexpr int ClickBlockSlackMs = 55;

} // namespace

QString FitTrayTip(const QString &tip)
{
  if (tip.size() <= MaxTrayTipLength)
    return tip;
  const QString ellipsis = "...";
  qsizetype keep = MaxTrayTipLength - ellipsis.size();
  if (tip.at(keep - 1).isHighSurrogate())
    --keep;
  return tip.left(keep) + ellipsis;
}

void ForceForegroundWindow(QWidget *window)
{
  window->raise();
  window->activateWindow();
}

TTrayIconMan::TTrayIconMan(QWidget *window) : applicationWindow(window)
{
  clock.start();
}

TTrayIconMan::~TTrayIconMan()
{
  RemoveIcon();
}

void TTrayIconMan::AddIcon(const QIcon &icon, const QString &tip, std::function<void()> handler, QMenu *menu)
{
  if (trayIcon)
    return;
  clickHandler = std::move(handler);
  rightClickMenu = menu;
  notifications = true;
  trayIcon = std::make_unique<QSystemTrayIcon>(icon);
  trayIcon->setObjectName("TrayIcon");
  trayIcon->setToolTip(FitTrayTip(tip));
  // The menu is opened here rather than by the icon itself, so that it obeys SetNotifications.
  connect(trayIcon.get(), &QSystemTrayIcon::activated, this, &TTrayIconMan::Activated);
  trayIcon->show();
}

void TTrayIconMan::RemoveIcon()
{
  if (!trayIcon)
    return;
  trayIcon->hide();
  trayIcon.reset();
}

void TTrayIconMan::SetNotifications(bool enabled)
{
  if (trayIcon)
    notifications = enabled;
}

void TTrayIconMan::Activated(QSystemTrayIcon::ActivationReason reason)
{
  if (!notifications)
    return;
  switch (reason) {
  case QSystemTrayIcon::Trigger:
    Clicked();
    break;
  case QSystemTrayIcon::Context:
    if (rightClickMenu)
      rightClickMenu->popup(QCursor::pos());
    break;
  default:
    // Double clicks are covered by the click block; the middle button means nothing here.
    break;
  }
}

void TTrayIconMan::Clicked()
{
  if (!clickHandler)
    return;
  if (!ClicksBlocked()) {
    clickBlockDeadline = clock.elapsed() + QApplication::doubleClickInterval() + ClickBlockSlackMs;
    clickHandler();
  } else if (applicationWindow && applicationWindow->isVisible()) {
    ForceForegroundWindow(applicationWindow);
  }
}
