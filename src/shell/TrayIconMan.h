#pragma once

#include <QElapsedTimer>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>

class QMenu;
class QWidget;

// The longest tip a tray icon shows whole.
constexpr int MaxTrayTipLength = 127;

// Tip as a tray icon shows it: unchanged up to MaxTrayTipLength characters, otherwise cut so that it
// ends in "..." within that length (never inside a surrogate pair).
QString FitTrayTip(const QString &tip);

// Brings Window to the front of the desktop and gives it the keyboard focus.
void ForceForegroundWindow(QWidget *window);

// One icon in the desktop's notification area. A click calls the click handler, a right click opens
// the menu. Clicks that follow a handled click within the double-click time + 55 ms do not call the
// handler again (a double click toggles once); they only bring the application window forward.
class TTrayIconMan : public QObject
{
  Q_OBJECT

public:
  // ApplicationWindow is brought forward by blocked clicks; not owned.
  explicit TTrayIconMan(QWidget *applicationWindow);
  ~TTrayIconMan() override;

  // Puts the icon up, unless it is up already. Neither the icon nor the menu is owned.
  void AddIcon(const QIcon &icon, const QString &tip, std::function<void()> clickHandler,
               QMenu *rightClickMenu);
  void RemoveIcon();
  // While off, clicks on the icon are ignored (a modal dialog is open).
  void SetNotifications(bool enabled);

  bool IconAdded() const { return trayIcon != nullptr; }
  // Whether a click now would fall in the block after a handled click.
  bool ClicksBlocked() const { return clock.elapsed() < clickBlockDeadline; }
  // The icon while it is up, else null.
  QSystemTrayIcon *TrayIcon() const { return trayIcon.get(); }

private:
  void Activated(QSystemTrayIcon::ActivationReason reason);
  void Clicked();

  QPointer<QWidget> applicationWindow;
  std::unique_ptr<QSystemTrayIcon> trayIcon;
  std::function<void()> clickHandler;
  QPointer<QMenu> rightClickMenu;
  bool notifications = true;
  QElapsedTimer clock;
  qint64 clickBlockDeadline = 0;
};
