#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/writers/FramedStrokes.h"
#include "writers/EzProtocol.h"

namespace {

std::vector<std::string> RealtimeStrokes(const std::string& stream) {
    return FramedStrokes(stream, ez::FrameRealtime, ez::RealtimeStroke);
}

TEST(EzRealtime, StreamsGiveTheirStrokes) {
    const StreamRow rows[] = {
        {"sync 7E", "7E 20 00 00", {"20 00 00"}},
        {"sync FF", "FF 20 00 00", {"20 00 00"}},
        {"sync 7F and FE", "7F 01 02 03 FE 04 05 06", {"01 02 03", "04 05 06"}},
        {"leading byte skipped", "12 7E 01 02 03", {"01 02 03"}},
        {"data bytes that look like sync bytes", "7E 7E FF 7F", {"7E FF 7F"}},
        {"several stray bytes", "00 41 7C 7E 01 02 03", {"01 02 03"}},
        // Damaged: the packet is cut short, so nothing is queued yet.
        {"packet missing its last byte", "7E 01 02", {}},
        {"sync byte only", "7E", {}},
        {"no sync byte at all", "01 02 03 04 05", {}},
    };
    for (const auto& row : rows) EXPECT_EQ(RealtimeStrokes(Hex(row.line)), row.strokes) << row.name;
}

TEST(EzRealtime, FramerSteps) {
    EXPECT_EQ(ez::FrameRealtime(""), FrameStep::More());
    EXPECT_EQ(ez::FrameRealtime(Hex("12 7E")), FrameStep::SkipBytes(1));
    EXPECT_EQ(ez::FrameRealtime(Hex("7E 20 00")), FrameStep::More());
    EXPECT_EQ(ez::FrameRealtime(Hex("FE 20 00 00 7E")), FrameStep::Take(4));
}

TEST(EzRealtime, IncompleteTailStaysForMoreBytes) {
    std::string pending = Hex("7E 01 02 03 7E 04");
    int frames = 0;
    DrainFrames(pending, ez::FrameRealtime, [&](std::string_view) { ++frames; });
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(ToHex(pending), "7E 04");
}

struct NotesRow {
    const char* name;
    const char* bytes;
    const char* records;
    bool passEnds;
};

TEST(EzNotes, BytesGiveRecords) {
    const NotesRow rows[] = {
        {"plain records", "20 00 00 01 02 03", "20 00 00 01 02 03", false},
        {"sync byte before a record dropped", "7E 20 00 00 FE 01 02 03", "20 00 00 01 02 03", false},
        {"7F and FF start a record", "7F 01 02 FF 03 04", "7F 01 02 FF 03 04", false},
        {"byte after a sync taken as it is", "7E 7E 01 02", "7E 01 02", false},
        {"sync-like byte inside a record kept", "20 7E FE", "20 7E FE", false},
        {"eight zeros end the pass", "7E 01 02 03 00 00 00 00 00 00 00 00", "01 02 03", true},
        {"seven zeros do not", "01 02 03 00 00 00 00 00 00 00", "01 02 03", false},
        {"a record's own zeros count", "7E 20 00 00 00 00 00 00 00 00", "20 00 00", true},
        {"high-bit zeros count", "80 80 80 80 80 80 80 80", "80 80 80 80 80 80", true},
        {"run broken by a sync byte", "00 00 00 7E 00 00 00 00 01 02", "00 01 02", false},
        {"unfinished record waits", "01 02 03 04", "01 02 03", false},
    };
    for (const auto& row : rows) {
        ez::NotesCollector notes;
        const std::string bytes = Hex(row.bytes);
        bool ended = false;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            ended = notes.Take(std::uint8_t(bytes[i]));
            if (ended) {
                EXPECT_EQ(i + 1, bytes.size()) << row.name << ": pass ended early";
            }
        }
        EXPECT_EQ(ended, row.passEnds) << row.name;
        EXPECT_EQ(ToHex(notes.Records()), row.records) << row.name;
        EXPECT_EQ(notes.BytesTaken(), bytes.size()) << row.name;
    }
}

TEST(EzNotes, NextPassStartsAFreshRecord) {
    ez::NotesCollector notes;
    const std::string first = Hex("01 02 03 04 00 00 00 00 00 00 00 00");
    bool ended = false;
    for (char c : first) ended = notes.Take(std::uint8_t(c));
    ASSERT_TRUE(ended);
    notes.EndPass();
    for (char c : Hex("7E 05 06 07")) notes.Take(std::uint8_t(c));
    // The fragment 04 00 00 of the first pass is kept (it was a whole record); the padding
    // after it is not, and the next pass's record lines up.
    EXPECT_EQ(ToHex(notes.Records()), "01 02 03 04 00 00 05 06 07");
}

}  // namespace
