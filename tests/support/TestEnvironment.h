#pragma once
// Every test process runs in an environment of its own: a fresh temporary HOME,
// XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_DATA_DIRS, TMPDIR and TEMP, and a fixed TZ, set before
// anything reads them (QSettings fixes its paths at first use).
#include <string>

namespace testenv {

// Creates the folders and sets the variables; called first thing in the test main.
void SetUp();
// Removes the folder tree made by SetUp.
void TearDown();
// The root of this process's temporary tree (HOME lives under it).
const std::string& Root();
// A new empty folder under Root().
std::string MakeTempDir(const std::string& prefix = "t");

// Sets an environment variable (unsets it for a null value) until the end of the scope, then
// puts back what was there, so that a test changing TEMP or TMPDIR leaves the next test the
// environment of the process.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ScopedEnv(const char* name, const std::string& value) : ScopedEnv(name, value.c_str()) {}
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    bool had_ = false;
    std::string old_;
};

}  // namespace testenv
