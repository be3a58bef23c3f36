#pragma once

class QDialog;
class QPushButton;
class QWidget;

// The look the maintenance dialogs share: fixed client size, Tahoma 8 point, no resizing.
void SetDialogLook(QDialog *dialog, int width, int height);

// A 75 x 25 push button at (Left, Top). It takes the focus when clicked, so a field being edited
// is left (and settled) before the click acts, but it is no tab stop and never a default button.
QPushButton *MakeDialogButton(QWidget *parent, const char *name, const char *caption, int left, int top);

// Centres the window on the screen it is on.
void CentreOnScreen(QWidget *window);
