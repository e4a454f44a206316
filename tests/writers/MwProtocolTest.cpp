// The MeritWriter family's realtime framing and key bytes without a port: each stream of the
// table read whole, byte by byte and in random pieces, and every key through the simulator's
// wire layout.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/sim/MwSimulator.h"
#include "tests/support/HexBytes.h"
#include "tests/writers/FramedStrokes.h"
#include "tests/writers/StrokeBytes.h"
#include "writers/MwProtocol.h"

namespace {

using strokebytes::Keys;

TEST(MwStroke, StreamsGiveTheSameStrokesHoweverTheyAreRead) {
    const StreamRow rows[] = {
        {"lead byte, then key 0", "FF 04 00 00", {"20 00 00"}},
        {"key 0 without the lead byte", "04 00 00", {"20 00 00"}},
        {"number bar alone", "02 00 00", {"40 00 00"}},
        {"a coded command, number 0", "01 00 00", {"80 00 00"}},
        {"keys 6 and 21", "00 01 80", {"00 80 01"}},
        {"0xFF second and third is all eight keys", "04 FF FF", {"20 FF FF"}},
        {"lead byte, then a first key byte of 0xFF", "FF FF 00 00", {"FF 00 00"}},
        {"strokes back to back, with and without lead", "FF 04 00 00 08 00 00 FF 00 01 80",
         {"20 00 00", "10 00 00", "00 80 01"}},
        {"a cut stroke at the end stays open", "04 00 00 FF 08", {"20 00 00"}},
        {"garbage is three key bytes like any other", "12 34 56", {"48 2C 6A"}},
    };
    for (const StreamRow& row : rows) {
        EXPECT_EQ(FramedStrokes(Hex(row.line), mw::FrameStroke, mw::FrameKeys), row.strokes) << row.name;
        const auto splits = ReadSplits(Hex(row.line), 7);
        for (std::size_t i = 0; i < splits.size(); ++i)
            EXPECT_EQ(FramedStrokesInReads(splits[i], mw::FrameStroke, mw::FrameKeys), row.strokes)
                << row.name << ", split " << i;
    }
}

// A stroke held up inside gives its keys once its rest comes (within a second); a stroke cut
// off is dropped, its rest never joined to the next one, and every later stroke reads right.
// No stroke cut short, even at the fastest writing, joins the next one.
TEST(MwStroke, APauseInsideAStrokeNeverJoinsTwoStrokes) {
    const FramedReader reader(mw::FrameStroke, 100, mw::kStrokeTimeoutMs, FramedReader::FrameTime::FromFirstByte,
                              mw::kStrokeResumeMs);
    const TimedRow rows[] = {
        {"a pause of 250 ms after the lead byte and one key byte",
         {{0, Hex("FF 04 00 00")}, {kFastestStrokeGapMs, Hex("FF 04")}, {250, Hex("00 00")},
          {kFastestStrokeGapMs, Hex("04 00 00")}, {kFastestStrokeGapMs, Hex("04 00 00")}},
         {"20 00 00", "20 00 00", "20 00 00", "20 00 00"}},
        {"the writer stops after a key byte, two strokes in one burst later",
         {{0, Hex("FF 04")}, {300, Hex("FF 08 00 00 04 00 00")}}, {"10 00 00", "20 00 00"}},
        {"a pause of more than a second after a key byte",
         {{0, Hex("04")}, {1500, Hex("00 00")}, {kFastestStrokeGapMs, Hex("08 00 00")}}, {"10 00 00"}},
        {"the writer stops after two key bytes, the next stroke at the fastest pace",
         {{0, Hex("04 00")}, {kFastestStrokeGapMs, Hex("08 00 00")}}, {"10 00 00"}},
        {"the writer stops after the lead byte",
         {{0, Hex("FF")}, {kFastestStrokeGapMs, Hex("FF 08 00 00")}}, {"10 00 00"}},
        {"strokes at the fastest pace",
         {{0, Hex("04 00 00")}, {kFastestStrokeGapMs, Hex("FF 08 00 00")}, {kFastestStrokeGapMs, Hex("04 00 00")}},
         {"20 00 00", "10 00 00", "20 00 00"}},
        // What the line and a USB adapter do to a stroke's bytes, well inside its time.
        {"a stroke at 1200 baud", {{0, Hex("FF")}, {8, Hex("04")}, {8, Hex("00")}, {8, Hex("00")}}, {"20 00 00"}},
        {"a stroke held in two parts by an adapter", {{0, Hex("FF 04")}, {20, Hex("00 00")}}, {"20 00 00"}},
    };
    for (const auto& row : rows) EXPECT_EQ(TimedStrokes(reader, row.runs, mw::FrameKeys), row.strokes) << row.name;
}

TEST(MwStroke, EveryKeyOfTheWireLandsOnItsPosition) {
    for (int key = 0; key < 22; ++key) {
        const std::string wire = sim::MwSimulator::KeyBytes(Keys({key}));
        EXPECT_EQ(mw::FrameKeys(wire), Keys({key})) << "key " << key;
    }
    const Stroke number{kNumberBarFlag | 0x20, 0x01, 0x80};
    EXPECT_EQ(mw::FrameKeys(std::string(1, '\xFF') + sim::MwSimulator::KeyBytes(number)), number);
}

TEST(MwNotes, CaptureRecordsAreMirroredKeyBytes) {
    EXPECT_EQ(ToHex(mw::MirroredRecord(Hex("04 01 80"))), "20 80 01");
    EXPECT_EQ(mw::MirroredRecord(mw::kEndRecord), mw::kEndRecord);
}

}  // namespace
