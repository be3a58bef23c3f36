#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QWebEngineFindTextResult;
class TWebBrowser;

// The find bar under a page: the text to find, Previous and Next, how many matches there are and
// which one is marked, and a Close button. Enter goes to the next match, Shift+Enter to the previous,
// Esc closes the bar and clears the marks.
class TFindBar : public QWidget
{
  Q_OBJECT

public:
  TFindBar(TWebBrowser *browser, QWidget *parent);

  // Shows the bar with its text selected, ready for typing.
  void Open();
  void Close();
  void FindNext();
  void FindPrevious();
  // "3 of 12", "No matches", or empty before a search.
  QString MatchText() const;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void Find(bool backward);
  void ShowResult(const QWebEngineFindTextResult &result);

  TWebBrowser *browser;
  QLineEdit *edtFind;
  QLabel *lblMatches;
};
