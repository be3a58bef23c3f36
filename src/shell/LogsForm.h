#pragma once

#include "shell/LogSource.h"

#include <QWidget>
#include <vector>

class QPushButton;
class QTabWidget;
class QTimer;
class TLogView;

// The Logs window: one tab per log of the running stack, each following its file, and a button
// that opens the folder they are in.
class TfrmLogs : public QWidget
{
  Q_OBJECT

public:
  // How often the shown window reads what the logs gained: a line shows well within a second.
  static constexpr int PollInterval = 250;

  explicit TfrmLogs(const TRunLogs &logs, QWidget *parent = nullptr);

  // Shows the window, or brings it to the front when it is open.
  void ShowLogs();

protected:
  void showEvent(QShowEvent *event) override;
  void hideEvent(QHideEvent *event) override;

private:
  void PollLogs();

  std::string folder;
  QTabWidget *pgcLogs;
  std::vector<TLogView *> views;
  QPushButton *btnOpenFolder;
  QTimer *tmrPoll;
};
