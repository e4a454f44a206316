// The Gemini framer and packet decoder: good packets in each layout family, then good
// packets damaged one way each.
#include <gtest/gtest.h>

#include <string>

#include "core/Stroke.h"
#include "tests/sim/GeminiWire.h"
#include "tests/writers/FramedStrokes.h"
#include "writers/GeminiProtocol.h"

namespace {

using simwire::GeminiPacket;

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out.push_back(char(v));
    return out;
}

Stroke Keys(std::initializer_list<int> values) {
    Stroke keys{};
    std::size_t i = 0;
    for (int v : values) keys[i++] = std::uint8_t(v);
    return keys;
}

Stroke Parsed(int layout, const std::string& text) {
    const Outline outline = ParseOutline(std::uint8_t(layout), text);
    Stroke keys{};
    for (std::size_t i = 0; i < keys.size(); ++i) keys[i] = std::uint8_t(outline[i]);
    return keys;
}

struct DecodeRow {
    const char* name;
    std::string packet;
    int layout;
    Stroke expected;
};

TEST(GeminiDecode, PacketsInEachLayoutFamily) {
    const DecodeRow rows[] = {
        {"English key 0", Bytes({0x80, 0x40, 0, 0, 0, 0}), 0, Keys({0x20})},
        {"English number bar alone", Bytes({0xA0, 0, 0, 0, 0, 0}), 0, Keys({0x40})},
        {"English Fn is the command bit", GeminiPacket("Fn"), 0, Keys({0x80})},
        {"English every number key is the bar", GeminiPacket("#1 #2 #3 #4 #5 #6 #7 #8 #9 #A #B #C"),
         0, Keys({0x40})},
        {"English all four asterisks", GeminiPacket("*1 *2 *3 *4"), 0, Parsed(0, "*")},
        {"English both S keys", GeminiPacket("S1- S2-"), 0, Parsed(0, "S")},
        {"English every steno key",
         GeminiPacket("S1- T- K- P- W- H- R- A- O- *1 -E -U -F -R -P -B -L -G -T -S -D -Z"), 0,
         Parsed(0, "STKPWHRAO*EUFRPBLGTSDZ")},
        {"English right bank", GeminiPacket("-F -R -P -B -L -G -T -S -D -Z"), 0,
         Parsed(0, "-FRPBLGTSDZ")},
        {"English spare bits set nothing", GeminiPacket("res1 res2 pwr"), 0, Keys({})},
        {"Ext. English key 0", Bytes({0x80, 0x40, 0, 0, 0, 0}), 9, Keys({0x04})},
        {"Ext. English Fn is the caret", GeminiPacket("Fn"), 9, Parsed(9, "^")},
        {"Ext. English number keys are keys", GeminiPacket("#2 #3 #4 #5 #6 #7 #8 #9 #A #B #C"), 9,
         Parsed(9, "1234567890")},
        {"Ext. English first number key is the bar", GeminiPacket("#1"), 9, Keys({0x40})},
        {"Ext. English left asterisks are the tilde", GeminiPacket("*1 *3"), 9, Parsed(9, "~")},
        {"Ext. English steno keys",
         GeminiPacket("S1- T- K- P- W- H- R- A- O- *2 -E -U -F -R -P -B -L -G -T -S -D -Z"), 9,
         Parsed(9, "STKPWHRAO*EUFRPBLGTSDZ")},
        {"Ext. Spanish (36 keys) uses the extended packing", GeminiPacket("S1- -Z"), 13,
         Parsed(13, "SZ")},
        {"Spanish (22 keys) uses the steno packing", GeminiPacket("S1- P- -Z"), 12, Parsed(12, "SPZ")},
        {"Palantype (30 keys) uses the steno packing", Bytes({0x80, 0x40, 0, 0, 0, 0x01}), 7,
         Keys({0x20, 0, 0x01})},
        {"Palantype (std) likewise", GeminiPacket("S1- -Z"), 8, Keys({0x20, 0, 0x01})},
    };
    for (const DecodeRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(gemini::DecodePacket(row.packet, row.layout), row.expected);
    }
}

TEST(GeminiDecode, SpanishSKeyShowsAsS) {
    StrokeRecord record;
    record.layout = 12;
    record.keys = gemini::DecodePacket(GeminiPacket("S1-"), 12);
    EXPECT_EQ(FormatStroke(record, kStrokeCompact), "S-");
}

struct FrameRow {
    const char* name;
    std::string bytes;
    FrameStep expected;
};

TEST(GeminiFrame, GoodAndDamagedPackets) {
    const std::string good = GeminiPacket("S1- -E -Z");
    std::string lostByte = good;
    lostByte.erase(3, 1);
    const FrameRow rows[] = {
        {"empty", "", FrameStep::More()},
        {"a whole packet", good, FrameStep::Take(6)},
        {"a packet and the next one's start", good + GeminiPacket("T-").substr(0, 2),
         FrameStep::Take(6)},
        {"first five bytes", good.substr(0, 5), FrameStep::More()},
        {"start byte alone", good.substr(0, 1), FrameStep::More()},
        {"no start bit on the first byte", good.substr(1), FrameStep::SkipBytes(1)},
        {"a zero byte before the packet", Bytes({0}) + good, FrameStep::SkipBytes(1)},
        {"a start byte inside the packet", good.substr(0, 3) + good, FrameStep::SkipBytes(3)},
        {"a lost byte, then the next packet", lostByte + good, FrameStep::SkipBytes(5)},
        {"a start byte as the last byte", good.substr(0, 5) + char(0x80), FrameStep::SkipBytes(5)},
    };
    for (const FrameRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(gemini::FramePacket(row.bytes), row.expected);
    }
}

// Runs the framer over a stream the way the driver does and decodes every packet it finds.
// The same however reads split the stream.
std::vector<Stroke> DecodeStream(const std::string& stream, int layout) {
    std::vector<Stroke> strokes;
    for (const std::string& packet : SplitInvariantFrames(stream, gemini::FramePacket))
        strokes.push_back(gemini::DecodePacket(packet, layout));
    return strokes;
}

TEST(GeminiFrame, DamageCostsOnlyTheDamagedStroke) {
    const std::string a = GeminiPacket("S1- -E"), b = GeminiPacket("K- -Z"), c = GeminiPacket("#1 O-");
    const Stroke sa = gemini::DecodePacket(a, 0), sb = gemini::DecodePacket(b, 0),
                 sc = gemini::DecodePacket(c, 0);
    std::string bLostLast = b.substr(0, 5), bLostStart = b.substr(1);
    std::string bNoisy = b;
    bNoisy[2] = char(0xFF);  // a byte with the start bit inside the packet
    const struct {
        const char* name;
        std::string stream;
        std::vector<Stroke> expected;
    } rows[] = {
        {"three good packets", a + b + c, {sa, sb, sc}},
        {"garbage between packets", a + Bytes({0x01, 0x7F, 0x00}) + b + c, {sa, sb, sc}},
        {"middle packet lost its last byte", a + bLostLast + c, {sa, sc}},
        {"middle packet lost its start byte", a + bLostStart + c, {sa, sc}},
        {"a start-bit byte inside the middle packet", a + bNoisy + c, {sa, sc}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(DecodeStream(row.stream, 0), row.expected);
    }
}

}  // namespace
