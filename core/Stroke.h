#pragma once
// Strokes, outlines and the keyboard layouts, and the conversions between stroke bytes and
// steno text. All functions are pure.
//
// A stroke is 6 bytes: byte 0 bit 0x80 a coded command (bytes 1-2 hold its number, big-endian),
// bit 0x40 the number bar, bits 0x20..0x01 key positions 0-5; bytes 1-4 the further key
// positions, highest bit first; byte 5 only in the plain-text packing (layout 99).
// An outline is a byte string of whole strokes, in writing order.
#include <array>
#include <cstdint>
#include <string>

constexpr int kStrokeSize = 6;
using Outline = std::string;

// Layout index of the parser's plain-text packing; no layout list entry has it.
constexpr int kPlainTextLayout = 99;
constexpr int kLayoutCount = 14;

// The record FormatStroke reads: {ignored byte, layout index, 6 stroke bytes}. A queued
// TrackStroke starts with exactly these fields and is passed as it is.
struct StrokeRecord {
    std::uint8_t reserved = 0;
    std::uint8_t layout = 0;
    std::array<std::uint8_t, kStrokeSize> keys{};
};

struct KeyboardLayout {
    const char* listText;   // the text of the main dialog's layout list
    int keys;               // 22, 30 or 36
    const char* plain;      // character i is the letter of key position i (blank: no letter)
    const char* numberBar;  // shown instead while the number bar is pressed
};

// Layout `index`; an index outside 0..13 gives the English layout (22 keys).
const KeyboardLayout& GetKeyboardLayout(int index);
// 22, 30 or 36; an index outside 0..13 counts as 22.
int LayoutKeyCount(int index);

// Display modes of FormatStroke.
constexpr int kStrokeColumns = 0;          // steno-tape columns, 22 wide
constexpr int kStrokeCompact = 1;          // compact text
constexpr int kStrokeCompactNoStar = 2;    // compact, asterisk dropped under the number bar
constexpr int kStrokeRawColumns = 4;       // the columns as built

std::string FormatStroke(const StrokeRecord& record, int mode);
// The compact text of each stroke, joined by "/" (slash non-zero) or a blank; trailing "/"
// and blanks removed. A trailing fragment shorter than a stroke is ignored.
std::string FormatOutline(std::uint8_t layout, Outline outline, int slash);
// Stroke texts separated by blanks or "/" back to stroke bytes.
Outline ParseOutline(std::uint8_t layout, const std::string& text);
