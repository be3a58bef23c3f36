#include "browser/PageDialogs.h"

#include "widgets/ApplicationTitle.h"

#include <QCheckBox>
#include <QEventLoop>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QWidget>
#include <optional>
#include <vector>

namespace
{

bool shutdownBegun = false;
struct TOpenBox {
  const TPageDialogs *owner;
  QPointer<QDialog> box;
};
std::vector<TOpenBox> openBoxes;

// The box for Kind, not yet shown; a prompt's box is a QInputDialog.
QDialog *CreateBox(TPageDialogs::TKind kind, const QString &text, const QString &value, QWidget *owner)
{
  const QString caption = ApplicationTitle();
  if (kind == TPageDialogs::TKind::Prompt) {
    auto *box = new QInputDialog(owner);
    box->setWindowTitle(caption);
    box->setLabelText(text);
    box->setTextValue(value);
    return box;
  }
  auto *box = new QMessageBox(
      kind == TPageDialogs::TKind::Alert ? QMessageBox::Information : QMessageBox::Question, caption, text,
      kind == TPageDialogs::TKind::Alert ? QMessageBox::Ok : QMessageBox::Ok | QMessageBox::Cancel, owner);
  // The engine asks before a page with unsaved work is left through a confirm of its own text.
  if (kind == TPageDialogs::TKind::Confirm && text.startsWith("Are you sure you want to leave this page?")) {
    box->button(QMessageBox::Ok)->setText("Leave");
    box->button(QMessageBox::Cancel)->setText("Stay");
  }
  return box;
}

} // namespace

TPageDialogs::TPageDialogs(QWidget *page) : QObject(page), page(page) {}

void TPageDialogs::PageLoaded()
{
  boxesSinceLoad = 0;
  stopped = false;
}

bool TPageDialogs::Ask(TKind kind, const QString &text, QString &value)
{
  if (shutdownBegun || stopped)
    return kind == TKind::Alert;
  emit Opening();
  ++boxesSinceLoad;
  QPointer<QDialog> box = CreateBox(kind, text, value, page->window());
  box->setObjectName("PageDialog");
  box->setAttribute(Qt::WA_DeleteOnClose, false);
  // Not modal: a modal box would block the window's close request and the tray's Exit.
  box->setWindowModality(Qt::NonModal);
  QCheckBox *stop = nullptr;
  if (auto *message = qobject_cast<QMessageBox *>(box.data()); message && boxesSinceLoad > BoxesBeforeOffer) {
    stop = new QCheckBox("Don't let this page show more dialogs");
    stop->setObjectName("chkStopPageDialogs");
    message->setCheckBox(stop);
  }

  // The page waits for the answer; nothing else of the window does.
  page->setEnabled(false);
  if (shownBoxes++ == 0)
    emit OpenChanged(true);
  openBoxes.push_back({this, box});
  // Which answer ended the box; none when the shutdown ended the wait first.
  std::optional<bool> answer;
  bool stopAsked = false;
  QEventLoop loop;
  connect(box, &QDialog::finished, &loop, [&, box] {
    if (auto *message = qobject_cast<QMessageBox *>(box.data()))
      answer = message->standardButton(message->clickedButton()) == QMessageBox::Ok;
    else
      answer = box->result() == QDialog::Accepted;
    stopAsked = stop && stop->isChecked();
    loop.quit();
  });
  connect(box, &QObject::destroyed, &loop, &QEventLoop::quit);
  box->show();
  box->raise();
  box->activateWindow();
  const QPointer<TPageDialogs> alive(this);
  loop.exec();
  std::erase_if(openBoxes, [&box](const TOpenBox &open) { return open.box == box; });
  // The window closed meanwhile, with its page and this object.
  if (!alive)
    return kind == TKind::Alert;
  if (--shownBoxes == 0) {
    page->setEnabled(true);
    emit OpenChanged(false);
  }

  if (stopAsked)
    stopped = true;
  if (auto *prompt = qobject_cast<QInputDialog *>(box.data()); prompt && answer.value_or(false))
    value = prompt->textValue();
  delete box.data();
  return kind == TKind::Alert || answer.value_or(false);
}

void TPageDialogs::CancelOpen() const
{
  for (const TOpenBox &open : std::vector(openBoxes))
    if (open.owner == this && open.box)
      open.box->reject();
}

void TPageDialogs::AllowAll()
{
  shutdownBegun = false;
}

void TPageDialogs::CloseAll()
{
  shutdownBegun = true;
  for (const TOpenBox &open : std::vector(openBoxes))
    if (open.box)
      open.box->reject();
}
