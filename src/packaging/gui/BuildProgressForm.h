#pragma once

#include "packaging/BuildProgress.h"

#include <QDialog>
#include <QElapsedTimer>

class QLabel;
class QProgressBar;
class QPushButton;

// The window a distribution build shows while it copies: the step, files and bytes done of the
// total, the time left once it can be told, and Cancel. It does not block the main window.
class TfrmBuildProgress : public QDialog
{
  Q_OBJECT

public:
  explicit TfrmBuildProgress(QWidget *owner);

  void ShowProgress(const Corvala::TBuildProgress &progress);
  // After Cancel: the build is stopping and removing what it made.
  void ShowCancelling();

signals:
  void cancelRequested();

protected:
  void reject() override;

private:
  QLabel *lblStep;
  QLabel *lblFiles;
  QLabel *lblBytes;
  QLabel *lblTimeLeft;
  QProgressBar *barProgress;
  QPushButton *btnCancel;
  QElapsedTimer copyClock;
  uint64_t copyStartBytes = 0;
};
