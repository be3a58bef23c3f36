#include "shell/LinkLabel.h"

#include <QMouseEvent>

TLinkLabel::TLinkLabel(QWidget *parent) : QLabel(parent)
{
  setCursor(Qt::PointingHandCursor);
  QFont underlined = font();
  underlined.setUnderline(true);
  setFont(underlined);
  SetColor(Qt::blue);
}

void TLinkLabel::SetColor(Qt::GlobalColor color)
{
  QPalette colors = palette();
  colors.setColor(QPalette::WindowText, color);
  setPalette(colors);
}

void TLinkLabel::mousePressEvent(QMouseEvent *event)
{
  if (event->button() == Qt::LeftButton)
    SetColor(Qt::red);
  QLabel::mousePressEvent(event);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent *event)
{
  if (event->button() == Qt::LeftButton)
    SetColor(Qt::blue);
  QLabel::mouseReleaseEvent(event);
  // A label click is a release over the label, as for any label.
  if (rect().contains(event->position().toPoint()))
    emit clicked();
}
