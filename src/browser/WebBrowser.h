#pragma once

#include <QString>
#include <QUrl>
#include <QWebEngineView>
#include <functional>

class QLabel;
class QMenu;
class QMessageBox;
class QWebEngineNewWindowRequest;
class TPageDialogs;
class TPageWatch;

// The page view of a browser window. Offers the navigation commands, state and events the windows
// are written against, rendered on Qt WebEngine.
class TWebBrowser : public QWebEngineView
{
  Q_OBJECT

public:
  // The states a document passes through; only "complete" matters to the windows.
  enum TReadyState { READYSTATE_UNINITIALIZED = 0, READYSTATE_LOADING = 1, READYSTATE_COMPLETE = 4 };
  // Commands reported by CommandStateChange.
  enum TCommand { CSC_NAVIGATEFORWARD = 1, CSC_NAVIGATEBACK = 2 };

  explicit TWebBrowser(QWidget *parent = nullptr);

  // Loads CompletedAddress(Address); an empty address loads nothing.
  void Navigate(const QString &address);
  void GoBack();
  void GoForward();
  void Refresh();
  void Stop();
  // Navigates to HomeAddress (when one is set).
  void GoHome();
  // Zoom in and out by the usual steps, or back to 100 %; kept for the page's site (host and port)
  // for this session, and taken up again by every page of that site.
  void ZoomIn();
  void ZoomOut();
  void ZoomReset();

  bool Busy() const { return busy; }
  TReadyState ReadyState() const { return readyState; }
  QString LocationURL() const;

  bool Silent() const { return silent; }
  void SetSilent(bool value) { silent = value; }

  QString HomeAddress;

  // The boxes its page's scripts open, and the watch on the renderer.
  TPageDialogs *Dialogs() const { return dialogs; }
  TPageWatch *Watch() const { return watch; }
  // The panel shown instead of the page when its renderer has ended (null before the first end).
  QWidget *StoppedPanel() const { return stoppedPanel; }

signals:
  // The page's context menu is about to show: its owners may add their entries.
  void ContextMenuOpening(QMenu *menu);
  void StatusTextChange(const QString &text);
  void TitleChange(const QString &text);
  void CommandStateChange(int command, bool enable);
  void ProgressChange(int progress, int progressMax);
  void NewWindow(QWebEngineNewWindowRequest &request);
  void WindowClosing();

protected:
  void resizeEvent(QResizeEvent *event) override;
  void contextMenuEvent(QContextMenuEvent *event) override;

private:
  class TPage;

  // Runs a navigation: leaves the page's open boxes, and when the page no longer answers, ends its
  // renderer first, since it would never give way to the new page.
  void Leave(const std::function<void()> &navigation);
  void ShowStopped(int status, int exitCode);
  void SetSiteZoom(qreal factor);
  void AskAboutHang();

  bool busy = false;
  TReadyState readyState = READYSTATE_UNINITIALIZED;
  bool silent = false;
  // Pop-ups opened since the page's last load without a user's click or key.
  int unrequestedPopups = 0;
  TPageDialogs *dialogs;
  TPageWatch *watch;
  QWidget *stoppedPanel = nullptr;
  QLabel *stoppedText = nullptr;
  QMessageBox *notResponding = nullptr;
  // The title says the page stopped until the next page has loaded.
  bool titleMarkedStopped = false;
};

// How many pop-ups a page may open per load without a user's gesture; the rest are refused
// quietly, so a page looping on window.open cannot flood the desktop.
constexpr int PopupsWithoutGesture = 2;

// Address as typed, completed as browsers do: a bare host, host and path, or host and port gets
// "http://"; a file path becomes a file address; one with "://" is taken as written. An error names
// what cannot be an address.
QUrl CompletedAddress(const QString &address);

// Whether a page's request for a new window may be opened: never for an address the engine blocked
// or a script address, which it cannot show in a window of its own.
bool IsOpenableWindowAddress(const QUrl &address);
