#include "browser/AddressHistory.h"

#include "base/Trim.h"

#include <QApplication>
#include <QComboBox>
#include <QStyle>

void RecordAddress(QComboBox *history, const QString &address)
{
  const QString trimmed = QString::fromStdString(Base::TrimBlanks(address.toStdString()));
  if (trimmed.isEmpty())
    return;
  int match = history->findText(trimmed, Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (match < 0) {
    history->insertItem(0, QApplication::style()->standardIcon(QStyle::SP_FileLinkIcon), trimmed);
    if (history->count() > MaxAddressHistoryItems)
      history->removeItem(history->count() - 1);
    match = 0;
  }
  history->setCurrentIndex(match);
}

bool MoveInAddressHistory(QComboBox *history, int key)
{
  const int index = history->currentIndex();
  switch (key) {
  case Qt::Key_Up:
  case Qt::Key_Left:
    if (index > 0) {
      history->setCurrentIndex(index - 1);
      return true;
    }
    return false;
  case Qt::Key_Down:
  case Qt::Key_Right:
    if (index < history->count() - 1) {
      history->setCurrentIndex(index + 1);
      return true;
    }
    return false;
  default:
    return false;
  }
}
