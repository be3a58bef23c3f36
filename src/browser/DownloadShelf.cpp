#include "browser/DownloadShelf.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <algorithm>
#include <utility>

namespace
{

constexpr char ShelfName[] = "DownloadShelf";

QToolButton *StepButton(QWidget *parent, const char *name, QStyle::StandardPixmap icon, const QString &tip)
{
  auto *button = new QToolButton(parent);
  button->setObjectName(name);
  button->setIcon(parent->style()->standardIcon(icon));
  button->setToolTip(tip);
  button->setAutoRaise(true);
  return button;
}

} // namespace

TDownloadShelf *TDownloadShelf::Of(QStatusBar *bar)
{
  if (auto *shelf = bar->findChild<TDownloadShelf *>(ShelfName, Qt::FindDirectChildrenOnly))
    return shelf;
  return new TDownloadShelf(bar);
}

TDownloadShelf::TDownloadShelf(QStatusBar *bar) : QFrame(bar), bar(bar)
{
  setObjectName(ShelfName);
  auto *row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  previous = StepButton(this, "btnPreviousDownload", QStyle::SP_ArrowLeft, "Newer download");
  position = new QLabel(this);
  position->setObjectName("lblDownloadPosition");
  next = StepButton(this, "btnNextDownload", QStyle::SP_ArrowRight, "Older download");
  // One page at a time: the shelf is as wide as its widest panel, however many it holds.
  stack = new QStackedWidget(this);
  row->addWidget(previous);
  row->addWidget(position);
  row->addWidget(next);
  row->addWidget(stack);
  connect(previous, &QToolButton::clicked, this, [this] { ShowAt(stack->currentIndex() - 1); });
  connect(next, &QToolButton::clicked, this, [this] { ShowAt(stack->currentIndex() + 1); });
  bar->insertWidget(0, this);
  hide();
}

int TDownloadShelf::Count() const
{
  return stack->count();
}

void TDownloadShelf::Add(QWidget *panel)
{
  stack->insertWidget(0, panel);
  if (isHidden()) {
    if (bar->isHidden()) {
      barShownForDownloads = true;
      bar->show();
    }
    show();
  }
  ShowAt(0);
}

void TDownloadShelf::Remove(QWidget *panel)
{
  const int index = stack->indexOf(panel);
  if (index < 0)
    return;
  stack->removeWidget(panel);
  panel->hide();
  if (Count() > 0) {
    ShowAt(std::min(index, Count() - 1));
    return;
  }
  hide();
  if (std::exchange(barShownForDownloads, false))
    bar->hide();
}

void TDownloadShelf::ShowAt(int index)
{
  if (index < 0 || index >= Count())
    return;
  stack->setCurrentIndex(index);
  const bool several = Count() > 1;
  previous->setVisible(several);
  next->setVisible(several);
  position->setVisible(several);
  position->setText(QString("%1 of %2").arg(index + 1).arg(Count()));
  previous->setEnabled(index > 0);
  next->setEnabled(index < Count() - 1);
}
