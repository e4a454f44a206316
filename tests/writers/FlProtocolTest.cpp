#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/writers/FramedStrokes.h"
#include "writers/FlProtocol.h"

namespace {

std::vector<std::string> RealtimeStrokes(const std::string& stream) {
    return FramedStrokes(stream, fl::FrameGroup, fl::GroupStroke);
}

TEST(FlRealtime, StreamsGiveTheirStrokes) {
    const StreamRow rows[] = {
        {"one stroke", "12 34 56 FF", {"12 34 56"}},
        {"writer's group skipped", "7A 00 00 01 FF 40 00 01 FF", {"40 00 01"}},
        // The writer's group is three bytes, whatever they are, then through its marker.
        {"writer's group with an end-marker value inside", "7A FF 03 FF 20 00 00 FF", {"20 00 00"}},
        {"writer's group with end-marker values second and third", "7B FF FF FF 21 00 00 FF", {"21 00 00"}},
        {"writer's group longer than four bytes", "78 01 02 03 04 FF 22 00 00 FF", {"22 00 00"}},
        {"end-marker value inside a stroke", "12 FF 56 FF 01 FF FF FF", {"12 FF 56", "01 FF FF"}},
        {"two strokes", "01 02 03 FF 04 05 06 FF", {"01 02 03", "04 05 06"}},
        // Damaged good input, one way each: nothing wrong is queued, the next stroke is.
        {"stray end marker first", "FF 12 34 56 FF", {"12 34 56"}},
        {"byte inserted in a group", "12 99 34 56 FF 01 02 03 FF", {"01 02 03"}},
        {"end marker lost", "12 34 56 01 02 03 FF 04 05 06 FF", {"04 05 06"}},
        {"group cut short", "12 34", {}},
        {"writer's group without its marker yet", "7A 00 00 01", {}},
    };
    for (const auto& row : rows) EXPECT_EQ(RealtimeStrokes(Hex(row.line)), row.strokes) << row.name;
}

TEST(FlRealtime, FramerSteps) {
    EXPECT_EQ(fl::FrameGroup(""), FrameStep::More());
    EXPECT_EQ(fl::FrameGroup(Hex("12 34 56")), FrameStep::More());
    EXPECT_EQ(fl::FrameGroup(Hex("12 34 56 FF 01")), FrameStep::Take(4));
    EXPECT_EQ(fl::FrameGroup(Hex("FF 12")), FrameStep::SkipBytes(1));
    EXPECT_EQ(fl::FrameGroup(Hex("7F 01")), FrameStep::More());
    EXPECT_EQ(fl::FrameGroup(Hex("7F 01 FF 02")), FrameStep::More());
    EXPECT_EQ(fl::FrameGroup(Hex("7F 01 FF FF 02")), FrameStep::SkipBytes(4));
    EXPECT_EQ(fl::FrameGroup(Hex("12 34 56 78")), FrameStep::More());
    EXPECT_EQ(fl::FrameGroup(Hex("12 34 56 78 FF")), FrameStep::SkipBytes(5));
}

// The groups of a stored-notes stream, each closed by FF; "|" marks where the collector asked
// for the capture file to be split.
std::string Collect(const std::vector<const char*>& groups, fl::NotesCollector& notes) {
    std::string files;
    for (const char* group : groups) {
        for (char c : Hex(group)) {
            if (notes.Take(std::uint8_t(c)) == fl::NotesCollector::Action::SplitFile) {
                files += ToHex(notes.Records()) + "|";
                notes.Records().clear();
            }
        }
    }
    return files + ToHex(notes.Records());
}

struct NotesRow {
    const char* name;
    std::vector<const char*> groups;
    const char* files;  // records of each capture file, "|" between files
};

TEST(FlNotes, GroupsGiveRecordsAndFiles) {
    const char* J = "40 10 00 FF";  // a job-end group
    const NotesRow rows[] = {
        {"plain strokes", {"01 02 03 FF", "04 05 06 FF"}, "01 02 03 04 05 06"},
        {"skip marker and the two groups after it", {"40 00 00 FF", "0A 00 00 FF", "0B 00 00 FF", "0C 00 00 FF"},
         "0C 00 00"},
        {"second skip marker starts the count again",
         {"40 00 00 FF", "40 00 00 FF", "0A 00 00 FF", "0B 00 00 FF", "0C 00 00 FF"}, "0C 00 00"},
        {"writer's group neither stored nor counted",
         {"40 00 00 FF", "7A 00 00 FF", "0A 00 00 FF", "0B 00 00 FF", "0C 00 00 FF"}, "0C 00 00"},
        {"fifth job-end group splits after it", {"01 02 03 FF", J, J, J, J, J},
         "01 02 03 40 10 00 40 10 00 40 10 00 40 10 00 40 10 00|"},
        {"sixth splits again, seventh does not", {J, J, J, J, J, J, J, "01 02 03 FF"},
         "40 10 00 40 10 00 40 10 00 40 10 00 40 10 00|40 10 00|40 10 00 01 02 03"},
        {"run broken before the fifth", {J, J, J, J, "01 02 03 FF", J, J, J, J}, 
         "40 10 00 40 10 00 40 10 00 40 10 00 01 02 03 40 10 00 40 10 00 40 10 00 40 10 00"},
        {"skipped job-end groups still count", {"40 00 00 FF", J, J, J, J, J}, "40 10 00 40 10 00 40 10 00|"},
        {"two runs split twice each", {J, J, J, J, J, J, "01 02 03 FF", J, J, J, J, J, J},
         "40 10 00 40 10 00 40 10 00 40 10 00 40 10 00|40 10 00|01 02 03 40 10 00 40 10 00 40 10 00 40 10 00 "
         "40 10 00|40 10 00|"},
        // Damaged groups are dropped whole and leave the markers' counts alone.
        {"byte inserted in a group", {"01 02 03 FF", "04 99 05 06 FF", "07 08 09 FF"}, "01 02 03 07 08 09"},
        {"stray end marker", {"FF", "01 02 03 FF"}, "01 02 03"},
    };
    for (const auto& row : rows) {
        fl::NotesCollector notes;
        EXPECT_EQ(Collect(row.groups, notes), row.files) << row.name;
    }
}

TEST(FlNotes, UnfinishedGroupDroppedAtTheEnd) {
    fl::NotesCollector notes;
    EXPECT_EQ(Collect({"01 02 03 FF", "04 05"}, notes), "01 02 03");
    notes.Finish();
    EXPECT_EQ(Collect({"FF"}, notes), "01 02 03");
}

}  // namespace
