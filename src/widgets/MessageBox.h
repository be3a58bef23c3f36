#pragma once

#include <QString>

namespace Widgets
{

// Style bits of a message box, as the maintenance and packaging dialogs pass them.
inline constexpr int MB_OK = 0x00;
inline constexpr int MB_OKCANCEL = 0x01;
inline constexpr int MB_ABORTRETRYIGNORE = 0x02;
inline constexpr int MB_YESNOCANCEL = 0x03;
inline constexpr int MB_YESNO = 0x04;
inline constexpr int MB_RETRYCANCEL = 0x05;
inline constexpr int MB_ICONERROR = 0x10;
inline constexpr int MB_ICONQUESTION = 0x20;
inline constexpr int MB_ICONWARNING = 0x30;
inline constexpr int MB_ICONINFORMATION = 0x40;
inline constexpr int MB_DEFBUTTON2 = 0x100;
inline constexpr int MB_DEFBUTTON3 = 0x200;

// Button identifiers a message box gives back.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// The confirmation every maintenance command asks for, with its style (Yes/No, question icon).
inline constexpr char ConfirmationText[] = "Are you sure you want to do this?";
inline constexpr int ConfirmationFlags = MB_YESNO | MB_ICONQUESTION;

// The caption the icon bits choose: "Information", "Warning", "Confirm", "Error", else the
// application's title.
QString MessageBoxCaption(int flags);

// Shows a modal message box with Text, the buttons, icon and default button of Flags and the caption
// MessageBoxCaption(Flags), owned by the active window; gives the identifier of the button pressed.
int ShowMessageBox(const QString &text, int flags);

} // namespace Widgets
