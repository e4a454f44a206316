#pragma once
// The application profile: the program's configuration, in
// $XDG_CONFIG_HOME/DQS/DictionaryQuillfast.conf. Sections keep their registry names
// ("Settings\Data", "default\Settings\Writer"); "\" and "/" both separate their levels.
// Integers are stored as numbers, texts (Windows-1252) as strings.
//
// Reads never fail: a missing value, or one that is not a number where a number is asked
// for, gives the default. Each write replaces the file atomically at once, unless a
// ProfileBatch is open.
//
// Failures are reported (through the presenter, else on standard error) and never cost values
// stored for other users:
//  - a file that can be read only in part is copied aside ("DictionaryQuillfast.conf.damaged")
//    before anything is written to it; if no copy can be made, or the file cannot be read at
//    all, nothing is written to it for the rest of the run;
//  - a file that cannot be written: once, and again only after a save has succeeded.
// A section or value name with an empty level ("\Settings\Writer") names nothing: reads give
// the default and writes fail.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

int GetProfileInt(const std::string& section, const std::string& entry, int defaultValue);
std::string GetProfileString(const std::string& section, const std::string& entry,
                             const std::string& defaultValue = {});
// False when the value did not reach the file (inside a batch: when it was refused).
bool WriteProfileInt(const std::string& section, const std::string& entry, int value);
bool WriteProfileString(const std::string& section, const std::string& entry,
                        const std::string& value);

// Holds back the file writes of the profile functions until the outermost batch ends, so
// that a set of values is written with one replacement of the file.
class ProfileBatch {
public:
    ProfileBatch();
    ~ProfileBatch();
    ProfileBatch(const ProfileBatch&) = delete;
    ProfileBatch& operator=(const ProfileBatch&) = delete;
};

// The profile file, for messages and tests.
std::string ProfileFilePath();

// Forgets the profile read so far: the next use reads the file again, as at start-up.
// Values not yet written are lost; call it outside a ProfileBatch.
void ReloadProfile();

// ---- reading without the file -------------------------------------------------------------
// What the program makes of stored values, and of a profile text, checked without a file (the
// fuzz targets). While a ScopedProfileValues lives, every read is answered from its values by
// the same conversions, and the file is neither read nor written (writes fail).

// A value as the file's reader gives it: a text, a list of texts (an unquoted text with
// commas), or, written in the settings' own notation, a number or bytes. Texts are UTF-8.
struct StoredValue {
    enum Kind { Text, List, Number, Bytes };
    Kind kind = Text;
    std::vector<std::string> texts;  // one for Text and Bytes
    std::int64_t number = 0;
};

class ScopedProfileValues {
public:
    // Keys are the section's levels and the value name joined by "/":
    // "default/Settings/Writer/Type".
    explicit ScopedProfileValues(const std::map<std::string, StoredValue>& values);
    ~ScopedProfileValues();
    ScopedProfileValues(const ScopedProfileValues&) = delete;
    ScopedProfileValues& operator=(const ScopedProfileValues&) = delete;
};

// Whether a profile text holds only what the settings keep when they rewrite the file (UTF-8;
// blank, comment, section and "key=value" lines): a text that is not is copied aside as damaged
// before anything is written over it.
bool ProfileTextIsWhole(std::string_view text);

}  // namespace platform
