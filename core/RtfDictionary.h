#pragma once
// Export of captured entries as an RTF/CRE steno dictionary, the interchange format that steno
// translation software imports.
#include <string>
#include <string_view>

// Written first; opens the document group, which the export closes at its end. Lines end in
// LF here and CR LF in the file (240 characters, 254 bytes written).
extern const char RtfDictionaryHeader[];
// Opens the steno group of every entry.
extern const char RtfStenoGroupPrefix[];

// Reads the entries of the progress file and writes them, in capture order and unsorted, as
// one line each: {\*\cxs OUTLINE}translation, with "~" and "^" escaped in the translation.
// Every LF written is stored as CR LF; the file ends in "}" without a line end. The target
// is replaced atomically. False, with the target untouched, when the progress file cannot be
// opened or the dictionary cannot be written; `error` (when given) receives the reason.
bool WriteRtfDictionary(const std::string& progressPath, const std::string& rtfPath,
                        std::string* error = nullptr);
// The bytes WriteRtfDictionary writes for a progress file held in memory (the same code).
std::string RtfDictionaryText(std::string_view progressFileBytes);
