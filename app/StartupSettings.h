#pragma once
// What the program reads before its main dialog runs: the data folder, the default user and
// the list of users, from the profile's "Settings\Data".
#include <functional>
#include <string>
#include <vector>

class AppSettings;

// The current working folder; empty when it cannot be read.
std::string CurrentFolder();

// The running program's own file, symbolic links resolved; empty when it cannot be read.
std::string ProgramPath();

// The data folder installed with the program at `programPath`: found from the program's own
// folder, so that it follows the install prefix (and DESTDIR). Empty for an empty path.
std::string InstalledDataFolder(const std::string& programPath);

// The words of `text`, separated by any white space (blanks, tabs, line breaks).
std::vector<std::string> SplitUserNames(const std::string& text);

struct DataFolderChoice {
    std::string folder;               // the data folder of this run, stored as "Data Directory"
    bool found = false;               // `folder` exists
    std::vector<std::string> looked;  // every folder looked at, in order
    bool operator==(const DataFolderChoice&) const = default;
};

// A stored folder (empty: none stored) that exists is kept. Otherwise (the first start, or a
// stored folder that has gone) the current folder's "Data" is taken, else the installed data
// folder. When none of them exists, a stored value stays (it may come back, like an unmounted
// disk) and without one the default, the current folder's "Data", is taken; `found` is false.
DataFolderChoice ChooseDataFolder(const std::string& stored, const std::string& currentFolder,
                                  const std::string& installedFolder,
                                  const std::function<bool(const std::string&)>& isFolder);

// The data folder by ChooseDataFolder (written back at once, so the value exists after the
// first start), "Default User" and "Users" into the record. The data folder is not created.
DataFolderChoice ReadStartupSettings(AppSettings& settings, const std::string& currentFolder,
                                     const std::string& installedFolder);

// What the user is told at start-up when the chosen data folder lists no module; empty when
// it lists one.
std::string NoModulesNotice(const DataFolderChoice& choice);
