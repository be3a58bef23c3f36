#pragma once

#include <QApplication>
#include <QString>

// Text of the default error report: the message with a full stop appended unless it ends in one.
QString ErrorReportText(const QString &message);

// Shows the default error report: a critical box captioned with the application title, OK only.
void ShowErrorReport(const QString &message);

// The application object. An exception that escapes an event handler is reported in the default error
// report; the operation in progress ends there and the application goes on.
class TCorvalaApplication : public QApplication
{
public:
  TCorvalaApplication(int &argc, char **argv);

  bool notify(QObject *receiver, QEvent *event) override;
};
