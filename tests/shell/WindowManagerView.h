#pragma once

#include "support/XWindowPlace.h"

#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QString>
#include <QWidget>

// What the window manager reads of a top-level window: its properties on the X server, through
// xprop. Empty while the window has no such property.
inline QString WmProperty(QWidget *window, const QString &property, const QStringList &format = {})
{
  QProcess xprop;
  xprop.start("xprop", QStringList{"-id", QString::number(window->winId())} + format + QStringList{property});
  xprop.waitForFinished();
  const QString output = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
  const qsizetype equals = output.indexOf(" = ");
  return equals < 0 ? QString() : output.mid(equals + 3);
}

// The caption the window manager shows: _NET_WM_NAME without its quotes.
inline QString WmName(QWidget *window)
{
  const QString value = WmProperty(window, "_NET_WM_NAME", {"-notype"});
  return value.size() >= 2 ? value.mid(1, value.size() - 2) : value;
}

// _NET_WM_ICON as numbers: width, height, then ARGB pixels, for each size in turn.
inline QString WmIcon(QWidget *window)
{
  return WmProperty(window, "_NET_WM_ICON", {"-notype", "-f", "_NET_WM_ICON", "32c", " = $0+"});
}

// WM_STATE as the window manager keeps it: "Normal" or "Iconic" while it manages the window, empty
// once it has let the window go (withdrawn).
inline QString WmState(QWidget *window)
{
  QProcess xprop;
  xprop.start("xprop", {"-id", QString::number(window->winId()), "WM_STATE"});
  xprop.waitForFinished();
  const QRegularExpressionMatch state =
      QRegularExpression("window state: (\\w+)").match(QString::fromUtf8(xprop.readAllStandardOutput()));
  return state.hasMatch() ? state.captured(1) : QString();
}

// Where the window manager's frame around the window is on the screen, read from the X server
// (Qt's frameGeometry() is its own estimate); empty until the window manager has framed the window
// and shows it (it places the frame before it maps it).
inline QRect WmFrame(QWidget *window)
{
  const std::string id = std::to_string(window->winId());
  const std::optional<TestSupport::TXWindowPlace> client = TestSupport::XWindowPlace(id);
  if (!client || !client->embedded || !client->viewable)
    return {};
  const std::optional<TestSupport::TXWindowPlace> frame = TestSupport::XOutermostPlace(id);
  return frame ? QRect(frame->x, frame->y, frame->width, frame->height) : QRect();
}
