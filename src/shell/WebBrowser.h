#pragma once

#include <QString>
#include <QWebEngineView>

class QWebEngineNewWindowRequest;

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

  // Loads Address as given; an address that is not a valid URL is an error.
  void Navigate(const QString &address);
  void GoBack();
  void GoForward();
  void Refresh();
  void Stop();
  // Navigates to HomeAddress (when one is set).
  void GoHome();

  bool Busy() const { return busy; }
  TReadyState ReadyState() const { return readyState; }
  QString LocationURL() const;

  bool Silent() const { return silent; }
  void SetSilent(bool value) { silent = value; }

  QString HomeAddress;

signals:
  void StatusTextChange(const QString &text);
  void TitleChange(const QString &text);
  void CommandStateChange(int command, bool enable);
  void ProgressChange(int progress, int progressMax);
  void NewWindow(QWebEngineNewWindowRequest &request);
  void WindowClosing();

private:
  class TPage;

  bool busy = false;
  TReadyState readyState = READYSTATE_UNINITIALIZED;
  bool silent = false;
};
