#pragma once
// Lets the user pick an existing folder of the file system.

#include <QString>

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace zelph {

// The dialog behind BrowseForFolder: shows folders only, starting at
// `startFolder`, and gives the chosen one, or an empty text when cancelled.
using FolderDialog = std::function<QString(QWidget* owner, const QString& startFolder)>;

// Puts another dialog in place of the system's (tests); returns the one it replaces.
FolderDialog SetFolderDialog(FolderDialog dialog);

// Starts at `initialFolder`, or at the working folder when that is empty.
// Gives the chosen folder as its real path (links resolved), without a
// trailing "/" except for "/" itself; nothing when the user cancelled or the
// choice is no existing folder.
std::optional<std::string> BrowseForFolder(QWidget* owner, const std::string& initialFolder);

}  // namespace zelph
