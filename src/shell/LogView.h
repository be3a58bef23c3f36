#pragma once

#include "files/FileFollower.h"
#include "shell/LogSource.h"

#include <QWidget>

class QLabel;
class QPlainTextEdit;

// One log in the Logs window: the file's full path, whether it is there, and its last lines,
// following what is appended.
class TLogView : public QWidget
{
  Q_OBJECT

public:
  // The most lines the view keeps; older ones go.
  static constexpr int MaxLines = 10000;

  explicit TLogView(const TLogSource &source, QWidget *parent = nullptr);

  // Shows what the file gained since the last call.
  void Poll();
  QPlainTextEdit *Text() const { return memLog; }

private:
  void ShowState(const QString &state, bool error);

  Files::TFileFollower follower;
  QLabel *lblPath;
  QLabel *lblState;
  QPlainTextEdit *memLog;
};
