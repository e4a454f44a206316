#pragma once
// Taking over the data of the earlier folder layout on the first start: progress files
// (".dqx") and dictionaries (".rtf") lying beside the word lists in the module folders move
// into the user folder, and when any were found, the older machine-wide "Settings\Writer"
// and "Settings\Strokes" become the current user's settings.
#include <string>
#include <vector>

class AppSettings;

struct MigrationResult {
    int found = 0;                     // files found, moved or not
    std::vector<std::string> moved;    // their new paths
    std::vector<std::string> kept;     // files left where they were (target taken, no rights)
};

// Moves never replace a file already in the user folder. Reads the record's data and user
// folders; with files found, takes the old settings into the record, which the caller saves.
MigrationResult MigrateOldData(AppSettings& settings);

// The older machine-wide sections.
extern const char* const kOldWriterSection;   // "Settings\Writer"
extern const char* const kOldStrokesSection;  // "Settings\Strokes"
