#pragma once
// The application's help: one HTML file whose anchors are topic numbers (a message box's
// Help opens it at the message's string id). It is looked for as
// "dictionary-quillfast/help/DictionaryQuillfast.html" in the user's and the system's data
// folders ($XDG_DATA_HOME, $XDG_DATA_DIRS), then as "help/DictionaryQuillfast.html" beside
// the program.
#include <string>

namespace platform {

// The help file's path (the file system's bytes); empty when none is installed.
std::string FindHelpFile();

}  // namespace platform
