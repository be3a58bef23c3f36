#pragma once

#include <QApplication>
#include <QTimer>
#include <functional>

// Hands every modal dialog of type T that comes up to Act (which must close it), once each.
template <typename T> class TModalWatcher
{
public:
  explicit TModalWatcher(std::function<void(T &)> act) : act(std::move(act))
  {
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [this] {
      if (auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget());
          dialog && dialog->isVisible()) {
        ++seen;
        this->act(*dialog);
      }
    });
    timer.start();
  }
  int seen = 0;

private:
  std::function<void(T &)> act;
  QTimer timer;
};
