#include "shell/ErrorReport.h"

#include "widgets/ApplicationTitle.h"

#include <QMessageBox>
#include <exception>

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

TCorvalaApplication::TCorvalaApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool TCorvalaApplication::notify(QObject *receiver, QEvent *event)
{
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception &error) {
    ShowErrorReport(QString::fromStdString(error.what()));
  } catch (...) {
    ShowErrorReport(QStringLiteral("Unknown error"));
  }
  return false;
}
