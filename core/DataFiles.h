#pragma once
// The program's data files: word lists (".edq"), progress files (".dqx") and the speech
// progress file (".iqx"), and the title from which progress files are named.
//
// Word list: the whole file is one RC4 stream under kWordListKey; deciphered, Windows-1252
//   lines each ended by CR LF (a last line without CR LF is not a line).
// Progress file: a 32-bit little-endian position in the clear, then the entries as one RC4
//   stream under kProgressKey, each entry: outline text, 0x01, translation, 0x11.
// Speech progress: one 32-bit little-endian integer in the clear.
//
// Paths are byte strings. Readers report an unreadable file only by an empty result (or 0);
// writers replace the target atomically and return false on any failure, leaving the old file.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Changing either key makes every existing file of that kind unreadable.
inline constexpr char kWordListKey[] = "QFWORD";
inline constexpr char kProgressKey[] = "QFPR";

// The separators of a progress record; neither can be stored inside a field.
inline constexpr std::uint8_t kProgressFieldEnd = 0x01;
inline constexpr std::uint8_t kProgressRecordEnd = 0x11;

struct ProgressEntry {
    std::string outline;      // the strokes' steno text joined by "/"
    std::string translation;  // the word-list line it was written for
    bool operator==(const ProgressEntry&) const = default;
};

// The lines of a word list in file order, empty lines left out. Empty when the file cannot be
// opened (indistinguishable from a list without lines).
std::vector<std::string> ReadWordListFile(const std::string& path);
// Enciphers `lines` as a word list, each followed by CR LF. For the word-list tool and tests;
// the program itself only reads lists.
bool WriteWordListFile(const std::string& path, const std::vector<std::string>& lines,
                       std::string* error = nullptr);

// Writes the position and the entries. Bytes 0x01 and 0x11 are dropped from both fields, since
// they would split or merge records on reading. An entry with an empty outline is written but
// never read back.
bool WriteProgressFile(const std::string& path, const std::vector<ProgressEntry>& entries,
                       int position, std::string* error = nullptr);
// The entries of a progress file; `position` receives the stored position (negative becomes 0).
// When the file cannot be opened, or is too short to hold a position, the result is empty and
// `position` keeps the caller's value. A damaged file yields every whole record before the damage.
std::vector<ProgressEntry> ReadProgressFile(const std::string& path, int& position);
// The same, telling an unreadable file (false, with the reason in `error`) from an empty one.
bool LoadProgressFile(const std::string& path, std::vector<ProgressEntry>& entries, int& position,
                      std::string* error = nullptr);

// The entries of a progress file one at a time, in file order, without holding them all; the
// fields seen are valid only during the call. Results as LoadProgressFile.
using ProgressEntrySink =
    std::function<void(std::string_view outline, std::string_view translation)>;
bool ScanProgressFile(const std::string& path, int& position, const ProgressEntrySink& onEntry,
                      std::string* error = nullptr);

// The same readers over the bytes of a whole file held in memory, and the bytes the writers
// write, by the same code: for checks that need no file (the fuzz targets).
std::vector<std::string> ParseWordList(std::string_view fileBytes);
std::string EncodeWordList(const std::vector<std::string>& lines);
std::vector<ProgressEntry> ParseProgressFile(std::string_view fileBytes, int& position);
void ScanProgressBytes(std::string_view fileBytes, int& position, const ProgressEntrySink& onEntry);
std::string EncodeProgressFile(const std::vector<ProgressEntry>& entries, int position);

// The first 4 bytes as a little-endian integer (missing bytes count as 0); 0 when the file
// cannot be opened.
std::int32_t ReadFileInt(const std::string& path);
std::int32_t ParseFileInt(std::string_view fileBytes);
bool WriteFileInt(const std::string& path, std::int32_t value, std::string* error = nullptr);

// The path cut at its last "." and then after its last "/" or "\":
// "C:\Data\Basics\Lesson 1.edq" -> "Lesson 1". Same-named lists of two modules share a title.
std::string GetPathTitle(const std::string& path);
