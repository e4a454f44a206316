#include "core/Stroke.h"

#include <string_view>

#include "core/TextUtil.h"

namespace {

constexpr KeyboardLayout kLayouts[kLayoutCount] = {
    {"English", 22, "STKPWHRAO*EUFRPBLGTSDZ", "12K3W4R50*EU6R7B8G9SDZ"},
    {"French", 22, "SKPMTF*RNLYOEAUIlnsDC ", "SKPMTF*RNLYOEAUILNSDC "},
    {"German", 22, "SBTGDRLAU*OIRLMBGDSTNE", "12T3D4L5U*0I6L7B8D9TNE"},
    {"Italian", 22, "SPCTHVRIA*EOCSTHPR1EAO", "12C3H4R5A*E06S7H8R9EAO"},
    {"Portugese", 22, "SKTFPLRAO*EURWBPGHTSDS", "12T3P4L50*EU6E7P8H9SDS"},
    {"Michela", 22, "FSCZPNRXIUuieanpzcsf  ", "12C3P4R5IUui6a7p8c9f  "},
    {"Hebrew", 22,
     "\xED\xE4\xE9\xEB\xFA\xEC\xF8\x4E\x6A\x2A\x6E\xE9\xF4\xF8\xEC\xE2\xE0\xE1\xFA\xE4\xF9\xE5",
     "\x31\x32\xE9\x33\xFA\x34\xF8\x35\x6A\x2A\x6E\xE9\x36\xF8\x37\xE2\x38\xE1\x39\xE4\xF9\xE5"},
    {"Palantype", 30, "SCPTH+MFRNLYOEAUI^NLCMFRPT+SH ", "SCPTH+MFRNLYOEAUI0741852963tm "},
    {"Palantype (std)", 30, "SKPTD+MFRNLYOEAUI^NLCMFRPTDSH ", "SKPTD+MFRNLYOEAUI0741852963tm "},
    {"Ext. English", 36, "^|1S2TK3PW4HRAO5~*IEU6FR7PB8LG9TS0DZ", "^|1S2TK3PW4HRAO5~*IEU6FR7PB8LG9TS0DZ"},
    {"Ext. German", 36, "^|1S2BT3GD4RLAU5~*YOI6RL7MB8GD9ST0NE", "^|1S2BT3GD4RLAU5~*YOI6RL7MB8GD9ST0NE"},
    {"Ext. French", 36, "SK1PM2TF3*R4NL5Y6OE7AU8Il9ns0DC^|~xz", "SK1PM2TF3*R4NL5Y6OE7AU8Il9ns0DC^|~xz"},
    {"Spanish", 22, "STKPMHRAO*EUFRPBLGTSDZ", "12K3M4R50*EU6R7B8G9SDZ"},
    {"Ext. Spanish", 36, "^|1S2TK3PM4HRAO5~*IEU6FR7PB8LG9TS0DZ", "^|1S2TK3PM4HRAO5~*IEU6FR7PB8LG9TS0DZ"},
};

constexpr bool LayoutStringsFit() {
    for (const KeyboardLayout& layout : kLayouts) {
        if (std::char_traits<char>::length(layout.plain) != std::size_t(layout.keys) ||
            std::char_traits<char>::length(layout.numberBar) != std::size_t(layout.keys))
            return false;
    }
    return true;
}
static_assert(LayoutStringsFit(), "every layout string has one character per key position");

constexpr int kMichelaLayout = 5;
constexpr int kColumns = 22;           // width of the steno-tape form
constexpr int kWalkPositions36 = 38;   // the 36-key walk covers bits 0x02 and 0x01 of byte 4
constexpr int kMaxText = 48;           // longest text built: 38 positions, a dash, a "#"

// The text of one stroke is built in place: no allocation per stroke.
struct TextBuffer {
    char chars[kMaxText];
    int length = 0;

    void Append(char ch) { chars[length++] = ch; }
    void Append(std::string_view text) {
        for (char ch : text) Append(ch);
    }
    void PadTo(int width) {
        while (length < width) Append(' ');
    }
    void Prepend(char ch) {
        for (int i = length; i > 0; --i) chars[i] = chars[i - 1];
        chars[0] = ch;
        ++length;
    }
    bool EndsInBlank() const { return length > 0 && chars[length - 1] == ' '; }
    std::string_view View() const { return {chars, std::size_t(length)}; }
};

bool HasKey(const Stroke& keys, int position) {
    const KeyBit bit = KeyPositionBit(position);
    return (keys[bit.byteIndex] & bit.mask) != 0;
}

void SetKey(Stroke& keys, int position) {
    const KeyBit bit = KeyPositionBit(position);
    keys[bit.byteIndex] |= bit.mask;
}

bool IsDigitOrDash(char ch) { return ch == '-' || IsDigitChar(std::uint8_t(ch)); }

// 36-key layouts: absent keys collapse to one blank; the number keys are keys of their own,
// so the command and number-bar flags are not read.
void Build36(const KeyboardLayout& layout, const Stroke& keys, TextBuffer& text) {
    constexpr std::string_view vowels = "AO5~*IEU";
    for (int pos = 0; pos < kWalkPositions36; ++pos) {
        if (HasKey(keys, pos)) {
            if (pos < layout.keys) text.Append(layout.plain[pos]);
        } else if (!text.EndsInBlank()) {
            text.Append(' ');
        }
        if (pos == 21) {
            // Only characters that exist: the text is a single blank when nothing was pressed.
            bool vowelNear = false;
            for (int i = text.length - 1; i >= 0 && i >= text.length - 2; --i)
                vowelNear = vowelNear || vowels.find(text.chars[i]) != std::string_view::npos;
            if (!vowelNear) text.Append('-');
        }
    }
    text.PadTo(kColumns);
}

// Returns true when the number bar must be shown by a "#" in front of the finished text,
// because the first column holds a pressed key that "#" must not hide.
bool BuildColumns(const KeyboardLayout& layout, const Stroke& keys, int mode, TextBuffer& text) {
    if (keys[0] & kCommandFlag) {
        text.Append("<!");
        text.Append(IntToString(keys[1] * 256 + keys[2]));
        text.Append('>');
        text.PadTo(kColumns);
        return false;
    }
    if (keys[0] == kNumberBarFlag && keys[1] == 0 && keys[2] == 0 && keys[3] == 0) {
        text.Append('#');
        text.PadTo(kColumns);
        return false;
    }
    const bool numberBar = (keys[0] & kNumberBarFlag) != 0;
    const char* letters = numberBar ? layout.numberBar : layout.plain;
    for (int pos = 0; pos < layout.keys; ++pos) text.Append(HasKey(keys, pos) ? letters[pos] : ' ');
    if (!numberBar) return false;
    bool hasDigit = false;
    for (int i = 0; i < text.length; ++i) {
        if (mode == kStrokeCompactNoStar && text.chars[i] == '*') text.chars[i] = ' ';
        hasDigit = hasDigit || IsDigitChar(std::uint8_t(text.chars[i]));
    }
    if (hasDigit) return false;
    if (text.chars[0] == ' ') {
        text.chars[0] = '#';
        return false;
    }
    return true;
}

void Compact(int index, const KeyboardLayout& layout, const Stroke& keys, TextBuffer& text) {
    if (layout.keys != 36) {
        if (index == kMichelaLayout && text.chars[9] == ' ') text.chars[9] = '-';
        const int s = layout.keys == 30 ? 12 : 7;
        bool blank = (keys[0] & kCommandFlag) == 0;
        for (int i = s; i < s + 5; ++i) blank = blank && text.chars[i] == ' ';
        if (blank) text.chars[s + 3] = '-';
    }
    int kept = 0;
    bool digitsOnly = true;
    for (int i = 0; i < text.length; ++i) {
        if (text.chars[i] == ' ') continue;
        text.chars[kept++] = text.chars[i];
        digitsOnly = digitsOnly && IsDigitOrDash(text.chars[i]);
    }
    text.length = kept;
    if (digitsOnly) {
        kept = 0;
        for (int i = 0; i < text.length; ++i)
            if (text.chars[i] != '-') text.chars[kept++] = text.chars[i];
        text.length = kept;
    }
}

void FormatInto(const StrokeRecord& record, int mode, TextBuffer& text) {
    const int index = record.layout;
    const KeyboardLayout& layout = GetKeyboardLayout(index);
    bool hashInFront = false;
    if (layout.keys == 36)
        Build36(layout, record.keys, text);
    else
        hashInFront = BuildColumns(layout, record.keys, mode, text);

    if (mode == kStrokeRawColumns) {
        if (hashInFront) text.Prepend('#');
        return;
    }
    if (mode == kStrokeColumns) {
        if (layout.keys == 30) Compact(index, layout, record.keys, text);
        if (hashInFront) text.Prepend('#');
        text.PadTo(kColumns);
        return;
    }
    // The dash rule of the compaction looks at the key columns, so "#" goes in front after it.
    Compact(index, layout, record.keys, text);
    if (hashInFront) text.Prepend('#');
}

bool IsStrokeSeparator(char ch) { return ch == ' ' || ch == '/'; }

// Key index a "-" moves to: the first position after the asterisk column.
int DashPosition(int keys) { return keys == 22 ? 10 : keys == 30 ? 13 : 18; }

Stroke ParseStroke(int index, std::string_view word) {
    Stroke keys{};
    if (word.empty()) return keys;
    if (word.starts_with("<!")) {
        // The closing ">" is taken off without being checked; "<!" alone is command 0.
        const std::string digits =
            word.size() < 3 ? std::string() : std::string(word.substr(2, word.size() - 3));
        const auto number = static_cast<std::uint32_t>(StrToInt(digits));
        keys[0] = kCommandFlag;
        keys[1] = std::uint8_t(number >> 8);
        keys[2] = std::uint8_t(number);
        return keys;
    }
    const KeyboardLayout& layout = GetKeyboardLayout(index);
    std::size_t p = 0;
    int i = 0;
    while (p < word.size() && i < layout.keys) {
        const char ch = word[p];
        if (ch == '#') {
            keys[0] |= kNumberBarFlag;
            ++p;
        } else if (ch == layout.plain[i]) {
            SetKey(keys, i);
            ++p;
            ++i;
        } else if (ch == layout.numberBar[i]) {
            SetKey(keys, i);
            keys[0] |= kNumberBarFlag;
            ++p;
            ++i;
        } else if (ch == '-') {
            i = DashPosition(layout.keys);
            ++p;
        } else {
            ++i;  // the character waits for a later position that carries it
        }
    }
    return keys;
}

constexpr std::string_view kPlainAlphabet = "abcdefghijklmnopqrstuvwxyz-'.";
constexpr int kCodesPerStroke = 9;
constexpr std::uint8_t kUpperMarker = 30;
constexpr std::uint8_t kCapitalsMarker = 31;
constexpr std::size_t kRawPerStroke = 5;

int PlainCode(char ch) {
    const std::size_t at = kPlainAlphabet.find(char(ToLowerLetter(std::uint8_t(ch))));
    return at == std::string_view::npos ? 0 : int(at) + 1;
}

void AppendStroke(Outline& outline, const Stroke& keys) {
    outline.append(reinterpret_cast<const char*>(keys.data()), keys.size());
}

// Packs nine 5-bit codes big-endian below a clear top bit, above the two flag bits.
Stroke PackCodes(const std::uint8_t (&codes)[kCodesPerStroke]) {
    std::uint64_t value = 0;
    for (std::uint8_t code : codes) value = (value << 5) | (code & 0x1Fu);
    value <<= 2;
    Stroke keys{};
    for (int b = kStrokeSize - 1; b >= 0; --b, value >>= 8) keys[b] = std::uint8_t(value);
    return keys;
}

void PackPlainText(std::string_view word, Outline& outline) {
    bool letters = true;
    bool capitals = true;
    for (char ch : word) {
        letters = letters && PlainCode(ch) != 0;
        capitals = capitals && !IsLowerLetter(std::uint8_t(ch));
    }
    while (!word.empty()) {
        Stroke keys{};
        std::size_t used = 0;
        if (letters) {
            std::uint8_t codes[kCodesPerStroke] = {};
            int count = 0;
            if (capitals) codes[count++] = kCapitalsMarker;
            for (; used < word.size(); ++used) {
                const char ch = word[used];
                const bool marked = !capitals && IsUpperLetter(std::uint8_t(ch));
                if (count + (marked ? 2 : 1) > kCodesPerStroke) break;
                if (marked) codes[count++] = kUpperMarker;
                codes[count++] = std::uint8_t(PlainCode(ch));
            }
            keys = PackCodes(codes);
        } else {
            keys[5] = kPlainRawFlag;
            for (; used < word.size() && used < kRawPerStroke; ++used) {
                const auto ch = std::uint8_t(word[used]);
                keys[used] = ch < 0x20 ? std::uint8_t('_') : ch;
            }
        }
        word.remove_prefix(used);
        if (!word.empty()) keys[5] |= kPlainMoreFlag;
        AppendStroke(outline, keys);
    }
}

}  // namespace

const KeyboardLayout& GetKeyboardLayout(int index) {
    return index >= 0 && index < kLayoutCount ? kLayouts[index] : kLayouts[0];
}

int LayoutKeyCount(int index) { return GetKeyboardLayout(index).keys; }

std::string FormatStroke(const StrokeRecord& record, int mode) {
    TextBuffer text;
    FormatInto(record, mode, text);
    return std::string(text.View());
}

std::string FormatOutline(std::uint8_t layout, const Outline& outline, int slash) {
    const std::size_t count = outline.size() / kStrokeSize;  // a trailing fragment is ignored
    std::string line;
    line.reserve(count * 8);
    StrokeRecord record;
    record.layout = layout;
    for (std::size_t n = 0; n < count; ++n) {
        for (int b = 0; b < kStrokeSize; ++b) record.keys[b] = std::uint8_t(outline[n * kStrokeSize + b]);
        TextBuffer text;
        FormatInto(record, kStrokeCompact, text);
        line.append(text.View());
        line.push_back(slash != 0 && n + 1 < count ? '/' : ' ');
    }
    while (!line.empty() && (line.back() == '/' || line.back() == ' ')) line.pop_back();
    return line;
}

Outline ParseOutline(std::uint8_t layout, const std::string& text) {
    Outline outline;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = pos;
        while (end < text.size() && !IsStrokeSeparator(text[end])) ++end;
        const std::string_view word(text.data() + pos, end - pos);
        pos = end;
        while (pos < text.size() && IsStrokeSeparator(text[pos])) ++pos;
        if (layout == kPlainTextLayout)
            PackPlainText(word, outline);
        else
            AppendStroke(outline, ParseStroke(layout, word));
    }
    return outline;
}
