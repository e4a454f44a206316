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
    // Everything is found before anything moves: the user folder is itself below the data
    // folder, and a file moved there must not be found a second time.
    std::vector<platform::FolderEntry> found;
    for (const auto& folder : platform::ListFolder(settings.dataFolder)) {
        if (!folder.isDirectory) continue;
        for (const char* pattern : {"*.dqx", "*.rtf"})
            for (auto& file : platform::ListFolder(folder.path, pattern))
                if (file.isRegularFile) found.push_back(std::move(file));
    }
    result.found = int(found.size());
    for (const auto& file : found) {
        const std::string target = userFolder + file.name;
        // A file already in the user folder is its own target: it stays.
        if (platform::MoveFileNoReplace(file.path, target))
            result.moved.push_back(target);
        else
            result.kept.push_back(file.path);
    }
    if (result.found == 0) return result;
    // The old values had English command strokes by default, whatever the program's language.
    settings.ReadSections(kOldWriterSection, kOldStrokesSection, false);
    return result;
}
