#pragma once

#include <string>

class QWidget;

namespace Corvala
{

// An open-file dialog for an existing file. The name is preset to FileName when that file exists,
// else empty. The filter is "*<DefaultExt>" ("*" without a default extension), which also becomes
// the default suffix. On OK FileName receives the chosen path and the result is true; otherwise
// FileName is unchanged.
bool SelectFile(std::string &fileName, const std::string &defaultExt, QWidget *owner = nullptr);

// The same dialog with a filter of several patterns ("*.bmp *.jpg").
bool SelectFileFiltered(std::string &fileName, const std::string &defaultExt, const std::string &patterns,
                        QWidget *owner = nullptr);

// A folder picker titled Caption, owned by the active window (or Owner) and opened at Folder when
// that folder exists (Folder is emptied otherwise). On OK Folder receives the chosen folder and
// the result is true. Only existing file-system folders can be chosen, and a path can be typed.
bool BrowseForFolder(std::string &folder, const std::string &caption, QWidget *owner = nullptr);

} // namespace Corvala
