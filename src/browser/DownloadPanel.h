#pragma once

#include <QFrame>
#include <QPointer>
#include <QString>

class QLabel;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QWebEngineDownloadRequest;

// One download in its window's status bar: while it runs, its name, progress and Cancel; once
// complete, Open and Show in Folder; when it failed, why. The engine writes to a partial file, which
// becomes the target the user chose only once both are known: a cancelled or failed download, or
// one whose window closes first, deletes it, so nothing partial is left and a file being replaced
// stays whole until then. The panels of a window share one place of its status bar (TDownloadShelf).
class TDownloadPanel : public QFrame
{
  Q_OBJECT

public:
  // Download: accepted, writing to Partial; Name is what the page called the file.
  TDownloadPanel(QWebEngineDownloadRequest *download, const QString &name, const QString &partial,
                 QStatusBar *bar);
  ~TDownloadPanel() override;

  // Where the user chose to save the download: it goes there once complete.
  void SetTarget(const QString &file);
  // The engine resumes the download as Download: it goes on into the same partial file.
  void Continue(QWebEngineDownloadRequest *resumed);
  // The user chose not to save it: it ends, and its partial file goes.
  void Abandon();
  // The download failed: there is nothing to save.
  bool Failed() const { return failed; }

private:
  void Follow(QWebEngineDownloadRequest *request);
  void ShowProgress();
  void StateChanged();
  // Moves the complete download to its target.
  void Deliver();
  void SetText(const QString &line);
  void Fail(const QString &why);
  void RemovePartial() const;
  // Takes the panel out of the status bar, hiding the bar again when it was shown for the panels.
  void Dismiss();

  QPointer<QWebEngineDownloadRequest> download;
  QString name;
  QString partial;
  QString target;
  QStatusBar *bar;
  // The file is at its target.
  bool delivered = false;
  bool failed = false;
  QLabel *text;
  QProgressBar *progress;
  QPushButton *cancel;
  QPushButton *open;
  QPushButton *showFolder;
  QPushButton *close;
};
