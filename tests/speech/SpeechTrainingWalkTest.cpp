// The speech-training walk: loading a list and its stored position (kept inside the list),
// the moves with headings, and saving the position.
#include "speech/SpeechTrainingWalk.h"

#include <gtest/gtest.h>

#include <climits>

#include "core/DataFiles.h"
#include "tests/support/FileHelpers.h"
#include "tests/support/TestEnvironment.h"

namespace {

struct Lists {
    std::string dir = testenv::MakeTempDir();
    std::string docs = testenv::MakeTempDir("docs") + "/";
    std::string Write(const std::vector<std::string>& lines, const std::string& name = "Basics") {
        std::string path = dir + "/" + name + ".edq";
        EXPECT_TRUE(WriteWordListFile(path, lines));
        return path;
    }
};

TEST(SpeechTrainingWalk, AListWithoutLinesIsRefused) {
    Lists lists;
    SpeechTrainingWalk walk;
    EXPECT_FALSE(walk.Load(lists.dir + "/missing.edq", lists.docs));
    EXPECT_FALSE(walk.Load(lists.Write({}), lists.docs));
}

TEST(SpeechTrainingWalk, WithoutAStoredPositionTheWalkStartsAtTheFirstLine) {
    Lists lists;
    SpeechTrainingWalk walk;
    ASSERT_TRUE(walk.Load(lists.Write({"a", "b"}), lists.docs));
    EXPECT_EQ(walk.Position(), 0);
    EXPECT_EQ(walk.Total(), 2);
    EXPECT_EQ(walk.ProgressPath(), lists.docs + "Basics.iqx");
}

// The stored position of a five-line list, as file bytes, and where the walk starts.
TEST(SpeechTrainingWalk, AStoredPositionIsKeptInsideTheList) {
    auto le = [](std::int32_t v) {
        std::string b(4, '\0');
        for (int i = 0; i < 4; ++i) b[i] = char((std::uint32_t(v) >> (8 * i)) & 0xFF);
        return b;
    };
    struct Case {
        const char* name;
        std::string bytes;
        int expected;
    } cases[] = {
        {"inside", le(3), 3},
        {"first", le(0), 0},
        {"last", le(4), 4},
        {"the line count", le(5), 4},
        {"far past", le(99), 4},
        {"largest", le(INT_MAX), 4},
        {"negative", le(-1), 0},
        {"most negative", le(INT_MIN), 0},
        {"cut to one byte", std::string(1, '\x02'), 2},
        {"empty file", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Lists lists;
        std::string path = lists.Write({"a", "b", "c", "d", "e"});
        testfiles::WriteBytes(lists.docs + "Basics.iqx", c.bytes);
        SpeechTrainingWalk walk;
        ASSERT_TRUE(walk.Load(path, lists.docs));
        EXPECT_EQ(walk.Position(), c.expected);
    }
}

// A walk: the list, the stored position, then moves; after each the heading, word and
// position shown ("!" marks a walk that ended on a last-line heading).
TEST(SpeechTrainingWalk, MovesThroughHeadings) {
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        int stored;  // -1: no file
        std::string moves;  // N next, B back, F first word
        std::vector<std::string> shown;  // "heading|word|position" before and after each move
    } cases[] = {
        {"plain list", {"a", "b", "c"}, -1, "NNBB", {"|a|0", "|b|1", "|c|2", "|b|1", "|a|0"}},
        {"first line a heading", {"@Fruit", "apple", "pear"}, -1, "NB",
         {"Fruit|apple|1", "|pear|2", "Fruit|apple|1"}},
        {"back at the first line stays", {"a", "b"}, -1, "B", {"|a|0", "|a|0"}},
        {"back over a heading to the word before", {"@A", "w1", "w2", "@B", "w4"}, 4, "B",
         {"B|w4|4", "|w2|2"}},
        {"back over a heading shows the earlier heading", {"@A", "w1", "@B", "w3"}, 3, "B",
         {"B|w3|3", "A|w1|1"}},
        {"resumed after a heading shows it", {"w0", "@B", "w2", "w3"}, 2, "N",
         {"B|w2|2", "|w3|3"}},
        {"two headings in a row", {"@A", "@B", "w"}, -1, "N", {"A|@B|1", "|w|2"}},
        {"caret and tilde exchanged", {"a^b", "c~d"}, -1, "N", {"|a~b|0", "|c^d|1"}},
        {"first word", {"@A", "w1", "w2", "w3"}, 3, "F", {"|w3|3", "A|w1|1"}},
        {"heading as the last line ends", {"w0", "@End"}, -1, "N", {"|w0|0", "End|!|2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Lists lists;
        std::string path = lists.Write(c.lines);
        if (c.stored >= 0) {
            ASSERT_TRUE(WriteFileInt(lists.docs + "Basics.iqx", c.stored));
        }
        SpeechTrainingWalk walk;
        ASSERT_TRUE(walk.Load(path, lists.docs));
        walk.Resume();
        auto show = [&] {
            WalkLine line = walk.Show();
            return line.heading + "|" + (line.ended ? "!" : line.word) + "|" +
                   std::to_string(walk.Position());
        };
        std::vector<std::string> shown{show()};
        for (char move : c.moves) {
            if (move == 'N') {
                ASSERT_TRUE(walk.Next());
            }
            if (move == 'B') walk.Back();
            if (move == 'F') walk.First();
            shown.push_back(show());
        }
        EXPECT_EQ(shown, c.shown);
    }
}

TEST(SpeechTrainingWalk, NextPastTheLastLineEndsAndStoresTheLastLine) {
    Lists lists;
    SpeechTrainingWalk walk;
    ASSERT_TRUE(walk.Load(lists.Write({"a", "b"}), lists.docs));
    ASSERT_TRUE(walk.Next());
    EXPECT_FALSE(walk.Next());
    EXPECT_EQ(walk.PositionToSave(), 1);
    ASSERT_TRUE(walk.SavePosition());
    EXPECT_EQ(testfiles::ReadBytes(walk.ProgressPath()), std::string("\x01\0\0\0", 4));
}

TEST(SpeechTrainingWalk, ASaveThatCannotBeWrittenSaysWhy) {
    Lists lists;
    SpeechTrainingWalk walk;
    ASSERT_TRUE(walk.Load(lists.Write({"a"}), lists.docs + "gone/"));
    std::string error;
    EXPECT_FALSE(walk.SavePosition(&error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
