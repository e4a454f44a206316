// The Foniks formats: realtime packets and notes lines.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/writers/FramedStrokes.h"
#include "tests/writers/StrokeBytes.h"
#include "writers/FnProtocol.h"
#include "writers/StenoTextStroke.h"

namespace {

using namespace strokebytes;

struct Framed {
    std::vector<Stroke> strokes;
    std::string left;
    std::size_t largestBuffer = 0;
};

// Frames each chunk as it arrives, the way the driver's poll does.
Framed Frame(const std::vector<std::string>& chunks, std::uint8_t layout = 0) {
    Framed out;
    std::string buffer;
    for (const std::string& chunk : chunks) {
        buffer += chunk;
        DrainFrames(buffer, FindFnFrame, [&](std::string_view packet) {
            if (std::optional<Stroke> stroke = StrokeFromText(layout, FnPacketText(packet)))
                out.strokes.push_back(*stroke);
        });
        out.largestBuffer = std::max(out.largestBuffer, buffer.size());
    }
    out.left = buffer;
    return out;
}

struct PacketCase {
    const char* name;
    std::vector<std::string> chunks;
    std::vector<Stroke> expected;
    friend void PrintTo(const PacketCase& c, std::ostream* os) { *os << c.name; }
};

class FnPacketTable : public testing::TestWithParam<PacketCase> {};

TEST_P(FnPacketTable, QueuesThePacketStrokes) {
    const Framed framed = Frame(GetParam().chunks);
    EXPECT_EQ(framed.strokes, GetParam().expected);
    EXPECT_LE(framed.largestBuffer, kFnMaxPacket);
    // The same bytes give the same strokes however reads split them.
    std::string stream;
    for (const std::string& chunk : GetParam().chunks) stream += chunk;
    for (const std::vector<std::string>& pieces : SplitWays(stream))
        EXPECT_EQ(Frame(pieces).strokes, GetParam().expected) << DescribeSplit(pieces);
}

const std::string kOpenNoise = "{X" + std::string(kFnMaxPacket, 'S');

INSTANTIATE_TEST_SUITE_P(
    Packets, FnPacketTable,
    testing::Values(
        PacketCase{"Plain", {"{XSTKPW}"}, {kSTKPW}},
        PacketCase{"SplitAcrossReads", {"abc{XSTK", "PW}"}, {kSTKPW}},
        PacketCase{"TwoInOneRead", {"{XSTKPW}{XKWR}"}, {kSTKPW, kKWR}},
        PacketCase{"RightSideKey", {"{\x01-T}"}, {kRightT}},
        PacketCase{"OneByteAtATime", {"{", "X", "S", "T", "K", "}"}, {kSTK}},
        // The passed-over byte may be any value, a brace included.
        PacketCase{"ClosingBraceAsSkippedByte", {"{}STKPW}"}, {kSTKPW}},
        PacketCase{"OpeningBraceAsSkippedByte", {"{{STKPW}"}, {kSTKPW}},
        PacketCase{"LeadingBlank", {"{X STPH}"}, {kSTPH}},
        // Damaged: each a good stream spoilt one way; none queues a wrong stroke.
        PacketCase{"EmptyText", {"{X}"}, {}},
        PacketCase{"EmptyTextThenGood", {"{X}{XKWR}"}, {kKWR}},
        PacketCase{"StrayCloseFirst", {"}{XSTK}"}, {kSTK}},
        PacketCase{"LostOpen", {"XSTK}{XKWR}"}, {kKWR}},
        PacketCase{"LostClose", {"{XSTK{XKWR}"}, {kKWR}},
        PacketCase{"NoKeyLetters", {"{Xxyz}"}, {}},
        PacketCase{"BinaryNoiseBetween", {std::string("{XSTK}\x00\xff\x7f\x1b", 10), "{XKWR}"},
                   {kSTK, kKWR}},
        PacketCase{"OverlongOpenPacket", {kOpenNoise, "}{XKWR}"}, {kKWR}},
        PacketCase{"OverlongPacketInOneRead", {kOpenNoise + "}{XKWR}"}, {kKWR}},
        PacketCase{"LongestPacket", {"{X" + std::string(kFnMaxPacket - 8, ' ') + "STKPW}"}, {kSTKPW}},
        PacketCase{"LongestPacketTaken", {"{XS" + std::string(kFnMaxPacket - 4, ' ') + "}"}, {Keys({0})}}),
    [](const testing::TestParamInfo<PacketCase>& info) { return std::string(info.param.name); });

// The stroke of a packet FindFnFrame took, as a driver queues it (empty when it has no key).
Stroke FnStroke(std::string_view packet) {
    return StrokeFromText(0, FnPacketText(packet)).value_or(Stroke{});
}

// A packet whose line falls silent inside it is dropped: a "{" after the pause starts a packet
// of its own, never the passed-over byte of the dropped one. The bytes of a packet at any line
// speed, even held up by an adapter, stay one packet; no cut packet joins the next stroke.
TEST(FnPacket, APauseInsideAPacketNeverJoinsTwoStrokes) {
    const FramedReader reader(FindFnFrame, 100, kFnPacketGapMs, FramedReader::FrameTime::BetweenBytes);
    const struct {
        const char* name;
        std::vector<TimedRun> runs;
        std::vector<Stroke> strokes;
    } rows[] = {
        {"a \"{\", 300 ms, then a packet", {{0, "{"}, {300, "{SKW}"}}, {Keys({2, 4})}},
        {"a \"{\" cut off, the next stroke at the fastest pace", {{0, "{"}, {kFastestStrokeGapMs, "{SKW}"}},
         {Keys({2, 4})}},
        {"a packet cut inside its text", {{0, "{XST"}, {kFastestStrokeGapMs, "{XKWR}"}}, {kKWR}},
        {"strokes at the fastest pace", {{0, "{XSTKPW}"}, {kFastestStrokeGapMs, "{XKWR}"}}, {kSTKPW, kKWR}},
        // A long packet takes long, but its bytes never stop for long.
        {"a packet at 1200 baud",
         {{0, "{"}, {8, "X"}, {8, "S"}, {8, "T"}, {8, "K"}, {8, "P"}, {8, "W"}, {8, "}"}}, {kSTKPW}},
        {"a packet held in two parts by an adapter", {{0, "{XST"}, {20, "KPW}"}}, {kSTKPW}},
    };
    for (const auto& row : rows) {
        std::vector<std::string> expected;
        for (const Stroke& keys : row.strokes) expected.push_back(ToHex(strokebytes::Record(keys)));
        EXPECT_EQ(TimedStrokes(reader, row.runs, FnStroke), expected) << row.name;
    }
}

TEST(FnPacket, UnfinishedPacketWaitsAndNoiseIsDropped) {
    const Framed framed = Frame({"noise{XST"});
    EXPECT_TRUE(framed.strokes.empty());
    EXPECT_EQ(framed.left, "{XST");
}

TEST(FnPacket, KeysBeyondTheThirdByteArriveInWideLayouts) {
    EXPECT_EQ(Frame({"{XZ}"}, 9).strokes, std::vector<Stroke>{Keys({35})});
}

struct NotesCase {
    const char* name;
    std::string text;
    std::string expected;
    friend void PrintTo(const NotesCase& c, std::ostream* os) { *os << c.name; }
};

class FnNotesTable : public testing::TestWithParam<NotesCase> {};

TEST_P(FnNotesTable, WritesTheRecords) { EXPECT_EQ(FnNotesRecords(GetParam().text), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Notes, FnNotesTable,
    testing::Values(
        // The closing brace adds no key; "/" separates strokes like a blank.
        NotesCase{"SlashInsideBraces", "{STKPW/KWR}\n", Record(kSTKPW) + Record(kKWR)},
        NotesCase{"TwoBracedParts", "{STK} and {KWR}\n", Record(kSTK) + Record(kKWR)},
        NotesCase{"SeveralLines", "{STK}\r\n{KWR}\r\n", Record(kSTK) + Record(kKWR)},
        NotesCase{"LastLineWithoutEnd", "{STK}\n{KWR}", Record(kSTK) + Record(kKWR)},
        NotesCase{"TextOutsideBracesIgnored", "STPH {KWR} STPH\n", Record(kKWR)},
        NotesCase{"StrayCloseFirst", "} {STK}\n", Record(kSTK)},
        NotesCase{"UnclosedPart", "{STK\n", ""},
        NotesCase{"EmptyPart", "{}\n", ""},
        NotesCase{"NoKeyLetters", "{X}\n", ""},
        NotesCase{"LeadingBlank", "{ STK}\n", Record(kSTK)},
        NotesCase{"BraceSplitOverLines", "{STK\n}\n", ""}),
    [](const testing::TestParamInfo<NotesCase>& info) { return std::string(info.param.name); });

TEST(FnNotesReader, PiecesOfAnySizeGiveTheSameRecords) {
    const std::string text = "{STKPW/KWR}\r\nx {STK} y {STPH}\n} {KWR}\n{STK";
    const std::string whole = FnNotesRecords(text);
    ASSERT_EQ(whole, Record(kSTKPW) + Record(kKWR) + Record(kSTK) + Record(kSTPH) + Record(kKWR));
    FnNotesReader reader;
    std::string pieces;
    for (char ch : text) pieces += reader.Feed(std::string_view(&ch, 1));
    pieces += reader.Finish();
    EXPECT_EQ(pieces, whole);
}

}  // namespace
