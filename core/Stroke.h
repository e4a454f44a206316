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
using Stroke = std::array<std::uint8_t, kStrokeSize>;
using Outline = std::string;

// Byte 0 flags of a stroke.
constexpr std::uint8_t kCommandFlag = 0x80;
constexpr std::uint8_t kNumberBarFlag = 0x40;
// Byte 5 flags of the plain-text packing.
constexpr std::uint8_t kPlainMoreFlag = 0x02;
constexpr std::uint8_t kPlainRawFlag = 0x01;

// Layout index of the parser's plain-text packing; no layout list entry has it.
constexpr int kPlainTextLayout = 99;
constexpr int kLayoutCount = 14;

// The record FormatStroke reads: {ignored byte, layout index, 6 stroke bytes}. A queued
// TrackStroke starts with exactly these fields and is passed as it is.
struct StrokeRecord {
    std::uint8_t reserved = 0;
    std::uint8_t layout = 0;
    Stroke keys{};
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

// Where key position `position` (0..37) lives in a stroke; the same in every layout.
struct KeyBit {
    int byteIndex;       // 0..4
    std::uint8_t mask;
};
constexpr KeyBit KeyPositionBit(int position) {
    return position < 6 ? KeyBit{0, std::uint8_t(0x20u >> position)}
                        : KeyBit{1 + (position - 6) / 8, std::uint8_t(0x80u >> ((position - 6) % 8))};
}

// Display modes of FormatStroke.
constexpr int kStrokeColumns = 0;          // steno-tape columns, 22 wide
constexpr int kStrokeCompact = 1;          // compact text
constexpr int kStrokeCompactNoStar = 2;    // compact, asterisk dropped under the number bar
constexpr int kStrokeRawColumns = 4;       // the columns as built

// Any mode other than 0, 2 and 4 behaves as 1. Under the number bar, a layout whose first
// column then shows a key (French, Palantype) gets "#" in front of the text instead of on
// that column, so the key is never hidden; the column forms are then one column wider.
std::string FormatStroke(const StrokeRecord& record, int mode);
// The compact text of each stroke, joined by "/" (slash non-zero) or a blank; trailing "/"
// and blanks removed. A trailing fragment shorter than a stroke is ignored.
std::string FormatOutline(std::uint8_t layout, const Outline& outline, int slash);
// Stroke texts separated by blanks or "/" back to stroke bytes. A layout index outside
// 0..13 other than 99 parses as English; 99 is the plain-text packing.
Outline ParseOutline(std::uint8_t layout, const std::string& text);
