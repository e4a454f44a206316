// The TranscriptorX key bytes: each group's bits, the gathering of strokes (rising groups,
// the end byte, the separator bytes) and the silence that completes a stroke.
#include <gtest/gtest.h>

#include <vector>

#include "tests/support/HexBytes.h"
#include "writers/TxProtocol.h"

namespace {

std::string KeysHex(const tx::Keys& k) { return ToHex(std::string(k.begin(), k.end())); }

TEST(TxKeyBytes, EachGroupsBits) {
    struct Row {
        std::uint8_t byte;
        const char* keys;
    };
    const Row rows[] = {
        {0x01, "20 00 00"}, {0x20, "01 00 00"}, {0x3F, "3F 00 00"},               // S .. H
        {0x41, "00 80 00"}, {0x60, "00 04 00"},                                   // R .. U
        {0x81, "00 02 00"}, {0x82, "00 01 00"}, {0x84, "00 00 80"}, {0xA0, "00 00 10"},  // -F -R -P .. -G
        {0xC1, "00 00 08"}, {0xC8, "00 00 01"}, {0xD0, "40 00 00"},               // -T .. -Z, number bar
        {0xE0, "00 00 00"}, {0xC0, "00 00 00"},                                   // bit 5 and no key
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(int(row.byte));
        tx::Keys keys{};
        tx::AddKeyBits(row.byte, keys);
        EXPECT_EQ(KeysHex(keys), row.keys);
    }
}

struct StreamRow {
    const char* name;
    const char* bytes;
    std::vector<std::string> strokes;  // completed by the bytes
    const char* pending;               // left gathering
};

TEST(TxGatherer, Streams) {
    const StreamRow rows[] = {
        {"one stroke of four groups, then nothing ends it", "05 4A 93 D1", {}, "68 53 28"},
        {"the end byte", "05 4A 93 D1 00", {"68 53 28"}, "00 00 00"},
        {"two group-0 bytes are two strokes", "01 02 00", {"20 00 00", "10 00 00"}, "00 00 00"},
        {"a rising group joins the stroke", "01 41", {}, "20 80 00"},
        {"a lower group begins the next", "41 01 00", {"00 80 00", "20 00 00"}, "00 00 00"},
        {"the end byte with nothing pending", "00 00", {}, "00 00 00"},
        {"0xC0 alone queues nothing", "C0", {}, "00 00 00"},
        {"0xC0 then a lower group: nothing to hand on", "C0 01 00", {"20 00 00"}, "00 00 00"},
        {"0x40 while keys are pending", "05 40", {"28 00 00", "C0 00 00"}, "00 00 00"},
        {"0x80 with nothing ever pending", "80", {"C0 00 00"}, "00 00 00"},
        {"0xE0 adds no key", "E0 00", {}, "00 00 00"},
    };
    for (const StreamRow& row : rows) {
        SCOPED_TRACE(row.name);
        tx::StrokeGatherer gatherer;
        std::vector<tx::Keys> done;
        for (const char c : Hex(row.bytes)) gatherer.Take(std::uint8_t(c), done);
        std::vector<std::string> got;
        for (const tx::Keys& k : done) got.push_back(KeysHex(k));
        EXPECT_EQ(got, row.strokes);
        EXPECT_EQ(KeysHex(gatherer.Pending()), row.pending);
    }
}

TEST(TxGatherer, TheLastByteOutlivesAFlush) {
    tx::StrokeGatherer gatherer;
    std::vector<tx::Keys> done;
    gatherer.Take(0x41, done);
    gatherer.Flush(done);  // the silence
    EXPECT_EQ(gatherer.LastByte(), 0x41);
    gatherer.Take(0x81, done);  // a rising group after the silence starts the next stroke alone
    gatherer.Flush(done);
    ASSERT_EQ(done.size(), 2u);
    EXPECT_EQ(KeysHex(done[1]), "00 02 00");
}

TEST(TxSilence, StrictlyMoreThanFiveHundredMs) {
    EXPECT_FALSE(tx::SilenceEnds(1000, 1500));
    EXPECT_TRUE(tx::SilenceEnds(1000, 1501));
    EXPECT_FALSE(tx::SilenceEnds(86'399'900, 86'400'300));  // a monotonic clock has no midnight
}

}  // namespace
