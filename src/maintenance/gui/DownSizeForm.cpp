#include "maintenance/gui/DownSizeForm.h"

#include "maintenance/gui/DialogLook.h"
#include "widgets/MessageBox.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QShowEvent>
#include <algorithm>
#include <utility>
#include <vector>

using namespace Widgets;

namespace
{

constexpr int DialogWidth = 262;
constexpr int RowHeight = 20;

// The framed groups top to bottom, each listing its components by command-line position.
const std::vector<std::vector<size_t>> &Groups()
{
  static const std::vector<std::vector<size_t>> groups = {
      {0, 1}, {2, 3}, {4, 5, 6, 7, 8, 9, 10, 11, 13, 14, 15}, {12, 16}};
  return groups;
}

} // namespace

TfrmDownSize::TfrmDownSize(std::string appPath, QWidget *parent)
    : QDialog(parent), appPath(std::move(appPath))
{
  setObjectName("frmDownSize");
  setWindowTitle("Down Size");

  const auto &components = DownSizeComponents();
  int top = 8;
  int groupNumber = 0;
  for (const auto &group : Groups()) {
    auto *frame = new QGroupBox(this);
    frame->setObjectName(QString("GroupBox%1").arg(++groupNumber));
    frame->setFocusPolicy(Qt::NoFocus);
    int row = 10;
    for (const size_t position : group) {
      auto *box = new QCheckBox(components[position].caption, frame);
      box->setObjectName(components[position].checkBox);
      box->setFocusPolicy(Qt::ClickFocus);
      box->setGeometry(12, row, DialogWidth - 40, 17);
      connect(box, &QCheckBox::toggled, this, &TfrmDownSize::CheckBoxClick);
      checkBoxes[position] = box;
      row += RowHeight;
    }
    const int height = row + 6;
    frame->setGeometry(8, top, DialogWidth - 16, height);
    top += height + 6;
  }
  btnOK = MakeDialogButton(this, "btnOK", "OK", DialogWidth - 166, top + 2);
  btnCancel = MakeDialogButton(this, "btnCancel", "Cancel", DialogWidth - 83, top + 2);
  connect(btnOK, &QPushButton::clicked, this, &TfrmDownSize::btnOKClick);
  connect(btnCancel, &QPushButton::clicked, this, &TfrmDownSize::btnCancelClick);
  SetDialogLook(this, DialogWidth, top + 35);
}

std::array<bool, DownSizeComponentCount> TfrmDownSize::Selection() const
{
  std::array<bool, DownSizeComponentCount> selection{};
  for (size_t position = 0; position < checkBoxes.size(); ++position)
    selection[position] = checkBoxes[position]->isChecked();
  return selection;
}

void TfrmDownSize::showEvent(QShowEvent *event)
{
  QDialog::showEvent(event);
  if (!event->spontaneous())
    FormShow();
}

void TfrmDownSize::FormShow()
{
  CentreOnScreen(this);
  const auto &components = DownSizeComponents();
  for (size_t position = 0; position < checkBoxes.size(); ++position)
    checkBoxes[position]->setEnabled(IsComponentOffered(components[position], appPath));
  btnOK->setEnabled(false);
}

void TfrmDownSize::CheckBoxClick()
{
  btnOK->setEnabled(std::any_of(checkBoxes.begin(), checkBoxes.end(),
                                [](const QCheckBox *box) { return box->isChecked(); }));
}

void TfrmDownSize::btnOKClick()
{
  if (ShowMessageBox(ConfirmationText, ConfirmationFlags) == IDYES)
    accept();
}

void TfrmDownSize::btnCancelClick()
{
  reject();
}
