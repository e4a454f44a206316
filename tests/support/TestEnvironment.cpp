#include "tests/support/TestEnvironment.h"

#include "platform/SerialPortNames.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace testenv {
namespace {

std::string gRoot;

std::string MakeDir(const std::string& path) {
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        throw std::runtime_error("cannot create " + path);
    return path;
}

}  // namespace

void SetUp() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/dqtest.XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed for " + pattern);
    gRoot = pattern;
    setenv("HOME", MakeDir(gRoot + "/home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", MakeDir(gRoot + "/home/.config").c_str(), 1);
    setenv("XDG_DATA_HOME", MakeDir(gRoot + "/home/.local").c_str(), 1);
    // The machine's own data folders (an installed help file, say) must not reach a test.
    setenv("XDG_DATA_DIRS", MakeDir(gRoot + "/share").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", MakeDir(gRoot + "/runtime").c_str(), 1);
    setenv("TMPDIR", MakeDir(gRoot + "/tmp").c_str(), 1);
    setenv("TEMP", MakeDir(gRoot + "/temp").c_str(), 1);
    setenv("TZ", "UTC", 1);
    tzset();
    // COMn resolves only through the test's own device links: a test never reaches a real
    // serial port of the machine (/dev/ttyS0 exists on most of them).
    static platform::SerialDeviceRoots noDevices;
    noDevices.byIdFolder = MakeDir(gRoot + "/no-serial-by-id");
    noDevices.devFolder = MakeDir(gRoot + "/no-dev");
    platform::OverrideSerialDeviceRoots(&noDevices);
}

void TearDown() {
    if (gRoot.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(gRoot, ignored);
    gRoot.clear();
}

const std::string& Root() { return gRoot; }

std::string MakeTempDir(const std::string& prefix) {
    std::string pattern = gRoot + "/" + prefix + ".XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed for " + pattern);
    return pattern;
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) {
        had_ = true;
        old_ = old;
    }
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
    if (had_)
        setenv(name_.c_str(), old_.c_str(), 1);
    else
        unsetenv(name_.c_str());
}

}  // namespace testenv
