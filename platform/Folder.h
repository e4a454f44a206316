#pragma once
// Folders of the program's own (the user folder below the data folder, the documents folder)
// and the moves that must never replace a file.
#include <string>

namespace platform {

// Creates one folder (not its parents), with the default permissions less the umask. False
// when it could not (it exists already, its parent is missing, no rights).
bool MakeFolder(const std::string& path);

// Creates the folder and any missing parents. True when the folder exists afterwards; else
// false with the reason (the first folder that could not be made, and why) in `error`.
bool MakeFolderWithParents(const std::string& path, std::string* error = nullptr);

// Moves a file to `to` only when nothing of that name is there (renameat2 with
// RENAME_NOREPLACE), so a file already at the target is never replaced. False when the file
// did not move; the reason in `error`.
bool MoveFileNoReplace(const std::string& from, const std::string& to,
                       std::string* error = nullptr);

}  // namespace platform
