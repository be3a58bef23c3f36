#pragma once

#include <QApplication>

// The application object. An exception that escapes an event handler is reported in the default
// error report; the operation in progress ends there and the application goes on. It is the last
// net only: every command's slot catches and reports its own failures.
class TCorvalaApplication : public QApplication
{
public:
  TCorvalaApplication(int &argc, char **argv);

  bool notify(QObject *receiver, QEvent *event) override;
};
