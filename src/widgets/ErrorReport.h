#pragma once

#include <QString>

// Text of the default error report: the message with a full stop appended unless it ends in one.
QString ErrorReportText(const QString &message);

// Shows the default error report: a critical box captioned with the application title, OK only.
void ShowErrorReport(const QString &message);
