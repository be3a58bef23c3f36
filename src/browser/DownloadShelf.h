#pragma once

#include <QFrame>

class QLabel;
class QStackedWidget;
class QStatusBar;
class QToolButton;

// The downloads of one window's status bar, in one place of it: the newest download's panel shows,
// with "2 of 5" and buttons to step to the others, so that a burst of downloads never widens the
// window. A status bar hidden by the window's settings shows while it has downloads.
class TDownloadShelf : public QFrame
{
public:
  // Bar's shelf, made the first time.
  static TDownloadShelf *Of(QStatusBar *bar);

  // Puts Panel in front.
  void Add(QWidget *panel);
  // Takes Panel out; the next one comes to the front, and the shelf goes with the last.
  void Remove(QWidget *panel);
  int Count() const;

private:
  explicit TDownloadShelf(QStatusBar *bar);
  void ShowAt(int index);

  QStatusBar *bar;
  QStackedWidget *stack;
  QToolButton *previous;
  QToolButton *next;
  QLabel *position;
  // The bar was hidden, and shows for the downloads.
  bool barShownForDownloads = false;
};
