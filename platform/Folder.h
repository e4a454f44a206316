#pragma once
// Folders of the program's own: the user folder below the data folder.
#include <string>

namespace platform {

// Creates one folder (not its parents), with the default permissions less the umask. False
// when it could not (it exists already, its parent is missing, no rights).
bool MakeFolder(const std::string& path);

}  // namespace platform
