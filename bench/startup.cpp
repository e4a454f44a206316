// Start-up time of the program: from starting its process to its main dialog on the screen,
// on a copy of the shipped Data/ folder (offscreen platform). The program prints a line when
// the dialog is shown and closes it (DQ_EXIT_WHEN_SHOWN). Rows:
//   start-up        a start with the profile of an earlier start, as a user meets it daily
//   first-start     a start on an empty profile (documents folder, user folder, migration scan)
//   process-floor   starting and reaping /bin/true, the cost of any process on this machine
//
//   bench_startup            20 starts each
//   bench_startup --smoke    2 starts each
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Microseconds from spawning `argv` to reading `marker` on its standard output (or to its
// end when the marker is empty); -1 when it failed.
double TimeStart(const std::vector<std::string>& args, const std::vector<std::string>& env,
                 const std::string& cwd, const std::string& marker) {
    int out[2];
    if (pipe(out) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    std::vector<char*> argv, envp;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    const auto start = Clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        return -1;
    }
    std::string seen;
    double us = -1;
    char buffer[256];
    for (;;) {
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n > 0) seen.append(buffer, std::size_t(n));
        if (!marker.empty() && us < 0 && seen.find(marker) != std::string::npos)
            us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
        if (n <= 0) break;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (marker.empty())
        us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    close(out[0]);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return us;
}

void Report(const char* name, std::vector<double> us) {
    std::sort(us.begin(), us.end());
    const auto at = [&](double q) { return us[std::min(us.size() - 1, std::size_t(q * double(us.size())))]; };
    std::printf("{\"bench\": \"startup\", \"name\": \"%s\", \"n\": %zu, \"ms\": %.1f, \"p50_us\": %.0f, "
                "\"p99_us\": %.0f, \"max_us\": %.0f}\n",
                name, us.size(), at(0.5) / 1000.0, at(0.5), at(0.99), us.back());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const bool smoke = argc > 1 && std::string(argv[1]) == "--smoke";
    const int runs = smoke ? 2 : 20;
    const char* tmp = std::getenv("TMPDIR");
    std::string root = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench_startup.XXXXXX";
    if (!mkdtemp(root.data())) {
        std::perror("bench_startup: mkdtemp");
        return 1;
    }
    std::error_code error;
    fs::create_directories(root + "/start", error);
    fs::copy(DQ_SHIPPED_DATA, root + "/start/Data", fs::copy_options::recursive, error);
    if (error) {
        std::fprintf(stderr, "bench_startup: cannot copy %s: %s\n", DQ_SHIPPED_DATA,
                     error.message().c_str());
        return 1;
    }
    const std::vector<std::string> program{DQ_PROGRAM};
    const auto env = [&](const std::string& profile) {
        fs::create_directories(root + "/" + profile);
        std::vector<std::string> vars{"HOME=" + root + "/home",
                                      "XDG_CONFIG_HOME=" + root + "/" + profile,
                                      "XDG_RUNTIME_DIR=" + root,
                                      "QT_QPA_PLATFORM=offscreen", "DQ_EXIT_WHEN_SHOWN=1",
                                      "PATH=/usr/bin:/bin"};
        // A sanitizer build's program keeps the suppressions and options of the run.
        for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS"})
            if (const char* value = std::getenv(name)) vars.push_back(std::string(name) + "=" + value);
        return vars;
    };
    const std::string marker = "main dialog shown";
    fs::permissions(root, fs::perms::owner_all, error);

    // One start leaves the profile of an earlier start.
    if (TimeStart(program, env("profile"), root + "/start", marker) < 0) {
        std::fprintf(stderr, "bench_startup: %s did not show its main dialog\n", DQ_PROGRAM);
        return 1;
    }
    std::vector<double> later, first, floor;
    for (int i = 0; i < runs; ++i) {
        floor.push_back(TimeStart({"/bin/true"}, env("profile"), root, ""));
        later.push_back(TimeStart(program, env("profile"), root + "/start", marker));
        const std::string fresh = "fresh" + std::to_string(i);
        first.push_back(TimeStart(program, env(fresh), root + "/start", marker));
        fs::remove_all(root + "/start/Data/default", error);
    }
    for (const auto* row : {&later, &first, &floor})
        if (std::find(row->begin(), row->end(), -1.0) != row->end()) {
            std::fprintf(stderr, "bench_startup: a start failed\n");
            return 1;
        }
    Report("start-up", later);
    Report("first-start", first);
    Report("process-floor", floor);
    fs::remove_all(root, error);
    return 0;
}
