#include "widgets/ErrorReport.h"

#include "widgets/ApplicationTitle.h"

#include <QMessageBox>

QString ErrorReportText(const QString &message)
{
  return message.endsWith('.') ? message : message + '.';
}

void ShowErrorReport(const QString &message)
{
  QMessageBox box(QMessageBox::Critical, ApplicationTitle(), ErrorReportText(message), QMessageBox::Ok);
  box.setObjectName("ErrorReport");
  box.exec();
}
