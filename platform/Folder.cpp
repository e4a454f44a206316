#include "platform/Folder.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

bool IsFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void SetError(std::string* error, const std::string& path, int err) {
    if (error) *error = "\"" + path + "\": " + std::strerror(err);
}

}  // namespace

bool MakeFolder(const std::string& path) { return !path.empty() && mkdir(path.c_str(), 0777) == 0; }

bool MakeFolderWithParents(const std::string& path, std::string* error) {
    if (path.empty()) {
        if (error) *error = "no folder given";
        return false;
    }
    // Each level in turn, from the top; a level made meanwhile by someone else is fine.
    std::string::size_type pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        const std::string level = path.substr(0, pos);
        if (level.empty() || level.back() == '/') continue;
        if (mkdir(level.c_str(), 0777) == 0 || (errno == EEXIST && IsFolder(level))) continue;
        const int err = errno == EEXIST ? ENOTDIR : errno;
        SetError(error, level, err);
        return false;
    }
    return true;
}

bool MoveFileNoReplace(const std::string& from, const std::string& to, std::string* error) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    SetError(error, from, errno);
    return false;
}

}  // namespace platform
