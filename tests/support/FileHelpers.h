#pragma once
// Small file helpers for tests: raw bytes in and out, folder listings, and running a writer
// under a file-size limit (the way to make a write fail part-way when tests run as root) or
// without root's power over permissions (the way to let file modes count).
#include <linux/capability.h>
#include <signal.h>
#include <sys/syscall.h>
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

// Runs `writer` in a child process where file permissions hold: tests run as root in CI, and
// root may write any file. The child gives up root's power over permissions (the capabilities
// to override them and to act as any file's owner), so only the files' own modes count.
inline ChildResult RunWithoutRoot(const std::function<bool()>& writer) {
    return RunInChild(
        [] {
            if (geteuid() != 0) return true;
            __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
            __user_cap_data_struct caps[_LINUX_CAPABILITY_U32S_3] = {};
            if (syscall(SYS_capget, &header, caps) != 0) return false;
            for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
                caps[cap / 32].effective &= ~(1u << (cap % 32));
                caps[cap / 32].permitted &= ~(1u << (cap % 32));
                caps[cap / 32].inheritable &= ~(1u << (cap % 32));
            }
            return syscall(SYS_capset, &header, caps) == 0;
        },
        writer);
}

}  // namespace testfiles
