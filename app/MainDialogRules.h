#pragma once
// The main dialog's rules without its widgets: the conversions between the settings record and
// the line-setting lists, which controls each writer model enables, the port edit's integer,
// and the module and word-list listings with the paths tied to their entries.
#include <string>
#include <vector>

#include "writers/WriterTypes.h"

// ---- list conversions ---------------------------------------------------------------------
// The baud list's rates, index 0 to 8. 56000 and 115000 are the rates stored, as offered.
inline constexpr int kBaudRates[] = {1200, 2400, 4800, 9600, 19200, 28800, 38400, 56000, 115000};
inline constexpr int kBaudRateCount = int(std::size(kBaudRates));
inline constexpr int kLayoutListCount = 14;
inline constexpr int kParityListCount = 4;

// Record to list: the index showing `rate`; a rate not in the list keeps `currentIndex`.
int BaudIndexForRate(int rate, int currentIndex);
// List to record: the rate of `index`; no selection (or an index out of the list) keeps
// `currentRate`.
int BaudRateForIndex(int index, int currentRate);
// Record to list: -1 (no entry) for a value the list does not have.
int DataBitsIndex(int dataBits);
int StopBitsIndex(int stopBits);
int IndexInList(int value, int count);  // writer type, layout, parity: the value when it fits
// List to record: `index` + 7 / + 1, or the value as it was when nothing is selected.
int DataBitsForIndex(int index, int currentBits);
int StopBitsForIndex(int index, int currentBits);
// Writer type, layout, parity: the index, or the value as it was when nothing is selected.
int ValueForIndex(int index, int count, int currentValue);

// ---- enable rules -------------------------------------------------------------------------
struct EnableRules {
    bool lineSettings = true;  // baud, parity, data bits, stop bits and the port edit
    bool test = true;
    bool layout = true;
    bool makeRtf = true;
    bool speech = false;       // Build opens the speech training instead of the build dialog
    bool operator==(const EnableRules&) const = default;
};
// Models reached over USB or the keyboard have no serial line; "Speech" has no writer at all.
EnableRules EnableRulesFor(int writerType);

// ---- port edit ----------------------------------------------------------------------------
// A decimal integer with optional blanks around it and an optional sign, within int. False
// for anything else (empty text, letters, a number too large).
bool ParseDialogInteger(const std::string& text, int& value);
// The port arrows: the edit's integer (0 when it holds none) moved by `delta`, kept in 1..255,
// the ports the settings keep from one start to the next.
int StepPortNumber(const std::string& text, int delta);
inline constexpr int kPortArrowLow = 1;
inline constexpr int kPortArrowHigh = 255;

// ---- modules and word lists ---------------------------------------------------------------
struct ListedFolderEntry {
    std::string title;  // the name up to its last "."
    std::string path;   // the full path the entry stands for
    bool operator==(const ListedFolderEntry&) const = default;
};
// The folders directly below the data folder that hold at least one word list (".edq"), by
// name, case-insensitively. A missing data folder gives none.
std::vector<ListedFolderEntry> ListModules(const std::string& dataFolder);
// A module's word lists, sorted by title case-insensitively, each with its own path.
std::vector<ListedFolderEntry> ListWordLists(const std::string& moduleFolder);

// The progress file and the proposed dictionary of a word list, in the documents folder
// (which ends in "/").
std::string ProgressPathFor(const std::string& documentsFolder, const std::string& wordListPath);
std::string RtfPathFor(const std::string& documentsFolder, const std::string& wordListPath);
// Why the dictionary may not be written to `target` (the message, Windows-1252): it is the
// list's progress file `progressPath`, or any progress, speech progress or word-list file,
// whose content the dictionary would replace. Empty when it may.
std::string RtfTargetRefusal(const std::string& target, const std::string& progressPath);

// ---- users --------------------------------------------------------------------------------
// Appends `name` unless the list holds it already, so the stored list does not grow each start.
void AddUserOnce(std::vector<std::string>& names, const std::string& name);
