#include "maintenance/gui/SpinEdit.h"

#include <QLineEdit>
#include <algorithm>

TSpinEdit::TSpinEdit(QWidget *parent) : QSpinBox(parent)
{
  // Values are settled on leaving, not while typing.
  setKeyboardTracking(false);
  setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
  // Typing reaches the editor only; steps and settled values reach the spin box's own signal.
  connect(lineEdit(), &QLineEdit::textChanged, this, &TSpinEdit::changed);
  connect(this, &QSpinBox::textChanged, this, &TSpinEdit::changed);
}

int TSpinEdit::Value() const
{
  bool ok = false;
  const int value = text().trimmed().toInt(&ok);
  return ok ? std::clamp(value, minimum(), maximum()) : minimum();
}

void TSpinEdit::SetValue(int value)
{
  setValue(value);
  // setValue leaves the text alone when the stored value is unchanged.
  lineEdit()->setText(textFromValue(this->value()));
  textBeforeEdit = text();
}

void TSpinEdit::Undo()
{
  lineEdit()->setText(textBeforeEdit);
}

QValidator::State TSpinEdit::validate(QString &input, int &pos) const
{
  // Anything may be typed; it is judged when the field is left.
  const QValidator::State state = QSpinBox::validate(input, pos);
  return state == QValidator::Acceptable ? state : QValidator::Intermediate;
}

void TSpinEdit::focusInEvent(QFocusEvent *event)
{
  textBeforeEdit = text();
  QSpinBox::focusInEvent(event);
}

void TSpinEdit::focusOutEvent(QFocusEvent *event)
{
  emit exited();
  Settle();
  QSpinBox::focusOutEvent(event);
}

void TSpinEdit::Settle()
{
  const int value = Value();
  const QString settled = textFromValue(value);
  setValue(value);
  if (text() != settled)
    lineEdit()->setText(settled);
  textBeforeEdit = text();
}
