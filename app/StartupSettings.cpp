#include "app/StartupSettings.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>

#include "app/MainDialogRules.h"
#include "core/AppSettings.h"
#include "platform/Profile.h"

#ifndef DQ_DATA_FROM_PROGRAM
#define DQ_DATA_FROM_PROGRAM "../share/DictionaryQuillfast/Data"
#endif

std::string CurrentFolder() {
    char buffer[PATH_MAX];
    return getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

std::string ProgramPath() {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

std::string InstalledDataFolder(const std::string& programPath) {
    if (programPath.empty()) return {};
    const std::filesystem::path folder = std::filesystem::path(programPath).parent_path();
    return (folder / DQ_DATA_FROM_PROGRAM).lexically_normal().string();
}

std::vector<std::string> SplitUserNames(const std::string& text) {
    std::vector<std::string> names;
    std::string word;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') {
            if (!word.empty()) names.push_back(std::move(word));
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) names.push_back(std::move(word));
    return names;
}

DataFolderChoice ChooseDataFolder(const std::string& stored, const std::string& currentFolder,
                                  const std::string& installedFolder,
                                  const std::function<bool(const std::string&)>& isFolder) {
    DataFolderChoice choice;
    const std::string here = currentFolder + "/Data";
    for (const std::string* candidate : {&stored, &here, &installedFolder}) {
        if (candidate->empty() || std::find(choice.looked.begin(), choice.looked.end(),
                                            *candidate) != choice.looked.end())
            continue;
        choice.looked.push_back(*candidate);
        if (isFolder(*candidate)) {
            choice.folder = *candidate;
            choice.found = true;
            return choice;
        }
    }
    choice.folder = stored.empty() ? here : stored;
    return choice;
}

DataFolderChoice ReadStartupSettings(AppSettings& settings, const std::string& currentFolder,
                                     const std::string& installedFolder) {
    const DataFolderChoice choice = ChooseDataFolder(
        platform::GetProfileString(kDataSection, kDataDirectoryValue, ""), currentFolder,
        installedFolder, [](const std::string& path) {
            std::error_code error;
            return std::filesystem::is_directory(path, error);
        });
    settings.dataFolder = choice.folder;
    platform::WriteProfileString(kDataSection, kDataDirectoryValue, settings.dataFolder);
    settings.userName = platform::GetProfileString(kDataSection, kDefaultUserValue, "");
    settings.userNames = SplitUserNames(platform::GetProfileString(kDataSection, kUsersValue, ""));
    return choice;
}

std::string NoModulesNotice(const DataFolderChoice& choice) {
    const std::string advice = "Start the program from a folder that holds \"Data\", or set "
                               "\"Data Directory\" in " +
                               platform::ProfileFilePath() + " to a folder of modules.";
    if (!choice.found) {
        std::string text = "No word lists can be shown: no data folder was found.\nLooked for:\n";
        for (const auto& folder : choice.looked) text += "    " + folder + "\n";
        return text + "\n" + advice;
    }
    if (!ListModules(choice.folder).empty()) return {};
    return "No word lists can be shown: the data folder " + choice.folder +
           " holds no module (a folder of \".edq\" word lists).\n\n" + advice;
}
