// The Palantype protocol without a port: the bit mirror, the key packet (its wire bits checked
// against a simulator built from the key table, and its framing however the bytes are split)
// and the text records of the stored notes in both Palantype layouts.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/AppSettings.h"
#include "tests/fakes/FakeOwnerWindow.h"
#include "tests/sim/PtSimulator.h"
#include "tests/support/HexBytes.h"
#include "tests/writers/FramedStrokes.h"
#include "tests/writers/StrokeBytes.h"
#include "writers/CWriterPT.h"
#include "writers/PtProtocol.h"

namespace {

using strokebytes::Keys;

std::string Hex4(const Stroke& s) { return ToHex(std::string(reinterpret_cast<const char*>(s.data()), 4)); }

TEST(ReverseStrokeBits, MirrorsAllEightBits) {
    const struct {
        std::uint8_t in, out;
    } rows[] = {{0x01, 0x80}, {0x80, 0x01}, {0xA0, 0x05}, {0x0F, 0xF0}, {0x00, 0x00}, {0xFF, 0xFF}, {0x12, 0x48}};
    for (const auto& row : rows) EXPECT_EQ(ReverseStrokeBits(row.in), row.out) << int(row.in);
    for (int b = 0; b < 256; ++b) {
        EXPECT_EQ(ReverseStrokeBits(ReverseStrokeBits(std::uint8_t(b))), b);
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ((ReverseStrokeBits(std::uint8_t(b)) >> i) & 1, (b >> (7 - i)) & 1) << b << " bit " << i;
    }
}

TEST(PtPacket, KnownPackets) {
    const struct {
        const char* name;
        const char* packet;
        const char* stroke;
    } rows[] = {
        {"key 0 alone", "FD FF FF FF", "20 00 00 00"},
        {"key 7 alone", "FF FE FF FF", "00 40 00 00"},
        {"key 6 alone", "7F FF FF FF", "00 80 00 00"},
        {"key 5 on bit 5", "DF FF FF FF", "01 00 00 00"},
        {"key 5 on bit 6", "BF FF FF FF", "01 00 00 00"},
        {"key 17 on either bit", "FF FF F3 FF", "00 00 10 00"},
        {"unused bit only: an empty stroke", "FF FF FF 7F", "00 00 00 00"},
        {"nothing down", "FF FF FF FF", "00 00 00 00"},
        {"every bit down", "00 00 00 00", "3F FF FF FE"},
    };
    for (const auto& row : rows) EXPECT_EQ(Hex4(pt::PacketStroke(Hex(row.packet))), row.stroke) << row.name;
}

// Each key on its own, and all at once, through the writer's key table: no key lands on
// another's bit, and key 29 is never set.
TEST(PtPacket, EveryKeyOfTheTableLandsOnItsPosition) {
    for (int key = 0; key <= 28; ++key) {
        const Stroke expected = Keys({key});
        EXPECT_EQ(pt::PacketStroke(sim::PtSimulator::Packet({key})), expected) << "key " << key;
        EXPECT_EQ(pt::PacketStroke(sim::PtSimulator::Packet({key}, true)), expected) << "key " << key;
    }
    EXPECT_EQ(pt::PacketStroke(sim::PtSimulator::Packet({0, 3, 9, 17, 27, 28})), Keys({0, 3, 9, 17, 27, 28}));
}

// The same packet reads as each Palantype layout's letters.
TEST(PtPacket, ReadsInBothPalantypeLayouts) {
    const struct {
        int layout;
        std::initializer_list<int> keys;
        const char* text;
    } rows[] = {
        {7, {1, 4}, "CH-"},
        {8, {1, 4}, "KD-"},
        {7, {0, 13, 25}, "SET"},
        {8, {0, 13, 26}, "SED"},
    };
    for (const auto& row : rows) {
        StrokeRecord record;
        record.layout = std::uint8_t(row.layout);
        record.keys = pt::PacketStroke(sim::PtSimulator::Packet(row.keys));
        EXPECT_EQ(FormatStroke(record, kStrokeCompact), row.text) << row.layout << " " << row.text;
    }
}

TEST(PtPacket, StreamsGiveTheSameStrokesHoweverTheyAreRead) {
    const StreamRow rows[] = {
        {"two packets", "FD FF FF FF FF FE FF FF", {"20 00 00 00", "00 40 00 00"}},
        {"idle bytes between packets", "00 FD FF FF FF 0F 0F FF FE FF FF", {"20 00 00 00", "00 40 00 00"}},
        {"a low byte after two packet bytes drops them", "FD FF 05 FF FE FF FF", {"00 40 00 00"}},
        {"a low byte as the fourth byte drops the packet", "FD FF FF 0F 7F FF FF FF", {"00 80 00 00"}},
        {"0x10 is a packet byte", "10 FF FF FF", {"3D 80 00 00"}},
        {"garbage below 0x10 alone", "00 01 02 0F", {}},
        {"a cut packet at the end stays open", "FD FF FF FF 7F FF", {"20 00 00 00"}},
    };
    for (const StreamRow& row : rows) {
        const auto splits = ReadSplits(Hex(row.line));
        for (std::size_t i = 0; i < splits.size(); ++i)
            EXPECT_EQ(FramedStrokesInReads(splits[i], pt::FramePacket, pt::PacketStroke, 4), row.strokes)
                << row.name << ", split " << i;
    }
}

// A packet held up inside gives its stroke once its rest comes (within a second); a packet cut
// off is dropped, its rest never joined to the next stroke, and every later packet reads
// right. No stroke cut short, even at the fastest writing, joins the next one.
TEST(PtPacket, APauseInsideAPacketNeverJoinsTwoStrokes) {
    const FramedReader reader(pt::FramePacket, 200, pt::kPacketTimeoutMs, FramedReader::FrameTime::FromFirstByte,
                              pt::kPacketResumeMs);
    const std::string key0 = Hex("FD FF FF FF");
    const TimedRow rows[] = {
        {"a pause of 700 ms after two bytes",
         {{0, key0}, {kFastestStrokeGapMs, Hex("FD FF")}, {700, Hex("FF FF")}, {kFastestStrokeGapMs, key0},
          {kFastestStrokeGapMs, key0}},
         {"20 00 00 00", "20 00 00 00", "20 00 00 00", "20 00 00 00"}},
        {"the same, the rest and the next strokes in one burst",
         {{0, key0}, {kFastestStrokeGapMs, Hex("FD FF")}, {700, Hex("FF FF") + key0 + key0}},
         {"20 00 00 00", "20 00 00 00", "20 00 00 00", "20 00 00 00"}},
        {"the writer stops after two bytes, the next stroke at the fastest pace",
         {{0, Hex("FD FF")}, {kFastestStrokeGapMs, Hex("FF FE FF FF")}}, {"00 40 00 00"}},
        {"the writer stops after two bytes, two strokes in one burst later",
         {{0, Hex("FD FF")}, {300, Hex("FF FE FF FF") + key0}}, {"00 40 00 00", "20 00 00 00"}},
        {"the writer stops after three bytes", {{0, Hex("FD FF FF")}, {kFastestStrokeGapMs, key0}}, {"20 00 00 00"}},
        {"the last byte alone after a pause", {{0, Hex("FD FF FF")}, {400, Hex("FF")}, {kFastestStrokeGapMs, key0}},
         {"20 00 00 00", "20 00 00 00"}},
        {"the last byte after more than a second", {{0, Hex("FD FF FF")}, {1500, Hex("FF")}, {kFastestStrokeGapMs, key0}},
         {"20 00 00 00"}},
        {"strokes at the fastest pace",
         {{0, key0}, {kFastestStrokeGapMs, Hex("FF FE FF FF")}, {kFastestStrokeGapMs, key0}},
         {"20 00 00 00", "00 40 00 00", "20 00 00 00"}},
        // What the line and a USB adapter do to a packet's bytes, well inside its time.
        {"a packet at 1200 baud", {{0, Hex("FD")}, {8, Hex("FF")}, {8, Hex("FF")}, {8, Hex("FF")}}, {"20 00 00 00"}},
        {"a packet held in two parts by an adapter", {{0, Hex("FD FF")}, {20, Hex("FF FF")}}, {"20 00 00 00"}},
    };
    for (const auto& row : rows) EXPECT_EQ(TimedStrokes(reader, row.runs, pt::PacketStroke, 4), row.strokes) << row.name;
}

// ---- stored notes -------------------------------------------------------------------------

TEST(PtNotes, ScanFindsRecordsAndTheirEnds) {
    const struct {
        const char* name;
        std::string bytes;
        pt::NotesStep::Kind kind;
        std::size_t length;
        bool number;
        std::string text;
    } rows[] = {
        {"outline record", "\x02ST\x02", pt::NotesStep::Record, 3, false, "ST"},
        {"lead with bit 7", "\x82ST\x08", pt::NotesStep::Record, 3, false, "ST"},
        {"number record", "\x08" "1,000\x02", pt::NotesStep::Record, 6, true, "1,000"},
        {"text bytes keep their low 7 bits", std::string("\x02\xD3\x54\x00", 4), pt::NotesStep::Record, 3,
         false, "ST"},
        {"empty record", std::string("\x02\x00", 2), pt::NotesStep::Record, 1, false, ""},
        {"cut by the end", "\x02ST", pt::NotesStep::Incomplete, 3, false, "ST"},
        {"lead alone", "\x02", pt::NotesStep::Incomplete, 1, false, ""},
        {"not a lead byte", "S\x02", pt::NotesStep::Skip, 1, false, ""},
        {"other low byte", "\x03\x02", pt::NotesStep::Skip, 1, false, ""},
    };
    for (const auto& row : rows) {
        const pt::NotesStep step = pt::ScanNotes(row.bytes);
        EXPECT_EQ(step.kind, row.kind) << row.name;
        EXPECT_EQ(step.length, row.length) << row.name;
        if (row.kind == pt::NotesStep::Skip) continue;
        EXPECT_EQ(step.number, row.number) << row.name;
        EXPECT_EQ(step.text, row.text) << row.name;
    }
    EXPECT_EQ(pt::ScanNotes("").kind, pt::NotesStep::Empty);
}

// The decoder of a writer, fed notes bytes directly, in the settings' layout.
class PtNotesDecoding : public ::testing::Test {
protected:
    void TearDown() override { GetSettings().keyboardLayout = 0; }
    std::vector<std::string> Decode(int layout, const std::string& bytes) {
        GetSettings().keyboardLayout = layout;
        writer->auxBuffer = bytes;
        writer->DecodeBuffer();
        owner.HandleMessages(*writer);
        EXPECT_TRUE(writer->auxBuffer.empty());
        std::vector<std::string> strokes;
        for (const TrackStroke& s : owner.Strokes()) {
            EXPECT_EQ(s.keys[4] | s.keys[5], 0);
            strokes.push_back(Hex4(s.keys));
        }
        return strokes;
    }
    fakes::FakeOwnerWindow owner;
    std::unique_ptr<CWriterPT> writer{NewWriter<CWriterPT>(owner.Handle())};
};

constexpr int kPalantype = 7;
constexpr int kPalantypeStd = 8;
// Keys of both layouts: 0 S, 1 C or K, 3 T, 13 E, 25 T, 27 S.
const std::string kST = Hex4(Keys({0, 3}));
const std::string kNone = Hex4(Keys({}));

TEST_F(PtNotesDecoding, RecordsInBothLayouts) {
    const struct {
        const char* name;
        int layout;
        std::string bytes;
        std::vector<std::string> strokes;
    } rows[] = {
        {"outline", kPalantype, "\x02ST\x02", {kST}},
        {"C is key 1 of Palantype", kPalantype, "\x02SC\x02", {Hex4(Keys({0, 1}))}},
        {"K is key 1 of Palantype (std)", kPalantypeStd, "\x02SK\x02", {Hex4(Keys({0, 1}))}},
        {"a slash is read as a hyphen", kPalantype, "\x02S/T\x02", {Hex4(Keys({0, 25}))}},
        {"garbage before a record is skipped", kPalantype, "\x01\x7F\x03\x02ST\x02", {kST}},
        {"bit 7 of the lead", kPalantype, "\x82ST\x88", {kST}},
        {"an empty outline is an empty stroke", kPalantype, std::string("\x02\x00\x02ST\x00", 6), {kNone, kST}},
        {"an outline of no key is an empty stroke", kPalantype, "\x02??\x02ST\x02", {kNone, kST}},
        {"an empty number gives nothing", kPalantype, "\x08\x02ST\x02", {kST}},
        {"the last record is cut: not taken", kPalantype, "\x02ST\x02SC", {kST}},
    };
    for (const auto& row : rows) {
        owner.HandleMessages(*writer);
        const std::size_t before = owner.Strokes().size();
        std::vector<std::string> all = Decode(row.layout, row.bytes);
        EXPECT_EQ(std::vector<std::string>(all.begin() + long(before), all.end()), row.strokes) << row.name;
    }
}

TEST_F(PtNotesDecoding, NumbersGiveOneStrokePerCharacterWithThousandsAndMillionsShort) {
    GetSettings().keyboardLayout = kPalantype;
    const auto digit = [](const char* c) {
        return Hex4(pt::RecordStrokes({pt::NotesStep::Record, 0, true, c}, kPalantype)[0]);
    };
    EXPECT_EQ(Decode(kPalantype, "\x02ST\x08" "1,000\x02"), (std::vector<std::string>{kST, digit("1"), digit("t")}));
    EXPECT_EQ(writer->strokeIndex, 3);
    EXPECT_NE(digit("1"), digit("t"));
    const std::vector<Stroke> million =
        pt::RecordStrokes({pt::NotesStep::Record, 0, true, "2,000,000"}, kPalantype);
    ASSERT_EQ(million.size(), 2u);
    EXPECT_EQ(Hex4(million[1]), digit("m"));
}

// A character of a number that stands for no key is still a stroke of the notes: an empty one.
TEST_F(PtNotesDecoding, EveryCharacterOfANumberIsAStrokeEvenOfNoKey) {
    const std::string s = Hex4(Keys({0})), t = Hex4(Keys({3})), c = Hex4(Keys({1}));
    const std::string thousand = Hex4(pt::RecordStrokes({pt::NotesStep::Record, 0, true, "t"}, kPalantype)[0]);
    ASSERT_NE(thousand, kNone);
    EXPECT_EQ(Decode(kPalantype, "\x08 ST\x08x\x08stph\x08SC\x02"),
              (std::vector<std::string>{kNone, s, t, kNone, kNone, thousand, kNone, kNone, s, c}));
    EXPECT_EQ(writer->strokeIndex, 10);
}

}  // namespace
