#pragma once
// What the file benchmarks share: the size of a file, a row with its rate, and a run of this
// benchmark in a fresh process (exec, not a bare fork, whose child would pay for copying the
// parent's pages) whose standard output comes back.
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

extern char** environ;

namespace bench {

inline double FileMb(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? double(st.st_size) / (1024.0 * 1024.0) : 0.0;
}

// One JSON row: the time and the rate of `mb` megabytes in it.
inline void ReportRate(const char* bench, const char* name, double ms, double mb) {
    std::printf("{\"bench\": \"%s\", \"name\": \"%s\", \"ms\": %.3f, \"mb_per_s\": %.1f}\n", bench,
                name, ms, ms > 0 ? mb / (ms / 1000.0) : 0.0);
    std::fflush(stdout);
}

// Runs this program again with `args` (no shell: any bytes may stand in them); true when it
// exited with 0, with its standard output in `out`.
inline bool RunSelf(std::vector<std::string> args, std::string& out) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::string self = "/proc/self/exe";
    args.insert(args.begin(), self);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int err = posix_spawn(&pid, self.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    out.clear();
    char buf[256];
    for (ssize_t n; (n = read(pipeFds[0], buf, sizeof buf)) > 0;) out.append(buf, std::size_t(n));
    close(pipeFds[0]);
    int status = 0;
    return err == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

}  // namespace bench
