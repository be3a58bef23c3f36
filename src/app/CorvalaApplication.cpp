#include "app/CorvalaApplication.h"

#include "widgets/ErrorReport.h"

#include <exception>

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
