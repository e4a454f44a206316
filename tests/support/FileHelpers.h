#pragma once
// Small file helpers for tests: raw bytes in and out, folder listings, and running a writer
// under a file-size limit (the way to make a write fail part-way when tests run as root).
#include <signal.h>
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

// Runs `writer` in a child process whose files may not grow past `limitBytes`; SIGXFSZ is
// ignored there, so an oversized write fails with EFBIG instead of killing the child.
inline ChildResult RunWithFileSizeLimit(rlim_t limitBytes, const std::function<bool()>& writer) {
    pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{limitBytes, limitBytes};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(3);
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

}  // namespace testfiles
