#include "app/MigrateOldData.h"

#include "core/AppSettings.h"
#include "platform/FileSystem.h"
#include "platform/Folder.h"

const char* const kOldWriterSection = "Settings\\Writer";
const char* const kOldStrokesSection = "Settings\\Strokes";

MigrationResult MigrateOldData(AppSettings& settings) {
    MigrationResult result;
    if (settings.dataFolder.empty()) return result;
    std::string userFolder = settings.userFolder;
    if (!userFolder.empty() && userFolder.back() != '/' && userFolder.back() != '\\')
        userFolder += '/';
    for (const auto& folder : platform::ListFolder(settings.dataFolder)) {
        if (!folder.isDirectory) continue;
        for (const char* pattern : {"*.dqx", "*.rtf"}) {
            for (const auto& file : platform::ListFolder(folder.path, pattern)) {
                if (!file.isRegularFile) continue;
                ++result.found;
                const std::string target = userFolder + file.name;
                // A file already in the user folder is its own target: it stays and counts.
                if (!platform::MoveFileNoReplace(file.path, target))
                    result.kept.push_back(file.path);
                else
                    result.moved.push_back(target);
            }
        }
    }
    if (result.found == 0) return result;
    // The old values had English command strokes by default, whatever the program's language.
    settings.ReadSections(kOldWriterSection, kOldStrokesSection, false);
    return result;
}
