#pragma once

#include <QSpinBox>
#include <QString>

// An integer field that accepts any typing and settles its value when it loses the focus: first
// the `exited` handlers run (they may Undo), then text that is not an integer reads as the minimum
// and the value is limited to the range.
class TSpinEdit : public QSpinBox
{
  Q_OBJECT

public:
  explicit TSpinEdit(QWidget *parent = nullptr);

  // The text as an integer limited to the range; the minimum for text that is no integer.
  int Value() const;
  void SetValue(int value);
  // Brings back the text the field had before its last edit.
  void Undo();

signals:
  // Any change of the text, typed or set.
  void changed();
  void exited();

protected:
  QValidator::State validate(QString &input, int &pos) const override;
  void focusInEvent(QFocusEvent *event) override;
  void focusOutEvent(QFocusEvent *event) override;

private:
  void Settle();

  QString textBeforeEdit;
};
