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

}  // namespace testenv
