#pragma once
// What the program reads before its main dialog runs: the data folder, the default user and
// the list of users, from the profile's "Settings\Data".
#include <string>
#include <vector>

class AppSettings;

// The current working folder; empty when it cannot be read.
std::string CurrentFolder();

// The words of `text`, separated by any white space (blanks, tabs, line breaks).
std::vector<std::string> SplitUserNames(const std::string& text);

// "Data Directory" (default `currentFolder` + "/Data", written back at once so the value exists
// after the first start), "Default User" and "Users" into the record. The data folder is
// neither tested nor created here.
void ReadStartupSettings(AppSettings& settings, const std::string& currentFolder);
