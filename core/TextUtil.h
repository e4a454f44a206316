#pragma once
// Small text, number, path, time and file helpers shared by the steno core and the drivers.
// Text is narrow Windows-1252 in std::string; the program's two string kinds are one here.
#include <array>
#include <cstdint>
#include <string>

// ---- text ------------------------------------------------------------------------------
// Replaces every occurrence of `find`; the search resumes after each inserted replacement,
// so the replacement is never searched again. An empty `find` does nothing.
void ReplaceAll(std::string& target, const std::string& find, const std::string& replacement);

bool IsUpperLetter(std::uint8_t ch);
bool IsLowerLetter(std::uint8_t ch);
bool IsDigitChar(std::uint8_t ch);
std::uint8_t ToLowerLetter(std::uint8_t ch);

// atoi rules (leading blanks, optional sign, digits to the first non-digit; none gives 0);
// overflow wraps to 32 bits instead of being undefined.
int StrToInt(const std::string& text);
std::string IntToString(int value);
// Minutes and seconds as two digits: 7 -> "07", 42 -> "42" (numbers of 10 and up modulo 100).
std::string TwoDigits(int n);

// The string-table text of `id`; empty when the table has none.
std::string LoadResString(int id);

// ---- paths -----------------------------------------------------------------------------
// Separators are "/" and "\"; ":" separates only a drive prefix ("X:" at the start), since it
// is an ordinary byte in Linux file names.
std::string GetFolderPart(const std::string& path);
std::string GetFileNamePart(const std::string& path);
std::string GetExtensionPart(const std::string& path);
std::string GetFileTitlePart(const std::string& path);

// ---- time ------------------------------------------------------------------------------
// Hours, minutes, seconds, frames (30 a second).
using TimeCode = std::array<std::uint8_t, 4>;

// Milliseconds since local midnight. A time stamp only: it restarts at midnight, so
// time-outs use platform::MonotonicMs.
int GetTimeOfDayMs();
int TimeCodeToMs(const TimeCode& code);
// The input is first brought into one day (negative values and values of a day or more).
void MsToTimeCode(int ms, TimeCode& code);
void GetTimeCodeNow(TimeCode& code);

// ---- files -----------------------------------------------------------------------------
// Makes the file writable for its owner, then removes it; false when the removal failed.
bool DeleteFileForced(const std::string& path);
// A path as a message shows it: the file system's name in the message's Windows-1252 text.
std::string PathForMessage(const std::string& path);
// A file error as the platform words it ("<path>: <reason>") without the path, for a message
// that names the file itself; any other text unchanged.
std::string FileErrorReason(const std::string& error, const std::string& path);
// True when the path names an existing file or folder. "*" and "?" in its last part match
// any names, letters in either case ("*.dqx"); wildcards in folder parts are not honoured.
bool FileExists(const std::string& path);
