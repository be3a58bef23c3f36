#pragma once

#include <QString>

// The application title: the configured title, then the main page's title. The system's own boxes
// carry it as caption. It is kept apart from Qt's display name, which the X11 platform appends to
// the caption of every window.
QString ApplicationTitle();
void SetApplicationTitle(const QString &title);
