#pragma once
// The main dialog's part of the start-up, without its widgets: the documents folder, the user
// "default" with its settings, and on the first start the migration of older data.
#include <string>

#include "app/MigrateOldData.h"

class AppSettings;

inline constexpr char kDefaultUserName[] = "default";

struct UserStartResult {
    bool firstRun = false;          // the stored list of users was empty
    bool documentsFolderReady = false;
    std::string documentsError;     // why the documents folder could not be made
    MigrationResult migration;
};

// The user's documents folder + "/Dictionary Quillfast/".
std::string DefaultDocumentsFolder();

// Stores and creates `documentsFolder` (with its parents), adds "default" to the users unless
// it is there, loads its settings, migrates on a first run and saves the record.
UserStartResult StartDefaultUser(AppSettings& settings, const std::string& documentsFolder);
