// The Grandjean letter stream: which byte names which key.
#include <gtest/gtest.h>

#include <string>

#include "core/Stroke.h"
#include "writers/GrandjeanProtocol.h"

namespace {

Stroke WithKeys(std::initializer_list<int> positions) {
    Stroke keys{};
    for (int p : positions) keys[KeyPositionBit(p).byteIndex] |= KeyPositionBit(p).mask;
    return keys;
}

TEST(GrandjeanKeys, ByteToKey) {
    const struct {
        const char* name;
        int byte;
        int key;
    } rows[] = {
        {"A is key 0", 'A', 0},       {"V is key 21", 'V', 21},    {"S is key 18", 'S', 18},
        {"lower case a", 'a', 0},     {"lower case v", 'v', 21},   {"W names no key", 'W', -1},
        {"Z names no key", 'Z', -1},  {"z names no key", 'z', -1}, {"` names no key", '`', -1},
        // Below "A" the place wraps round modulo 32 instead of going negative.
        {"! wraps to key 0", '!', 0}, {"@ wraps to 31", '@', -1},  {"0 wraps to key 15", '0', 15},
        {"5 wraps to key 20", '5', 20},
        {"the blank ends a stroke", ' ', -1},
        {"NUL is noise", 0x00, -1},   {"CR is noise", 0x0D, -1},   {"0x01 is noise", 0x01, -1},
        {"DEL is noise", 0x7F, -1},   {"0x81 is noise", 0x81, -1}, {"0xC1 is noise", 0xC1, -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(grandjean::KeyOfByte(std::uint8_t(row.byte)), row.key);
    }
}

TEST(GrandjeanKeys, LettersToStroke) {
    const struct {
        const char* name;
        std::string letters;
        Stroke expected;
    } rows[] = {
        {"S and T", "ST", WithKeys({18, 19})},
        {"same in lower case", "st", WithKeys({18, 19})},
        {"no letters", "", Stroke{}},
        {"every key", "ABCDEFGHIJKLMNOPQRSTUV", Stroke{0x3F, 0xFF, 0xFF, 0, 0, 0}},
        {"a repeated letter", "SSS", WithKeys({18})},
        {"noise between letters", std::string("S\x01\x9FT", 4), WithKeys({18, 19})},
        {"letters past V add nothing", "SWXYZ", WithKeys({18})},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(grandjean::DecodeLetters(row.letters), row.expected);
    }
}

TEST(GrandjeanKeys, NumberBarIsNeverSet) {
    for (int byte = 0; byte < 256; ++byte) {
        grandjean::KeySet keys;
        keys.Add(std::uint8_t(byte));
        EXPECT_EQ(keys.ToStroke()[0] & (kCommandFlag | kNumberBarFlag), 0) << byte;
    }
}

}  // namespace
