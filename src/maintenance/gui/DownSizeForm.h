#pragma once

#include "maintenance/DownSize.h"

#include <QDialog>
#include <array>
#include <string>

class QCheckBox;
class QPushButton;

// The down-size dialog: one check box per optional component, offered only when the component is
// present beside the executable.
class TfrmDownSize : public QDialog
{
  Q_OBJECT

public:
  // AppPath: the application folder with its trailing '/' whose components are offered.
  explicit TfrmDownSize(std::string appPath, QWidget *parent = nullptr);

  // The check boxes' states in command-line order.
  std::array<bool, DownSizeComponentCount> Selection() const;

protected:
  void showEvent(QShowEvent *event) override;

private:
  void FormShow();
  void CheckBoxClick();
  void btnOKClick();
  void btnCancelClick();

  std::string appPath;
  std::array<QCheckBox *, DownSizeComponentCount> checkBoxes{};
  QPushButton *btnOK;
  QPushButton *btnCancel;
};
