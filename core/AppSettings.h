#pragma once
// The one settings record of the program: the writer model and its serial line, the keyboard
// layout, the five command strokes, the shadow and drop masks, the folders and the users.
// Reached through GetSettings. Per-user values live in the application profile under
// "<user>\Settings\Writer" and "<user>\Settings\Strokes"; "Settings\Data" holds the data
// folder, the default user and the user list. The writer itself is made from the record by
// CreateWriter (writers/), so the record knows nothing of the drivers.
//
// Threads: the user-interface thread owns the record and is the only one to change it.
// Reader threads read `keyboardLayout` and `usbFlag` while it may change them, so those two
// are atomic; the drivers read the other fields only on the user-interface thread.
#include <atomic>
#include <string>
#include <vector>

#include "core/Stroke.h"

class AppSettings {
public:
    int writerType = 0;                // index into the writer list; 26 is speech training
    std::atomic<int> keyboardLayout{0};  // 0 to 13
    std::atomic<int> usbFlag{0};       // 1 while the configured writer is reached over USB
    int port = 0;                      // serial port number, 1 = the first
    int baudRate = 0;
    int parity = 0;                    // 0 none, 1 even, 2 odd, 3 mark
    int dataBits = 0;                  // 7 or 8
    int stopBits = 0;                  // 1 or 2
    char notesDriveLetter = 0;         // kept for the writers that read stored notes
    Outline deleteStroke;
    Outline acceptStroke;
    Outline clearStroke;
    Outline nextStroke;
    Outline backStroke;
    std::string dataFolder;            // the word-list modules
    Outline shadowMask;                // one stroke: keys a shadow suggestion may add
    Outline dropMask;                  // one stroke: keys a drop suggestion may remove
    std::string userFolder;            // dataFolder + "/" + userName + "/"
    std::string documentsFolder;       // progress files and RTF output; ends in "/"
    std::string userName;              // lower case
    std::vector<std::string> userNames;

    // Makes `user` (lower-cased) the current user, creates its folder if missing (one level;
    // a failure shows later, when files are written there) and reads its settings. Values
    // missing from the profile, or impossible ones, take the defaults. The data folder, the
    // documents folder and the user list are not touched.
    void LoadUserSettings(std::string user);
    // Writes the current user's settings, "Default User" and "Users" to the profile. The
    // command strokes and masks are written as steno text and, beside it, as their exact
    // bytes, which loading takes while the text is unchanged: a stroke whose text parses back
    // to another stroke still matches the chord that was captured.
    void SaveUserSettings();
    // Puts the five command strokes back to their defaults (the French ones when `french`),
    // in the current keyboard layout.
    void SetDefaultCommandStrokes(bool french);

    // Reads a writer section and a strokes section into the record, with the range checks and
    // defaults of LoadUserSettings (French command strokes when `frenchDefaults`). The older
    // machine-wide "Settings\Writer" and "Settings\Strokes" hold the same values.
    void ReadSections(const std::string& writerSection, const std::string& strokesSection,
                      bool frenchDefaults);
};

AppSettings& GetSettings();

// Profile sections and values.
extern const char* const kDataSection;       // "Settings\Data"
extern const char* const kDataDirectoryValue;  // "Data Directory"
extern const char* const kDefaultUserValue;  // "Default User"
extern const char* const kUsersValue;        // "Users"
std::string WriterSection(const std::string& user);   // user + "\Settings\Writer"
std::string StrokesSection(const std::string& user);  // user + "\Settings\Strokes"

// True when string 104 (the program's language) is "FR": French command strokes and layout
// by default.
bool FrenchDefaults();
