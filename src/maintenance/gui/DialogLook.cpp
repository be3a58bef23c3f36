#include "maintenance/gui/DialogLook.h"

#include <QDialog>
#include <QFont>
#include <QPushButton>
#include <QScreen>

void SetDialogLook(QDialog *dialog, int width, int height)
{
  dialog->setFixedSize(width, height);
  dialog->setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
  dialog->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  QFont tahoma("Tahoma");
  tahoma.setPointSize(8);
  dialog->setFont(tahoma);
}

QPushButton *MakeDialogButton(QWidget *parent, const char *name, const char *caption, int left, int top)
{
  auto *button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setGeometry(left, top, 75, 25);
  button->setFocusPolicy(Qt::ClickFocus);
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

void CentreOnScreen(QWidget *window)
{
  const QScreen *screen = window->screen();
  if (screen == nullptr)
    return;
  QRect frame = window->frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window->move(frame.topLeft());
}
