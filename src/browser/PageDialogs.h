#pragma once

#include <QObject>
#include <QString>

class QWidget;

// The boxes a page's scripts open: alert, confirm and prompt. Each one blocks its page only: the
// window's close box, the tray menu and the exit signals keep working while it is open, so a page
// that opens them in a loop cannot hold the program. Once the shutdown has begun, open boxes are
// cancelled and new ones are answered at once without showing.
class TPageDialogs : public QObject
{
  Q_OBJECT

public:
  enum class TKind { Alert, Confirm, Prompt };

  // After this many boxes since the page's last load, each box offers to stop the page's boxes.
  static constexpr int BoxesBeforeOffer = 1;

  // Page: the view the boxes block, and their owner's window.
  explicit TPageDialogs(QWidget *page);

  // Shows the box and waits for its answer, running events meanwhile. Gives true for OK; Value
  // holds a prompt's default text on entry and its answer on exit. Without a box (the page's boxes
  // were stopped, or the shutdown began) an alert is taken as seen and the others as cancelled.
  bool Ask(TKind kind, const QString &text, QString &value);
  // The page loaded again: it may show boxes again, and the offer waits for the count once more.
  void PageLoaded();
  bool Open() const { return shownBoxes > 0; }
  // Cancels this page's open boxes: the page is being left.
  void CancelOpen() const;

  // Cancels every open box of every page, and answers every later one at once: the program ends.
  static void CloseAll();
  // The program's main window opens: pages may show boxes, until CloseAll().
  static void AllowAll();

signals:
  // A box is about to show: whatever covers the window (the splash) must go.
  void Opening();
  void OpenChanged(bool open);

private:
  QWidget *page;
  int boxesSinceLoad = 0;
  int shownBoxes = 0;
  bool stopped = false;
};
