#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <vector>

// What a message box showed before it was answered.
struct TSeenBox {
  QString caption;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
};

// Answers every message box that opens with Answer and records what it showed.
class TBoxAnswerer
{
public:
  explicit TBoxAnswerer(QMessageBox::StandardButton answer)
  {
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [this, answer] {
      auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
      if (box == nullptr || !box->isVisible())
        return;
      boxes.push_back({box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
      box->button(answer)->click();
    });
    timer.start();
  }
  std::vector<TSeenBox> boxes;

private:
  QTimer timer;
};
