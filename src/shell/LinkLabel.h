#pragma once

#include <QLabel>

// A label that acts as a link: hand cursor, blue and underlined, red while the left button is held.
class TLinkLabel : public QLabel
{
  Q_OBJECT

public:
  explicit TLinkLabel(QWidget *parent = nullptr);

signals:
  void clicked();

protected:
  void mousePressEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;

private:
  void SetColor(Qt::GlobalColor color);
};
