#pragma once
// Folder listings, file times and the private temporary folder: the file-system calls that the
// writer code needs, in one place.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct FolderEntry {
    std::string name;            // the file system's own bytes
    std::string path;            // folder + "/" + name
    std::uint64_t size = 0;
    std::int64_t modified = 0;   // seconds since the epoch
    std::int64_t created = 0;    // birth time where the file system keeps it, else `modified`
    bool isDirectory = false;
    bool isRegularFile = false;  // also through a symbolic link
};

// The entries of `folder` whose names match `pattern` ("*" any run, "?" one byte, letters in
// either case), without "." and "..", sorted by name case-insensitively. A missing or
// unreadable folder gives an empty list.
std::vector<FolderEntry> ListFolder(const std::string& folder, const std::string& pattern = "*");
bool MatchesPattern(const std::string& name, const std::string& pattern);

struct LocalDateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
// Seconds since the epoch as local time; false (fields 0) when it cannot be converted.
bool ToLocalDateTime(std::int64_t seconds, LocalDateTime& out);

// A folder only this user can reach: `parent`/`name`, created with mode 0700 when missing. An
// existing one is used only when it is a real directory (not a link) owned by the user with no
// group or other access; otherwise a fresh folder `name`.XXXXXX is made. Empty on failure.
std::string EnsurePrivateFolder(const std::string& parent, const std::string& name);
// True when `path` is a real directory (not a link) owned by the user, closed to group and others.
bool IsPrivateFolder(const std::string& path);

// True when both paths lead (through links) to one existing file: writing one would overwrite
// the other.
bool IsSameFile(const std::string& a, const std::string& b);

// The user id, for private folder names.
unsigned CurrentUserId();

}  // namespace platform
