#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <random>
#include <string>

#include "core/Stroke.h"

namespace {

constexpr std::uint8_t NB = kNumberBarFlag;

Stroke Keys(std::initializer_list<int> positions, std::uint8_t flags = 0) {
    Stroke keys{};
    keys[0] = flags;
    for (int pos : positions) {
        const KeyBit bit = KeyPositionBit(pos);
        keys[bit.byteIndex] |= bit.mask;
    }
    return keys;
}

Stroke Command(int number) { return Stroke{0x80, std::uint8_t(number >> 8), std::uint8_t(number), 0, 0, 0}; }

std::string Bytes(const Stroke& keys) {
    return std::string(reinterpret_cast<const char*>(keys.data()), keys.size());
}

// "20 02 00 00 00 00 | 00 ..." so that a failure shows which stroke differs.
std::string Hex(const std::string& bytes) {
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) text += i % kStrokeSize == 0 ? " | " : " ";
        char byte[3];
        std::snprintf(byte, sizeof byte, "%02X", unsigned(std::uint8_t(bytes[i])));
        text += byte;
    }
    return text;
}

std::string Format(int layout, const Stroke& keys, int mode) {
    StrokeRecord record;
    record.reserved = 0xEE;  // never read
    record.layout = std::uint8_t(layout);
    record.keys = keys;
    return FormatStroke(record, mode);
}

std::string Blanks(int n) { return std::string(std::size_t(n), ' '); }

}  // namespace

TEST(KeyboardLayouts, TableIsExact) {
    struct Case {
        const char* listText;
        int keys;
        std::string plain, numberBar;
    } cases[] = {
        {"English", 22, "STKPWHRAO*EUFRPBLGTSDZ", "12K3W4R50*EU6R7B8G9SDZ"},
        {"French", 22, "SKPMTF*RNLYOEAUIlnsDC ", "SKPMTF*RNLYOEAUILNSDC "},
        {"German", 22, "SBTGDRLAU*OIRLMBGDSTNE", "12T3D4L5U*0I6L7B8D9TNE"},
        {"Italian", 22, "SPCTHVRIA*EOCSTHPR1EAO", "12C3H4R5A*E06S7H8R9EAO"},
        {"Portugese", 22, "SKTFPLRAO*EURWBPGHTSDS", "12T3P4L50*EU6E7P8H9SDS"},
        {"Michela", 22, "FSCZPNRXIUuieanpzcsf  ", "12C3P4R5IUui6a7p8c9f  "},
        {"Hebrew", 22,
         "\xED\xE4\xE9\xEB\xFA\xEC\xF8N" "j*n\xE9\xF4\xF8\xEC\xE2\xE0\xE1\xFA\xE4\xF9\xE5",
         "12\xE9" "3\xFA" "4\xF8" "5j*n\xE9" "6\xF8" "7\xE2" "8\xE1" "9\xE4\xF9\xE5"},
        {"Palantype", 30, "SCPTH+MFRNLYOEAUI^NLCMFRPT+SH ", "SCPTH+MFRNLYOEAUI0741852963tm "},
        {"Palantype (std)", 30, "SKPTD+MFRNLYOEAUI^NLCMFRPTDSH ", "SKPTD+MFRNLYOEAUI0741852963tm "},
        {"Ext. English", 36, "^|1S2TK3PW4HRAO5~*IEU6FR7PB8LG9TS0DZ", "^|1S2TK3PW4HRAO5~*IEU6FR7PB8LG9TS0DZ"},
        {"Ext. German", 36, "^|1S2BT3GD4RLAU5~*YOI6RL7MB8GD9ST0NE", "^|1S2BT3GD4RLAU5~*YOI6RL7MB8GD9ST0NE"},
        {"Ext. French", 36, "SK1PM2TF3*R4NL5Y6OE7AU8Il9ns0DC^|~xz", "SK1PM2TF3*R4NL5Y6OE7AU8Il9ns0DC^|~xz"},
        {"Spanish", 22, "STKPMHRAO*EUFRPBLGTSDZ", "12K3M4R50*EU6R7B8G9SDZ"},
        {"Ext. Spanish", 36, "^|1S2TK3PM4HRAO5~*IEU6FR7PB8LG9TS0DZ", "^|1S2TK3PM4HRAO5~*IEU6FR7PB8LG9TS0DZ"},
    };
    ASSERT_EQ(std::size(cases), std::size_t(kLayoutCount));
    for (int index = 0; index < kLayoutCount; ++index) {
        const Case& c = cases[index];
        const KeyboardLayout& layout = GetKeyboardLayout(index);
        EXPECT_STREQ(layout.listText, c.listText) << index;
        EXPECT_EQ(layout.keys, c.keys) << index;
        EXPECT_EQ(LayoutKeyCount(index), c.keys) << index;
        EXPECT_EQ(std::string(layout.plain), c.plain) << index;
        EXPECT_EQ(std::string(layout.numberBar), c.numberBar) << index;
        EXPECT_EQ(c.plain.size(), std::size_t(c.keys)) << index;  // the table itself is checked too
    }
}

TEST(KeyboardLayouts, IndexOutsideTableIsEnglish) {
    for (int index : {-1, 14, 98, 99, 100, 255, 100000}) {
        EXPECT_EQ(&GetKeyboardLayout(index), &GetKeyboardLayout(0)) << index;
        EXPECT_EQ(LayoutKeyCount(index), 22) << index;
    }
}

TEST(KeyboardLayouts, KeyPositionBits) {
    struct Case {
        int position, byteIndex, mask;
    } cases[] = {{0, 0, 0x20}, {5, 0, 0x01}, {6, 1, 0x80}, {13, 1, 0x01}, {14, 2, 0x80},
                 {21, 2, 0x01}, {22, 3, 0x80}, {29, 3, 0x01}, {30, 4, 0x80}, {35, 4, 0x04}};
    for (const auto& c : cases) {
        const KeyBit bit = KeyPositionBit(c.position);
        EXPECT_EQ(bit.byteIndex, c.byteIndex) << c.position;
        EXPECT_EQ(bit.mask, c.mask) << c.position;
    }
}

TEST(FormatStroke, ModesAndLayouts) {
    struct Case {
        const char* name;
        int layout;
        Stroke keys;
        int mode;
        std::string want;
    } cases[] = {
        // English: S0 T1 K2 P3 W4 H5 R6 A7 O8 *9 E10 U11 F12 R13 P14 B15 L16 G17 T18 S19 D20 Z21
        {"S F", 0, Keys({0, 12}), 1, "S-F"},
        {"S F tape", 0, Keys({0, 12}), 0, "S" + Blanks(11) + "F" + Blanks(9)},
        {"S F as built", 0, Keys({0, 12}), 4, "S" + Blanks(11) + "F" + Blanks(9)},
        {"S * F", 0, Keys({0, 9, 12}), 1, "S*F"},
        {"STPH", 0, Keys({0, 1, 3, 5}), 1, "STPH-"},
        {"KWR", 0, Keys({2, 4, 6}), 1, "KWR-"},
        {"right bank only", 0, Keys({12, 14}), 1, "-FP"},
        {"number bar S T", 0, Keys({0, 1}, NB), 1, "12"},
        {"number bar digits both banks", 0, Keys({0, 12}, NB), 1, "16"},
        {"number bar vowels", 0, Keys({7, 8}, NB), 1, "50"},
        {"number bar letter only", 0, Keys({20}, NB), 1, "#-D"},
        {"number bar digit and letter", 0, Keys({0, 20}, NB), 1, "1-D"},
        {"number bar asterisk", 0, Keys({9}, NB), 1, "#*"},
        {"number bar asterisk, star dropped", 0, Keys({9}, NB), 2, "#-"},
        {"asterisk kept without number bar", 0, Keys({9}), 2, "*"},
        {"number bar alone tape", 0, Keys({}, NB), 0, "#" + Blanks(21)},
        {"number bar alone", 0, Keys({}, NB), 1, "#-"},
        {"number bar alone, star dropped", 0, Keys({}, NB), 2, "#-"},
        {"number bar and a stray byte 3", 0, Stroke{0x40, 0, 0, 0x01, 0, 0}, 1, "#-"},
        {"empty tape", 0, Keys({}), 0, Blanks(22)},
        {"empty as built", 0, Keys({}), 4, Blanks(22)},
        {"empty", 0, Keys({}), 1, ""},
        {"command 5 tape", 0, Command(5), 0, "<!5>" + Blanks(18)},
        {"command 5", 0, Command(5), 1, "<!5>"},
        {"command ignores key bits", 0, Stroke{0xE0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 1, "<!65535>"},
        {"mode 3 is compact", 0, Keys({0, 12}), 3, "S-F"},
        {"mode -1 is compact", 0, Keys({0, 12}), -1, "S-F"},
        {"mode 99 is compact", 0, Keys({0, 12}), 99, "S-F"},
        {"layout 14 is English", 14, Keys({0, 12}), 1, "S-F"},
        {"layout 99 is English", 99, Keys({0, 12}), 1, "S-F"},
        {"layout 255 is English", 255, Keys({0, 1}, NB), 1, "12"},
        // French: S0 K1 P2 M3 T4 F5 *6 R7 N8 L9 Y10 O11 E12 A13 U14 I15 l16 n17 s18 D19 C20, 21 no letter.
        // Its number-bar string has no digits, so "#" goes in front of a pressed first key.
        {"French S", 1, Keys({0}), 1, "S-"},
        {"French number bar S", 1, Keys({0}, NB), 1, "#S-"},
        {"French number bar S, star dropped", 1, Keys({0}, NB), 2, "#S-"},
        {"French number bar S tape", 1, Keys({0}, NB), 0, "#S" + Blanks(21)},
        {"French number bar S as built", 1, Keys({0}, NB), 4, "#S" + Blanks(21)},
        {"French number bar K", 1, Keys({1}, NB), 1, "#K-"},
        {"French number bar K tape", 1, Keys({1}, NB), 0, "#K" + Blanks(20)},
        {"French number bar l", 1, Keys({16}, NB), 1, "#-L"},
        {"French key without a letter", 1, Keys({21}), 1, ""},
        // Palantype: S0 C1 P2 T3 H4 +5 M6 F7 R8 N9 L10 Y11 O12 E13 A14 U15 I16 ^17 N18 L19 C20
        // M21 F22 R23 P24 T25 +26 S27 H28, 29 no letter; the dash goes on column 15.
        {"Palantype S", 7, Keys({0}), 1, "S-"},
        {"Palantype number bar S", 7, Keys({0}, NB), 1, "#S-"},
        {"Palantype number bar S tape", 7, Keys({0}, NB), 0, "#S-" + Blanks(19)},
        {"Palantype number bar S as built", 7, Keys({0}, NB), 4, "#S" + Blanks(29)},
        {"Palantype number bar C", 7, Keys({1}, NB), 1, "#C-"},
        {"Palantype (std) number bar S", 8, Keys({0}, NB), 1, "#S-"},
        {"Palantype number bar digit", 7, Keys({17}, NB), 1, "0"},
        {"Palantype number bar S and digit", 7, Keys({0, 17}, NB), 1, "S-0"},
        {"Palantype S T tape is compact", 7, Keys({0, 25}), 0, "S-T" + Blanks(19)},
        {"Palantype fourth byte", 7, Keys({28}), 1, "-H"},
        {"Palantype empty tape", 7, Keys({}), 0, Blanks(22)},
        {"Palantype empty as built", 7, Keys({}), 4, Blanks(30)},
        {"Palantype number bar alone", 7, Keys({}, NB), 1, "#-"},
        {"Palantype number bar alone as built", 7, Keys({}, NB), 4, "#" + Blanks(21)},
        // Michela: F0 S1 C2 Z3 P4 N5 R6 X7 I8 U9 u10 i11 e12 a13 n14 p15 z16 c17 s18 f19.
        {"Michela command 5", 5, Command(5), 1, "<!5>-"},
        {"Michela F", 5, Keys({0}), 1, "F-"},
        {"Michela f", 5, Keys({19}), 1, "-f"},
        {"Michela U", 5, Keys({9}), 1, "U"},
        {"Michela empty", 5, Keys({}), 1, ""},
        {"Hebrew bytes", 6, Keys({0, 12}), 1, "\xED-\xF4"},
        {"Hebrew number bar", 6, Keys({0, 4}, NB), 1, "1\xFA-"},
        {"Italian right-hand 1", 3, Keys({18}), 1, "1"},
        // Ext. English: ^0 |1 1(2) S3 2(4) T5 K6 3(7) P8 W9 4(10) H11 R12 A13 O14 5(15) ~16 *17
        // I18 E19 U20 6(21) F22 R23 7(24) P25 B26 8(27) L28 G29 9(30) T31 S32 0(33) D34 Z35.
        {"Ext. S F", 9, Keys({3, 22}), 1, "S-F"},
        {"Ext. S F tape", 9, Keys({3, 22}), 0, " S -F" + Blanks(17)},
        {"Ext. S F as built", 9, Keys({3, 22}), 4, " S -F" + Blanks(17)},
        {"Ext. right bank only", 9, Keys({22}), 1, "-F"},
        {"Ext. vowel, no dash", 9, Keys({13, 22}), 1, "AF"},
        {"Ext. vowel before a blank, no dash", 9, Keys({18, 22}), 1, "IF"},
        {"Ext. number key alone", 9, Keys({21}), 1, "6"},
        {"Ext. empty", 9, Keys({}), 1, ""},
        {"Ext. empty tape", 9, Keys({}), 0, " - " + Blanks(19)},
        {"Ext. flags not read", 9, Stroke{0xC4, 0, 0, 0x80, 0, 0}, 1, "S-F"},
        {"Ext. bits without a key", 9, Stroke{0, 0, 0, 0, 0x03, 0}, 1, ""},
        {"Ext. all keys", 9, Stroke{0x3F, 0xFF, 0xFF, 0xFF, 0xFC, 0}, 1,
         "^|1S2TK3PW4HRAO5~*IEU6FR7PB8LG9TS0DZ"},
        {"Ext. German Y", 10, Keys({18}), 1, "Y-"},
        {"Ext. French Y", 11, Keys({15}), 1, "Y-"},
        {"Ext. Spanish M", 13, Keys({9}), 1, "M-"},
    };
    for (const auto& c : cases) EXPECT_EQ(Format(c.layout, c.keys, c.mode), c.want) << c.name;
}

TEST(FormatOutline, JoinsStrokes) {
    const std::string stph = Bytes(Keys({0, 1, 3, 5})), kwr = Bytes(Keys({2, 4, 6}));
    const std::string empty = Bytes(Keys({})), s = Bytes(Keys({0})), t = Bytes(Keys({1}));
    struct Case {
        const char* name;
        int layout;
        std::string outline;
        int slash;
        std::string want;
    } cases[] = {
        // Each stroke without vowel or asterisk carries the column-10 dash.
        {"two strokes, slash", 0, stph + kwr, 1, "STPH-/KWR-"},
        {"two strokes, blank", 0, stph + kwr, 0, "STPH- KWR-"},
        {"any non-zero slash", 0, stph + kwr, -7, "STPH-/KWR-"},
        {"empty outline", 0, "", 1, ""},
        {"empty stroke inside, slash", 0, s + empty + t, 1, "S-//T-"},
        {"empty stroke inside, blank", 0, s + empty + t, 0, "S-  T-"},
        {"leading empty stroke, blank", 0, empty + s, 0, " S-"},
        {"leading empty stroke, slash", 0, empty + s, 1, "/S-"},
        {"trailing empty strokes vanish", 0, s + empty + empty, 1, "S-"},
        {"only empty strokes", 0, empty + empty, 1, ""},
        {"trailing fragment ignored", 0, s + std::string("\x20\x00\x00", 3), 1, "S-"},
        {"fragment alone", 0, std::string("\x20\x00\x00\x00\x00", 5), 0, ""},
        {"command", 0, Bytes(Command(300)), 0, "<!300>"},
        {"Michela command", 5, Bytes(Command(5)), 0, "<!5>-"},
        {"French number bar S", 1, Bytes(Keys({0}, NB)), 0, "#S-"},
        {"layout outside table", 200, stph, 0, "STPH-"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatOutline(std::uint8_t(c.layout), c.outline, c.slash), c.want) << c.name;
}

TEST(ParseOutline, Strokes) {
    struct Case {
        const char* name;
        int layout;
        std::string text;
        std::string want;  // hexadecimal, strokes separated by "|"
    } cases[] = {
        {"two strokes", 0, "STPH KWR", "35 00 00 00 00 00 | 0A 80 00 00 00 00"},
        {"extra and trailing blanks", 0, "STPH  KWR ", "35 00 00 00 00 00 | 0A 80 00 00 00 00"},
        {"leading blank", 0, " STPH", "00 00 00 00 00 00 | 35 00 00 00 00 00"},
        {"blanks only", 0, "   ", "00 00 00 00 00 00"},
        {"empty text", 0, "", ""},
        {"slash separates", 0, "STPH/KWR", "35 00 00 00 00 00 | 0A 80 00 00 00 00"},
        {"slashes and blanks mixed", 0, "STPH/ /KWR/", "35 00 00 00 00 00 | 0A 80 00 00 00 00"},
        {"leading slash", 0, "/STPH", "00 00 00 00 00 00 | 35 00 00 00 00 00"},
        {"tab is an ordinary character", 0, "S\tT", "20 00 00 00 00 00"},
        {"S-F", 0, "S-F", "20 02 00 00 00 00"},
        {"SF finds F at 12", 0, "SF", "20 02 00 00 00 00"},
        {"FS takes the right S", 0, "FS", "00 02 04 00 00 00"},
        {"TS", 0, "TS", "10 00 04 00 00 00"},
        {"ZS drops the S", 0, "ZS", "00 00 01 00 00 00"},
        {"case-sensitive", 0, "stph", "00 00 00 00 00 00"},
        {"number bar by #", 0, "#ST", "70 00 00 00 00 00"},
        {"number bar by digits", 0, "12", "70 00 00 00 00 00"},
        {"# in the middle", 0, "S#T", "70 00 00 00 00 00"},
        {"# alone", 0, "#", "40 00 00 00 00 00"},
        {"dash alone", 0, "-", "00 00 00 00 00 00"},
        {"dash moves back", 0, "U-E", "00 0C 00 00 00 00"},
        {"command 300", 0, "<!300>", "80 01 2C 00 00 00"},
        {"command without digits", 0, "<!>", "80 00 00 00 00 00"},
        {"command text too short", 0, "<!", "80 00 00 00 00 00"},
        {"command not a number", 0, "<!x>", "80 00 00 00 00 00"},
        {"command keeps low 16 bits", 0, "<!70000>", "80 11 70 00 00 00"},
        {"command negative", 0, "<!-1>", "80 FF FF 00 00 00"},
        {"command wraps past 32 bits", 0, "<!4294967297>", "80 00 01 00 00 00"},
        {"command's last character is taken as the bracket", 0, "<!12", "80 00 01 00 00 00"},
        {"Michela command", 5, "<!5>-", "80 00 05 00 00 00"},
        {"a lone bracket is a key text", 0, "<", "00 00 00 00 00 00"},
        {"Spanish dash", 12, "ST-FR", "30 03 00 00 00 00"},
        {"English dash", 0, "ST-FR", "30 03 00 00 00 00"},
        {"layout 14 parses as English", 14, "ST-FR", "30 03 00 00 00 00"},
        {"layout 98 parses as English", 98, "#ST", "70 00 00 00 00 00"},
        {"layout 100 parses as English", 100, "FS", "00 02 04 00 00 00"},
        {"layout 255 parses as English", 255, "ZS", "00 00 01 00 00 00"},
        {"French l is case-sensitive", 1, "l", "00 00 20 00 00 00"},
        {"French capital L is the left-hand key", 1, "L", "00 10 00 00 00 00"},
        {"Palantype dash", 7, "S-T", "20 00 00 10 00 00"},
        {"Palantype number bar", 7, "#S-", "60 00 00 00 00 00"},
        {"Ext. dash", 9, "S-F", "04 00 00 80 00 00"},
        {"Ext. fifth byte", 9, "DZ", "00 00 00 00 0C 00"},
        {"Ext. # still sets the flag", 9, "#S", "44 00 00 00 00 00"},
        {"Hebrew byte", 6, "\xED\xF4", "20 02 00 00 00 00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Hex(ParseOutline(std::uint8_t(c.layout), c.text)), c.want) << c.name;
}

TEST(ParseOutline, PlainTextPacking) {
    struct Case {
        const char* name;
        std::string text;
        std::string want;
    } cases[] = {
        {"cat", "cat", "0C 34 00 00 00 00"},                 // 3 1 20
        {"Cat", "Cat", "78 61 A0 00 00 00"},                 // 30 3 1 20
        {"CAT", "CAT", "7C 61 A0 00 00 00"},                 // 31 3 1 20
        {"apostrophe", "it's", "26 9C 98 00 00 00"},         // 9 20 28 19
        {"ten letters", "abcdefghij", "04 43 21 4C 74 26 | 28 00 00 00 00 00"},
        {"marker and letter go on together", "aaaaaaaaB", "04 21 08 42 10 82 | 78 40 00 00 00 00"},
        {"capitals marker on every stroke", "ABCDEFGHI", "7C 22 19 0A 63 A2 | 7D 20 00 00 00 00"},
        {"raw", "a1", "61 31 00 00 00 01"},
        {"raw over two strokes", "a1b2c3d", "61 31 62 32 63 03 | 33 64 00 00 00 01"},
        {"raw control character", "a\t1", "61 5F 31 00 00 01"},
        {"raw accented capital", "caf\xC9", "63 61 66 C9 00 01"},
        {"two words", "cat a1", "0C 34 00 00 00 00 | 61 31 00 00 00 01"},
        {"empty word yields nothing", " ", ""},
        {"empty text", "", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(Hex(ParseOutline(kPlainTextLayout, c.text)), c.want) << c.name;
}

// Texts as the settings and the stroke lists write them come back unchanged.
TEST(RoundTrip, CompactTextsPerLayout) {
    struct Case {
        int layout;
        std::string text;   // as stored or typed
        std::string canonical;  // as FormatOutline writes it
    } cases[] = {
        {0, "*FPLT", "*FPLT"},
        {0, "STPH*", "STPH*"},
        {0, "STKPWHRFRPBLGTS", "STKPWHR-FRPBLGTS"},
        {0, "LG", "-LG"},
        {0, "#ST", "12"},
        {0, "STPH/KWR", "STPH- KWR-"},
        {0, "<!300>", "<!300>"},
        {1, "KMFRUlsC", "KMFRUlsC"},
        {1, "AlnD", "-AlnD"},
        {1, "#S", "#S-"},
        {2, "SBT-NE", "SBT-NE"},
        {3, "SPC*EO", "SPC*EO"},
        {4, "SKT-RW", "SKT-RW"},
        {5, "FSC-up", "FSC-up"},
        {5, "<!5>-", "<!5>-"},
        {6, "\xED\xE4-\xF4", "\xED\xE4-\xF4"},
        {7, "SCP-NL", "SCP-NL"},
        {7, "#S", "#S-"},
        {8, "SKPTD-DSH", "SKPTD-DSH"},
        {9, "^SAOF", "^SAOF"},
        {10, "S-NE", "S-NE"},
        {11, "SK-DC", "SK-DC"},
        {12, "ST-FR", "ST-FR"},
        {13, "PM-Z", "PM-Z"},
    };
    for (const auto& c : cases) {
        const auto layout = std::uint8_t(c.layout);
        const Outline outline = ParseOutline(layout, c.text);
        const std::string written = FormatOutline(layout, outline, 0);
        EXPECT_EQ(written, c.canonical) << c.layout << " " << c.text;
        EXPECT_EQ(Hex(ParseOutline(layout, written)), Hex(outline)) << c.layout << " " << c.text;
    }
}

// Where the compact text does not parse back to the stroke it came from. The text-stream
// drivers read text with this parser, so these stay as they are.
struct NotInverse {
    const char* name;
    int layout;
    Stroke keys;
    std::string text;
    std::string parsed;  // the outline the text parses to
};
const NotInverse kNotInverse[] = {
    {"empty stroke is no text", 0, Keys({}), "", ""},
    {"French key without a letter", 1, Keys({21}), "", ""},
    {"French number bar, key without a letter", 1, Keys({21}, NB), "#-", Bytes(Keys({}, NB))},
    {"French number-bar L after R", 1, Keys({7, 16}, NB), "#RL", Bytes(Keys({7, 9}, NB))},
    {"French number-bar N after R", 1, Keys({7, 17}, NB), "#RN", Bytes(Keys({7, 8}, NB))},
    {"Italian right-hand 1 reads as number bar", 3, Keys({18}), "1", Bytes(Keys({0}, NB))},
    {"Italian right-hand E", 3, Keys({19}), "-E", Bytes(Keys({10}))},
    {"Italian right-hand O", 3, Keys({21}), "-O", Bytes(Keys({11}))},
    {"Italian number bar, right-hand E", 3, Keys({19}, NB), "#-E", Bytes(Keys({10}, NB))},
    {"Italian number bar, right-hand O", 3, Keys({21}, NB), "#-O", Bytes(Keys({11}, NB))},
    {"Italian vowel then right-hand E", 3, Keys({7, 19}), "IE", Bytes(Keys({7, 10}))},
    {"Portuguese last S", 4, Keys({21}), "-S", Bytes(Keys({19}))},
    {"Portuguese number bar, last S", 4, Keys({21}, NB), "#-S", Bytes(Keys({19}, NB))},
    {"Portuguese vowel then last S", 4, Keys({7, 21}), "AS", Bytes(Keys({7, 19}))},
    {"Portuguese number-bar L", 4, Keys({6}, NB), "#L-", Bytes(Keys({5}, NB))},
    {"Portuguese number-bar E", 4, Keys({13}, NB), "#-E", Bytes(Keys({10}, NB))},
    {"Michela keys without a letter", 5, Keys({0, 20, 21}), "F-", Bytes(Keys({0}))},
    {"Michela key without a letter", 5, Keys({20}), "", ""},
    {"Michela last key without a letter", 5, Keys({21}), "", ""},
    {"Michela number bar, keys without a letter", 5, Keys({20}, NB), "#-", Bytes(Keys({}, NB))},
    {"Michela number bar, last key without a letter", 5, Keys({21}, NB), "#-", Bytes(Keys({}, NB))},
    {"Hebrew right-hand yod", 6, Keys({11}), "\xE9", Bytes(Keys({2}))},
    {"Hebrew number bar, right-hand yod", 6, Keys({11}, NB), "#\xE9", Bytes(Keys({2}, NB))},
    {"Palantype key without a letter", 7, Keys({0, 29}), "S-", Bytes(Keys({0}))},
    {"Palantype last key without a letter", 7, Keys({29}), "", ""},
    {"Palantype number bar, key without a letter", 7, Keys({29}, NB), "#-", Bytes(Keys({}, NB))},
    {"Palantype (std) last key without a letter", 8, Keys({29}), "", ""},
    {"Palantype (std) number bar, key without a letter", 8, Keys({29}, NB), "#-", Bytes(Keys({}, NB))},
    {"36-key number bar is not shown", 9, Keys({3}, NB), "S-", Bytes(Keys({3}))},
    {"36-key command shows as keys", 9, Command(5), "E6-", Bytes(Keys({19, 21}))},
};

TEST(RoundTrip, KnownExceptions) {
    for (const auto& c : kNotInverse) {
        EXPECT_EQ(Format(c.layout, c.keys, kStrokeCompact), c.text) << c.name;
        EXPECT_EQ(Hex(ParseOutline(std::uint8_t(c.layout), c.text)), Hex(c.parsed)) << c.name;
    }
}

namespace {

bool IsKnownException(int layout, const Stroke& keys) {
    for (const auto& c : kNotInverse)
        if (c.layout == layout && c.keys == keys) return true;
    return false;
}

void ExpectRoundTrip(int layout, const Stroke& keys) {
    const std::string text = Format(layout, keys, kStrokeCompact);
    EXPECT_EQ(Hex(ParseOutline(std::uint8_t(layout), text)), Hex(Bytes(keys)))
        << "layout " << layout << " text '" << text << "'";
}

}  // namespace

TEST(RoundTrip, EverySingleKeyUnlessListed) {
    for (int layout = 0; layout < kLayoutCount; ++layout) {
        const int keyCount = LayoutKeyCount(layout);
        for (std::uint8_t flags : {std::uint8_t(0), NB}) {
            if (keyCount == 36 && flags != 0) continue;  // 36-key layouts have number keys of their own
            for (int pos = 0; pos < keyCount; ++pos) {
                const Stroke keys = Keys({pos}, flags);
                if (!IsKnownException(layout, keys)) ExpectRoundTrip(layout, keys);
            }
        }
    }
}

// In these layouts no letter stands where the parser would take it for another key.
TEST(RoundTrip, EveryPairInUnambiguousLayouts) {
    for (int layout : {0, 2, 9, 10, 11, 12, 13}) {
        const int keyCount = LayoutKeyCount(layout);
        for (std::uint8_t flags : {std::uint8_t(0), NB}) {
            if (keyCount == 36 && flags != 0) continue;
            for (int a = 0; a < keyCount; ++a)
                for (int b = a + 1; b < keyCount; ++b) ExpectRoundTrip(layout, Keys({a, b}, flags));
        }
    }
}

TEST(RoundTrip, SlashedOutline) {
    const std::string text = "STPH-/*/KWR-/<!7>";
    EXPECT_EQ(FormatOutline(0, ParseOutline(0, text), 1), text);
}

// Garbage from a driver or a hand-edited settings file: never a crash, and the shapes hold.
TEST(Robustness, RandomBytesAndTexts) {
    std::mt19937 rng(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int n = 0; n < 20000; ++n) {
        StrokeRecord record;
        record.layout = std::uint8_t(n % 3 == 0 ? byte(rng) : n % kLayoutCount);
        for (auto& b : record.keys) b = std::uint8_t(byte(rng));
        if (n % 2) {  // sparser strokes too
            record.keys[1] &= std::uint8_t(byte(rng));
            record.keys[2] &= std::uint8_t(byte(rng));
        }
        const std::string compact = FormatStroke(record, kStrokeCompact);
        EXPECT_EQ(compact.find(' '), std::string::npos);
        EXPECT_GE(FormatStroke(record, kStrokeColumns).size(), 22u);
        FormatStroke(record, kStrokeCompactNoStar);
        FormatStroke(record, kStrokeRawColumns);

        std::string text(std::size_t(byte(rng) % 24), '\0');
        for (auto& ch : text) ch = char(byte(rng));
        for (int layout : {int(record.layout), kPlainTextLayout}) {
            const Outline outline = ParseOutline(std::uint8_t(layout), text);
            EXPECT_EQ(outline.size() % kStrokeSize, 0u);
            FormatOutline(std::uint8_t(layout), outline, n % 2);
        }
        const std::string fragment = text.substr(0, text.size() % 13);
        FormatOutline(record.layout, fragment, 1);
    }
}
