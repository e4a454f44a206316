#include "app/StartupSettings.h"

#include <unistd.h>

#include <climits>

#include "core/AppSettings.h"
#include "platform/Profile.h"

std::string CurrentFolder() {
    char buffer[PATH_MAX];
    return getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
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

void ReadStartupSettings(AppSettings& settings, const std::string& currentFolder) {
    settings.dataFolder =
        platform::GetProfileString(kDataSection, kDataDirectoryValue, currentFolder + "/Data");
    platform::WriteProfileString(kDataSection, kDataDirectoryValue, settings.dataFolder);
    settings.userName = platform::GetProfileString(kDataSection, kDefaultUserValue, "");
    settings.userNames = SplitUserNames(platform::GetProfileString(kDataSection, kUsersValue, ""));
}
