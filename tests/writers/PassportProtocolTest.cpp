// The Passport line protocol: packets out of the received text, key records out of packets.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/Stroke.h"
#include "tests/sim/PassportWire.h"
#include "tests/writers/FramedStrokes.h"
#include "writers/PassportProtocol.h"

namespace {

using Packets = std::vector<std::pair<int, std::string>>;

Packets TakeAll(std::string& line) {
    Packets out;
    while (auto packet = passport::TakePacket(line)) out.emplace_back(packet->number, packet->keyText);
    return out;
}

TEST(PassportPackets, GoodAndDamagedLines) {
    const struct {
        const char* name;
        std::string line;
        Packets expected;
        std::string left;
    } rows[] = {
        {"one packet", "<12/S8T0Ka*f>", {{12, "/S8T0Ka*f"}}, ""},
        {"two packets", "<1/S8><2/T9>", {{1, "/S8"}, {2, "/T9"}}, ""},
        {"a packet still arriving", "<1/S8><2/T", {{1, "/S8"}}, "<2/T"},
        {"text before a packet start waits", "ab<3/S8", {}, "ab<3/S8"},
        {"text before a packet goes with it", "ab<3/S8>", {{3, "/S8"}}, ""},
        {"a second slash ends the key text", "<7/S8/K8>", {{7, "/S8"}}, ""},
        {"the key text ends at its packet's end", "<7/S8><8/T8/K8>", {{7, "/S8"}, {8, "/T8"}}, ""},
        {"no slash: the key text is the whole packet", "<9S8>", {{9, "9S8"}}, ""},
        {"leading blanks before the number", "< 12/S8>", {{12, "/S8"}}, ""},
        {"leading zeros", "<007/S8>", {{7, "/S8"}}, ""},
        {"largest number", "<999999999/S8>", {{999999999, "/S8"}}, ""},
        // Damaged: each loses only its own packet.
        {"a '>' before the first '<'", "S8><4/K8>", {{4, "/K8"}}, ""},
        {"a lone '>'", ">", {}, ""},
        {"a packet that lost its '>'", "<5/S8<6/T8>", {{6, "/T8"}}, ""},
        {"a packet that lost its '<'", "5/S8><6/T8>", {{6, "/T8"}}, ""},
        {"no number", "</S8><3/T8>", {{3, "/T8"}}, ""},
        {"a negative number", "<-1/S8><3/T8>", {{3, "/T8"}}, ""},
        {"a number past the largest", "<1000000000/S8><4/K8>", {{4, "/K8"}}, ""},
        {"a number of twenty digits", "<99999999999999999999/S8><4/K8>", {{4, "/K8"}}, ""},
        {"empty packet", "<><4/K8>", {{4, "/K8"}}, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string line = row.line;
        EXPECT_EQ(TakeAll(line), row.expected);
        EXPECT_EQ(line, row.left);
    }
}

TEST(PassportPackets, ReceivedBytesAreFilteredAndCapped) {
    std::string line;
    passport::AppendReceived(line, std::string("<1\x00/\x1fS\x80" "8\xff>", 10));
    EXPECT_EQ(line, "<1/S8>");
    line.clear();
    passport::AppendReceived(line, "\x7f ~");
    EXPECT_EQ(line, "\x7f ~");

    // A writer that never sends ">" cannot grow the buffer past the cap, and the newest
    // packet start survives the trim.
    line.clear();
    for (int i = 0; i < 100; ++i) passport::AppendReceived(line, std::string(100, 'x'));
    EXPECT_LE(line.size(), passport::kLineBufferCap);
    passport::AppendReceived(line, "<7/S8");
    for (int i = 0; i < 100; ++i) passport::AppendReceived(line, std::string(100, 'y'));
    EXPECT_LE(line.size(), passport::kLineBufferCap);
    line.clear();
    passport::AppendReceived(line, std::string(5000, 'z') + "<7/S8");
    EXPECT_EQ(line, "<7/S8");
    passport::AppendReceived(line, ">");
    EXPECT_EQ(TakeAll(line), (Packets{{7, "/S8"}}));
}

// Packets taken from bytes as reads deliver them, a fresh line each time.
Packets TakeFromPieces(const std::vector<std::string>& pieces) {
    Packets out;
    std::string line;
    for (const std::string& piece : pieces)
        passport::TakeReceived(line, piece, [&](const passport::Packet& p) { out.emplace_back(p.number, p.keyText); });
    return out;
}

TEST(PassportPackets, TheSamePacketsHoweverTheBytesAreSplit) {
    const std::string filler(passport::kLineBufferCap + 100, 'x');
    const std::string longKeys(passport::kLineBufferCap, 'S');
    const struct {
        const char* name;
        std::string stream;
        Packets expected;
    } rows[] = {
        {"two packets", "<1/S8><2/T9>", {{1, "/S8"}, {2, "/T9"}}},
        {"noise and a packet that lost its end", "ab<5/S8<6/T8>\x01z>", {{6, "/T8"}}},
        // More text than the cap after a whole packet: the packet is kept.
        {"a packet, then text past the cap", "<1/S8>" + filler + "<2/T8>", {{1, "/S8"}, {2, "/T8"}}},
        // A packet longer than the cap is dropped, the next one kept.
        {"a packet longer than the cap", "<3/" + longKeys + "><4/K8>", {{4, "/K8"}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        for (const std::vector<std::string>& pieces : SplitWays(row.stream)) {
            EXPECT_EQ(TakeFromPieces(pieces), row.expected) << pieces.size() << " pieces";
        }
    }
}

Stroke Keys(std::initializer_list<int> values) {
    Stroke keys{};
    std::size_t i = 0;
    for (int v : values) keys[i++] = std::uint8_t(v);
    return keys;
}

TEST(PassportKeys, KeyTextToStroke) {
    const struct {
        const char* name;
        std::string keyText;
        Stroke expected;
    } rows[] = {
        {"S, K and * pressed, T not", "/S8T0Ka*f", Keys({0x28, 0x10})},
        {"S and C are one key", "/C8", Keys({0x20})},
        {"* and ~ are one key", "/~9", Keys({0, 0x10})},
        {"command and number bar", "/!8#8", Keys({0xC0})},
        {"caret and plus", "/^8+8", Keys({0, 0, 0, 0xC0})},
        {"left bank", "/T8K8P8W8H8R8", Keys({0x1F, 0x80})},
        {"vowels and E U F Q", "/A8O8E8U8F8Q8", Keys({0, 0x6F})},
        {"right bank", "/N8B8L8G8Y8X8D8Z8", Keys({0, 0, 0xFF})},
        {"7 is not pressed, 8 to f are", "/S7T8Kf", Keys({0x18})},
        {"only the first occurrence counts", "/S0S8", Keys({})},
        // A letter without a digit after it is not pressed and leaves its neighbours alone.
        {"letter at the end", "/S8T", Keys({0x20})},
        {"letter before a non-digit", "/Tz", Keys({})},
        {"letter before an upper-case digit", "/S8TA", Keys({0x20})},
        {"letter before a blank", "/K P8", Keys({0x04})},
        {"lower-case letters name no key", "/s8t8", Keys({})},
        {"no keys", "/", Keys({})},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string record = passport::BuildKeyRecord(row.keyText);
        ASSERT_EQ(record.size(), passport::kRecordSize);
        EXPECT_EQ(passport::DecodeKeyRecord(record), row.expected);
    }
}

TEST(PassportKeys, RecordLayout) {
    const std::string record = passport::BuildKeyRecord("/S8T0Ka*f");
    std::string expected(14, ' ');
    expected[2] = char(0xA0);  // S (even: high half) 8; C (odd: low half) absent
    expected[3] = char(0x2A);  // T 0; K a
    expected[7] = char(0xF0);  // * f
    expected += std::string(10, '\0');
    EXPECT_EQ(record, expected);
    // A short record counts its missing key values as 0.
    EXPECT_EQ(passport::DecodeKeyRecord(record.substr(0, 3)), Keys({0x20}));
    EXPECT_EQ(passport::DecodeKeyRecord(""), Keys({}));
}

TEST(PassportKeys, SimulatorPacketsDecodeToTheirKeys) {
    for (int n = 0; n < 16; ++n) {
        std::string line = simwire::PassportPacket(n, "SKA*", "TEL");
        const auto packet = passport::TakePacket(line);
        ASSERT_TRUE(packet);
        EXPECT_EQ(packet->number, n);
        EXPECT_EQ(passport::DecodeKeyRecord(passport::BuildKeyRecord(packet->keyText)),
                  Keys({0x28, 0x50})) << n;
    }
}

TEST(PassportWire, RequestAndTimes) {
    EXPECT_EQ(passport::ResendRequest(57, 100), "<s57/100>");
    EXPECT_EQ(passport::ResendRequest(0, 100), "<s0/100>");

    // 2009-03-07 13:45:12.500 UTC.
    const std::uint64_t fileTime = 128809071125000000ull;
    EXPECT_EQ(passport::FileTimeToTimeCode(fileTime), (TimeCode{13, 45, 12, 15}));
    std::string record(16, '\0');
    for (int b = 0; b < 8; ++b) record.push_back(char(fileTime >> (8 * b)));
    EXPECT_EQ(passport::RecordFileTime(record), fileTime);
    EXPECT_EQ(passport::RecordFileTime(record.substr(0, 20)), fileTime & 0xFFFFFFFFull);
}

}  // namespace
