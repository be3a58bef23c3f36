#include "browser/FindBar.h"

#include "browser/WebBrowser.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QWebEngineFindTextResult>

TFindBar::TFindBar(TWebBrowser *browser, QWidget *parent) : QWidget(parent), browser(browser)
{
  setObjectName("FindBar");
  auto *row = new QHBoxLayout(this);
  row->setContentsMargins(4, 2, 4, 2);
  row->addWidget(new QLabel("Find:", this));
  edtFind = new QLineEdit(this);
  edtFind->setObjectName("edtFind");
  edtFind->setMaximumWidth(300);
  edtFind->installEventFilter(this);
  row->addWidget(edtFind);
  auto button = [this, row](const char *name, const QString &caption) {
    auto *added = new QToolButton(this);
    added->setObjectName(name);
    added->setText(caption);
    row->addWidget(added);
    return added;
  };
  QToolButton *previous = button("btnFindPrevious", "Previous");
  QToolButton *next = button("btnFindNext", "Next");
  lblMatches = new QLabel(this);
  lblMatches->setObjectName("lblFindMatches");
  row->addWidget(lblMatches);
  row->addStretch(1);
  QToolButton *close = button("btnFindClose", "Close");

  connect(previous, &QToolButton::clicked, this, &TFindBar::FindPrevious);
  connect(next, &QToolButton::clicked, this, &TFindBar::FindNext);
  connect(close, &QToolButton::clicked, this, &TFindBar::Close);
  // Typing searches from the start as the text grows, as browsers do.
  connect(edtFind, &QLineEdit::textEdited, this, [this] { Find(false); });
  connect(browser->page(), &QWebEnginePage::findTextFinished, this, &TFindBar::ShowResult);
  hide();
}

void TFindBar::Open()
{
  show();
  edtFind->setFocus(Qt::ShortcutFocusReason);
  edtFind->selectAll();
}

void TFindBar::Close()
{
  hide();
  lblMatches->clear();
  // An empty search clears the marks.
  browser->page()->findText(QString());
  browser->setFocus();
}

void TFindBar::FindNext()
{
  Find(false);
}

void TFindBar::FindPrevious()
{
  Find(true);
}

QString TFindBar::MatchText() const
{
  return lblMatches->text();
}

void TFindBar::Find(bool backward)
{
  if (edtFind->text().isEmpty()) {
    browser->page()->findText(QString());
    lblMatches->clear();
    return;
  }
  browser->page()->findText(edtFind->text(),
                            backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags());
}

void TFindBar::ShowResult(const QWebEngineFindTextResult &result)
{
  if (edtFind->text().isEmpty())
    return;
  lblMatches->setText(result.numberOfMatches() == 0
                          ? QString("No matches")
                          : QString("%1 of %2").arg(result.activeMatch()).arg(result.numberOfMatches()));
}

bool TFindBar::eventFilter(QObject *watched, QEvent *event)
{
  if (watched == edtFind && event->type() == QEvent::KeyPress) {
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      Find(key->modifiers() & Qt::ShiftModifier);
      return true;
    }
    if (key->key() == Qt::Key_Escape) {
      Close();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}
