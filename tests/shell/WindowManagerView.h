#pragma once

#include <QProcess>
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
