#pragma once

#include <QObject>
#include <QTimer>
#include <QWebEnginePage>
#include <chrono>
#include <functional>

// Watches the process that renders a page: whether its scripts still answer, and its end. A page
// whose script never returns (a busy loop) keeps its renderer from answering anything, new
// addresses included: only ending that renderer gives the view back.
class TPageWatch : public QObject
{
  Q_OBJECT

public:
  // How often the page is asked whether it answers.
  static constexpr std::chrono::milliseconds ProbeInterval{1000};
  // Unanswered this long, a navigation ends the renderer rather than wait behind it.
  static constexpr std::chrono::milliseconds SlowAfter{2000};
  // Unanswered this long, the renderer is reported as not responding.
  static constexpr std::chrono::milliseconds HungAfter{5000};

  explicit TPageWatch(QWebEnginePage *page);

  // The page has left a question unanswered for SlowAfter or longer.
  bool NotAnswering() const;
  // Ends the page's renderer at once; Then runs when it has ended, with the page ready to load
  // again. Ended() is not emitted for this end.
  void EndRenderer(std::function<void()> then);
  // While a page's own box (alert, confirm) is open its scripts wait for the answer: that is no hang.
  void SetPaused(bool paused);
  // The user chose to wait: asked again only after Delay more without an answer.
  void WaitLonger(std::chrono::milliseconds delay);

signals:
  void Unresponsive();
  // Answers again after Unresponsive().
  void Responsive();
  // The renderer ended by itself or was ended by someone else: the view shows nothing now.
  void Ended(QWebEnginePage::RenderProcessTerminationStatus status, int exitCode);

private:
  void Probe();
  void Forget();

  QWebEnginePage *page;
  QTimer timer;
  bool paused = false;
  // The question in flight, counted so that a late answer to an older one is ignored.
  unsigned probe = 0;
  bool waiting = false;
  std::chrono::steady_clock::time_point askedAt;
  std::chrono::milliseconds reportAfter = HungAfter;
  bool reported = false;
  std::function<void()> afterEnd;
};
