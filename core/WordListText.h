#pragma once
// Plain-text word lists, the editable sources of the shipped ".edq" lists, to and from the
// Windows-1252 lines of a word list.
#include <string>
#include <vector>

enum class TextEncoding { Ascii, Utf8, Windows1252 };

struct WordListText {
    std::vector<std::string> lines;  // Windows-1252, no line ends, no empty lines
    TextEncoding encoding = TextEncoding::Ascii;
};

// Splits `text` at CR LF, LF or CR (the last line needs none) and drops empty lines, which a
// word list never shows. Text that is valid UTF-8 (a leading byte-order mark is dropped) is
// read as UTF-8, anything else as Windows-1252. False, with `error` naming the line, for a
// character Windows-1252 lacks, a control character (tab is allowed) or a byte that
// Windows-1252 leaves unassigned.
bool ParseWordListText(const std::string& text, WordListText& out, std::string& error);

// The lines as UTF-8 text, each followed by LF.
std::string FormatWordListText(const std::vector<std::string>& lines);
