#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "core/TextUtil.h"
#include "tests/support/TestEnvironment.h"

TEST(ReplaceAll, ResumesAfterEachReplacement) {
    struct Case {
        std::string text, find, repl, want;
    } cases[] = {
        {"a~b~", "~", "\\~", "a\\~b\\~"},
        {"aaa", "a", "aa", "aaaaaa"},  // the replacement is never searched again
        {"abc", "", "x", "abc"},       // an empty find does nothing
        {"", "a", "b", ""},
        {"xyxy", "xy", "", ""},
    };
    for (auto c : cases) {
        ReplaceAll(c.text, c.find, c.repl);
        EXPECT_EQ(c.text, c.want) << c.find << " -> " << c.repl;
    }
}

TEST(LetterClasses, FollowWindows1252) {
    for (int b = 0; b < 256; ++b) {
        bool upper = (b >= 0x41 && b <= 0x5A) || b == 0x8A || b == 0x8C || b == 0x9F ||
                     (b >= 0xC0 && b <= 0xD6) || (b >= 0xD8 && b <= 0xDF);
        bool lower = (b >= 0x61 && b <= 0x7A) || b == 0x9A || b == 0x9C || b == 0xB5 ||
                     (b >= 0xE0 && b <= 0xF6) || b >= 0xF8;
        EXPECT_EQ(IsUpperLetter(std::uint8_t(b)), upper) << b;
        EXPECT_EQ(IsLowerLetter(std::uint8_t(b)), lower) << b;
        EXPECT_EQ(IsDigitChar(std::uint8_t(b)), b >= '0' && b <= '9') << b;
    }
}

TEST(LetterClasses, ToLowerLetterTable) {
    struct Case {
        int in, out;
    } cases[] = {{'A', 'a'}, {'Z', 'z'}, {'a', 'a'}, {0xC0, 0xE0}, {0xD6, 0xF6}, {0xD7, 0xD7},
                 {0xD8, 0xF8}, {0xDE, 0xFE}, {0xDF, 0xDF}, {0x8A, 0x8A}, {0x8C, 0x8C},
                 {0x9F, 0xFF}, {0x7F, 0x44}, {0x05, 0x05}, {'1', '1'}, {0xFF, 0xFF}};
    for (auto c : cases) EXPECT_EQ(ToLowerLetter(std::uint8_t(c.in)), c.out) << c.in;
}

TEST(Numbers, StrToIntFollowsAtoi) {
    struct Case {
        const char* text;
        int want;
    } cases[] = {{"42", 42},          {"  -17x", -17},       {"+5", 5},
                 {"abc", 0},          {"", 0},               {"12/34", 12},
                 {"2147483647", 2147483647}, {"4294967296", 0},  // wraps to 32 bits
                 {"4294967297", 1},   {"-2147483648", -2147483647 - 1}, {"\t 9", 9}};
    for (auto c : cases) EXPECT_EQ(StrToInt(c.text), c.want) << c.text;
    EXPECT_EQ(IntToString(-305), "-305");
    EXPECT_EQ(IntToString(0), "0");
    EXPECT_EQ(TwoDigits(7), "07");
    EXPECT_EQ(TwoDigits(42), "42");
    EXPECT_EQ(TwoDigits(0), "00");
}

TEST(Paths, PartsOfAPath) {
    struct Case {
        std::string path, folder, name, ext, title;
    } cases[] = {
        {"C:\\lists\\words.txt", "C:\\lists\\", "words.txt", "txt", "words"},
        {"C:\\lists\\notes.backup", "C:\\lists\\", "notes.backup", "", "notes.backup"},
        {"C:\\my lists.old\\words", "C:\\my lists.old\\", "words", "", "words"},
        {"C:\\a.b\\x", "C:\\a.b\\", "x", "b\\x", "a"},  // the dot search crosses separators
        {"C:words", "C:", "words", "", "words"},
        {"words", "", "words", "", "words"},
        {"/home/anna/lists/words.edq", "/home/anna/lists/", "words.edq", "edq", "words"},
        {"/data/a:b/list.edq", "/data/a:b/", "list.edq", "edq", "list"},  // ":" is a name byte
        {"a:b", "a:", "b", "", "b"},
        {"mixed\\win/unix.txt", "mixed\\win/", "unix.txt", "txt", "unix"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetFolderPart(c.path), c.folder) << c.path;
        EXPECT_EQ(GetFileNamePart(c.path), c.name) << c.path;
        EXPECT_EQ(GetExtensionPart(c.path), c.ext) << c.path;
        EXPECT_EQ(GetFileTitlePart(c.path), c.title) << c.path;
    }
}

TEST(TimeCode, ConvertsAndTruncates) {
    TimeCode tc{};
    MsToTimeCode(3'723'500, tc);
    EXPECT_EQ(tc, (TimeCode{1, 2, 3, 15}));
    EXPECT_EQ(TimeCodeToMs(tc), 3'723'500);

    MsToTimeCode(33, tc);  // frame 1 is 33 ms, and 33 ms is frame 0
    EXPECT_EQ(tc, (TimeCode{0, 0, 0, 0}));
    EXPECT_EQ(TimeCodeToMs(TimeCode{0, 0, 0, 1}), 33);

    MsToTimeCode(86'399'999, tc);
    EXPECT_EQ(tc, (TimeCode{23, 59, 59, 29}));
    MsToTimeCode(86'400'000 + 1000, tc);  // a day or more wraps into the day
    EXPECT_EQ(tc, (TimeCode{0, 0, 1, 0}));
    MsToTimeCode(-1000, tc);  // negative counts back from midnight
    EXPECT_EQ(tc, (TimeCode{23, 59, 59, 0}));
}

TEST(TimeCode, NowIsInsideTheDay) {
    int ms = GetTimeOfDayMs();
    EXPECT_GE(ms, 0);
    EXPECT_LT(ms, 86'400'000);
    TimeCode tc{};
    GetTimeCodeNow(tc);
    EXPECT_LT(tc[0], 24);
    EXPECT_LT(tc[1], 60);
    EXPECT_LT(tc[2], 60);
    EXPECT_LT(tc[3], 30);
}

TEST(Files, DeleteAndExists) {
    std::string dir = testenv::MakeTempDir();
    std::string file = dir + "/locked.dqx";
    std::ofstream(file) << "x";
    chmod(file.c_str(), 0444);
    EXPECT_TRUE(FileExists(file));
    EXPECT_TRUE(FileExists(dir + "/*.dqx"));
    EXPECT_TRUE(FileExists(dir));
    EXPECT_TRUE(DeleteFileForced(file));
    EXPECT_FALSE(FileExists(file));
    EXPECT_FALSE(FileExists(dir + "/*.dqx"));
    EXPECT_FALSE(DeleteFileForced(file));
    EXPECT_FALSE(FileExists(""));
}

// A search pattern has "*" and "?" only, in its last part, matching letters in either case,
// as a file-system search does; every other byte of a name, "[" and "]" included, is itself.
TEST(Files, ExistsMatchesNamesAsASearchDoes) {
    std::string dir = testenv::MakeTempDir();
    std::ofstream(dir + "/Lesson [1].dqx") << "x";
    ASSERT_EQ(mkdir((dir + "/a*b").c_str(), 0700), 0);
    struct Case {
        std::string path;
        bool exists;
    } cases[] = {
        {"/Lesson [1].dqx", true},
        {"/Lesson 1.dqx", false},
        {"/Lesson [1].*", true},
        {"/*.DQX", true},
        {"/lesson ?1?.dqx", true},
        {"/*.edq", false},
        {"/a*b/", true},
        {"/a*/", false},  // a folder part is never a pattern
        {"/a*b/*", false},
        {"/missing/*.dqx", false},
    };
    for (const Case& c : cases) EXPECT_EQ(FileExists(dir + c.path), c.exists) << c.path;
}

// Messages name a file once, in the message's own text, with its UTF-8 name shown as such.
TEST(Files, MessagesNameAFileOnce) {
    EXPECT_EQ(PathForMessage("/home/r\xC3\xA9mi/Le\xC3\xA7on.dqx"), "/home/r\xE9mi/Le\xE7on.dqx");
    struct Case { std::string error, path, reason; } cases[] = {
        {"/d/Lesson.dqx: No such file or directory", "/d/Lesson.dqx", "No such file or directory"},
        {"/d/x/Lesson.dqx: Read-only file system", "/d/Lesson.dqx",
         "/d/x/Lesson.dqx: Read-only file system"},  // a link's end is named
        {"not a path", "/d/Lesson.dqx", "not a path"},
    };
    for (const Case& c : cases) EXPECT_EQ(FileErrorReason(c.error, c.path), c.reason) << c.error;
}

TEST(StringTable, KnownEntriesAndMissingIds) {
    EXPECT_EQ(LoadResString(104), "EN");
    EXPECT_EQ(LoadResString(101), "&About Dictionary Quillfast...");
    EXPECT_EQ(LoadResString(5017), "Unable to communicate with steno machine.|01|&Retry|&Cancel");
    EXPECT_EQ(LoadResString(1), "");
}
