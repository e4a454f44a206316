#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

namespace platform {
namespace {

unsigned char Fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

bool MatchFrom(const char* name, const char* pattern) {
    // Iterative glob with one backtrack point for the last "*".
    const char* starPattern = nullptr;
    const char* starName = nullptr;
    while (*name) {
        if (*pattern == '*') {
            starPattern = ++pattern;
            starName = name;
        } else if (*pattern == '?' ||
                   (*pattern && Fold(static_cast<unsigned char>(*pattern)) ==
                                    Fold(static_cast<unsigned char>(*name)))) {
            ++pattern;
            ++name;
        } else if (starPattern) {
            pattern = starPattern;
            name = ++starName;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == 0;
}

bool LessFolded(const std::string& a, const std::string& b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = Fold(static_cast<unsigned char>(a[i]));
        unsigned char y = Fold(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;  // names differing only in case keep a fixed order
}

bool StatEntry(const std::string& path, FolderEntry& entry) {
    struct statx sx {};
    if (statx(AT_FDCWD, path.c_str(), AT_STATX_SYNC_AS_STAT, STATX_BASIC_STATS | STATX_BTIME,
              &sx) == 0) {
        entry.size = sx.stx_size;
        entry.modified = sx.stx_mtime.tv_sec;
        entry.created = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime.tv_sec : sx.stx_mtime.tv_sec;
        entry.isDirectory = S_ISDIR(sx.stx_mode);
        entry.isRegularFile = S_ISREG(sx.stx_mode);
        return true;
    }
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return false;
    entry.size = static_cast<std::uint64_t>(st.st_size);
    entry.modified = st.st_mtime;
    entry.created = st.st_mtime;
    entry.isDirectory = S_ISDIR(st.st_mode);
    entry.isRegularFile = S_ISREG(st.st_mode);
    return true;
}

}  // namespace

bool MatchesPattern(const std::string& name, const std::string& pattern) {
    if (name.find('\0') != std::string::npos || pattern.find('\0') != std::string::npos)
        return false;
    return MatchFrom(name.c_str(), pattern.c_str());
}

std::vector<FolderEntry> ListFolder(const std::string& folder, const std::string& pattern) {
    std::vector<FolderEntry> entries;
    if (folder.empty() || folder.find('\0') != std::string::npos) return entries;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return entries;
    std::string prefix = folder.back() == '/' ? folder : folder + "/";
    while (dirent* d = readdir(dir)) {
        std::string name = d->d_name;
        if (name == "." || name == ".." || !MatchesPattern(name, pattern)) continue;
        FolderEntry entry;
        entry.name = name;
        entry.path = prefix + name;
        if (!StatEntry(entry.path, entry)) continue;  // vanished meanwhile, or a dangling link
        entries.push_back(std::move(entry));
    }
    closedir(dir);
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return LessFolded(a.name, b.name); });
    return entries;
}

bool ToLocalDateTime(std::int64_t seconds, LocalDateTime& out) {
    out = LocalDateTime{};
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm {};
    if (!localtime_r(&t, &tm)) return false;
    out.year = tm.tm_year + 1900;
    out.month = tm.tm_mon + 1;
    out.day = tm.tm_mday;
    out.hour = tm.tm_hour;
    out.minute = tm.tm_min;
    out.second = tm.tm_sec;
    return true;
}

unsigned CurrentUserId() { return static_cast<unsigned>(geteuid()); }

bool IsPrivateFolder(const std::string& path) {
    struct stat st {};
    return !path.empty() && lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == geteuid() && (st.st_mode & 077) == 0;
}

std::string EnsurePrivateFolder(const std::string& parent, const std::string& name) {
    if (parent.empty() || name.empty()) return {};
    std::string base = parent.back() == '/' ? parent : parent + "/";
    std::string path = base + name;
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return {};

    if (IsPrivateFolder(path)) return path;

    // Someone else's folder, a link, or one with loose permissions: never write into it.
    std::string pattern = path + ".XXXXXX";
    if (!mkdtemp(pattern.data())) return {};
    return pattern;
}

bool IsSameFile(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

}  // namespace platform
