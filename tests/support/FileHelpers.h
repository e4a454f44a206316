#pragma once
// Small file helpers for tests: raw bytes in and out, folder listings, and running a writer
// under a file-size limit (the way to make a write fail part-way when tests run as root) or
// without root (the way to let file permissions count).
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace testfiles {

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

// The names in a folder, sorted (hidden files included, so a stray temporary file shows).
inline std::vector<std::string> FolderNames(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

enum class ChildResult { ReturnedFalse, ReturnedTrue, Crashed };

// Runs `writer` in a child process after `prepare` (which returns false when it could not set
// the child up).
inline ChildResult RunInChild(const std::function<bool()>& prepare,
                              const std::function<bool()>& writer) {
    pid_t pid = fork();
    if (pid == 0) {
        if (!prepare()) _exit(3);
        _exit(writer() ? 1 : 0);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return ChildResult::Crashed;
    switch (WEXITSTATUS(status)) {
        case 0: return ChildResult::ReturnedFalse;
        case 1: return ChildResult::ReturnedTrue;
        default: return ChildResult::Crashed;
    }
}

// Runs `writer` in a child process whose files may not grow past `limitBytes`; SIGXFSZ is
// ignored there, so an oversized write fails with EFBIG instead of killing the child.
inline ChildResult RunWithFileSizeLimit(rlim_t limitBytes, const std::function<bool()>& writer) {
    return RunInChild(
        [limitBytes] {
            signal(SIGXFSZ, SIG_IGN);
            rlimit limit{limitBytes, limitBytes};
            return setrlimit(RLIMIT_FSIZE, &limit) == 0;
        },
        writer);
}

// Runs `writer` in a child process as an ordinary user, where permissions hold (tests run as
// root in CI, and root may write any file). `folder` and the folders above it up to `top` are
// opened to that user first, and `folder` is made writable, so only the files' own modes count.
inline ChildResult RunWithoutRoot(const std::string& top, const std::string& folder,
                                  const std::function<bool()>& writer) {
    return RunInChild(
        [&] {
            if (geteuid() != 0) return true;
            if (chmod(folder.c_str(), 0777) != 0) return false;
            std::filesystem::path up = std::filesystem::path(folder).parent_path();
            for (; up.string().size() >= top.size() && up != up.parent_path();
                 up = up.parent_path())
                if (chmod(up.c_str(), 0755) != 0) return false;
            const uid_t nobody = 65534;
            return setgroups(0, nullptr) == 0 && setgid(nobody) == 0 && setuid(nobody) == 0 &&
                   geteuid() == nobody && access(folder.c_str(), W_OK | X_OK) == 0;
        },
        writer);
}

}  // namespace testfiles
