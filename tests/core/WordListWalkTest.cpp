#include "core/WordListWalk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Lines = std::vector<std::string>;

TEST(WordListWalk, TakesOneHeadingPerStep) {
    struct Case {
        const char* name;
        Lines lines;
        int line;
        WalkLine want;
    } cases[] = {
        {"plain word", {"cat", "dog"}, 1, {"", "dog", 1, false}},
        {"heading shown above the next word", {"@Animals", "cat"}, 0, {"Animals", "cat", 1, false}},
        {"two headings: the second is the word", {"@A", "@B", "c"}, 0, {"A", "@B", 1, false}},
        {"heading as the last line ends", {"cat", "@End"}, 1, {"End", "", 2, true}},
        {"past the end", {"cat"}, 1, {"", "", 1, true}},
        {"negative", {"cat"}, -1, {"", "", -1, true}},
        {"lone @ is an empty heading", {"@", "x"}, 0, {"", "x", 1, false}},
        {"^ and ~ exchanged", {"a^b~c"}, 0, {"", "a~b^c", 0, false}},
    };
    for (const Case& c : cases) {
        WalkLine got = TakeLine(c.lines, c.line);
        EXPECT_EQ(got.heading, c.want.heading) << c.name;
        EXPECT_EQ(got.word, c.want.word) << c.name;
        EXPECT_EQ(got.line, c.want.line) << c.name;
        EXPECT_EQ(got.ended, c.want.ended) << c.name;
    }
}

TEST(WordListWalk, ResumedWordStepsOntoItsHeading) {
    const Lines lines = {"@First", "a", "b", "@Second", "c"};
    struct Case {
        int position, want;
    } cases[] = {{0, 0}, {1, 0}, {2, 2}, {4, 3}, {5, 5}, {-1, -1}, {9, 9}};
    for (const Case& c : cases)
        EXPECT_EQ(StepOntoHeading(lines, c.position), c.want) << "position " << c.position;
}
