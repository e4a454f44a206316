#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/DataFiles.h"
#include "core/RtfDictionary.h"
#include "tests/support/FileHelpers.h"
#include "tests/support/TestEnvironment.h"

using testfiles::ReadBytes;
using testfiles::WriteBytes;

namespace {

const char kHeaderInFile[] =
    "{\\rtf1\\ansi\\cxdict\r\n"
    "{\\*\\cxrev100}\r\n"
    "{\\*\\cxsystem Dictionary Quillfast}\r\n"
    "{\\stylesheet\r\n"
    "{\\s0 Normal;}\r\n"
    "{\\s1 Question;}\r\n"
    "{\\s2 Answer;}\r\n"
    "{\\s3 Colloquy;}\r\n"
    "{\\s4 Continuation Q;}\r\n"
    "{\\s5 Continuation A;}\r\n"
    "{\\s6 Continuation Col;}\r\n"
    "{\\s7 Paren;}\r\n"
    "{\\s8 Centered;}\r\n"
    "}\r\n";

struct Export {
    std::string dir = testenv::MakeTempDir();
    std::string progress = dir + "/list.dqx";
    std::string rtf = dir + "/list.rtf";

    // The RTF written for `entries`; empty when the export failed.
    std::string Run(const std::vector<ProgressEntry>& entries) {
        EXPECT_TRUE(WriteProgressFile(progress, entries, 0));
        if (!WriteRtfDictionary(progress, rtf)) return {};
        return ReadBytes(rtf);
    }
};

}  // namespace

TEST(RtfDictionary, Constants) {
    std::string header = RtfDictionaryHeader;
    EXPECT_EQ(header.size(), 240u);
    EXPECT_EQ(std::count(header.begin(), header.end(), '\n'), 14);
    EXPECT_STREQ(RtfStenoGroupPrefix, "{\\*\\cxs ");
    EXPECT_EQ(std::strlen(kHeaderInFile), 254u);
}

TEST(RtfDictionary, NoEntriesGiveHeaderAndClosingBrace) {
    Export e;
    std::string out = e.Run({});
    EXPECT_EQ(out, std::string(kHeaderInFile) + "}");
    EXPECT_EQ(out.size(), 255u);
}

TEST(RtfDictionary, OneLinePerEntryInCaptureOrder) {
    Export e;
    std::string out = e.Run({{"KAT", "cat"}, {"TKOG", "dog"}, {"KAT", "cat"}, {"A*", ""}});
    EXPECT_EQ(out, std::string(kHeaderInFile) +
                       "{\\*\\cxs KAT}cat\r\n"
                       "{\\*\\cxs TKOG}dog\r\n"
                       "{\\*\\cxs KAT}cat\r\n"
                       "{\\*\\cxs A*}\r\n"
                       "}");
}

TEST(RtfDictionary, EscapesOnlyTildeAndCaret) {
    struct Case {
        const char* translation;
        const char* written;
    } cases[] = {
        {"a~b^c", "a\\~b\\^c"},
        {"~^", "\\~\\^"},
        {"back\\slash {brace}", "back\\slash {brace}"},
        {"caf\xE9", "caf\xE9"},
        {"two\nlines", "two\r\nlines"},  // LF inside a word-list line, stored as a text file would
    };
    for (const Case& c : cases) {
        Export e;
        std::string out = e.Run({{"S-P", c.translation}});
        EXPECT_EQ(out.substr(std::strlen(kHeaderInFile)),
                  std::string("{\\*\\cxs S-P}") + c.written + "\r\n}")
            << c.translation;
    }
}

TEST(RtfDictionary, EveryLineEndsInCrLf) {
    Export e;
    std::string out = e.Run({{"KAT", "cat"}, {"STKPW/HRAO", "a\nb"}});
    ASSERT_FALSE(out.empty());
    for (std::size_t n = 0; n < out.size(); ++n)
        if (out[n] == '\n') {
            EXPECT_EQ(out[n - 1], '\r') << "at " << n;
        }
    EXPECT_EQ(out.back(), '}');
}

TEST(RtfDictionary, UnreadableProgressFileLeavesTheOldDictionary) {
    Export e;
    WriteBytes(e.rtf, "a dictionary from before");
    std::string error;
    EXPECT_FALSE(WriteRtfDictionary(e.dir + "/missing.dqx", e.rtf, &error));
    EXPECT_NE(error.find("missing.dqx"), std::string::npos) << error;
    EXPECT_EQ(ReadBytes(e.rtf), "a dictionary from before");
}

TEST(RtfDictionary, FailedWriteKeepsTheOldDictionary) {
    Export e;
    std::vector<ProgressEntry> entries(2000, {"STKPW/HRAO", "a word of some length"});
    ASSERT_TRUE(WriteProgressFile(e.progress, entries, 0));
    WriteBytes(e.rtf, "old");
    EXPECT_FALSE(WriteRtfDictionary(e.progress, e.dir + "/no such folder/x.rtf"));
    auto result = testfiles::RunWithFileSizeLimit(
        ReadBytes(e.progress).size() + 100, [&] { return WriteRtfDictionary(e.progress, e.rtf); });
    EXPECT_EQ(result, testfiles::ChildResult::ReturnedFalse);
    EXPECT_EQ(ReadBytes(e.rtf), "old");
    EXPECT_EQ(testfiles::FolderNames(e.dir), (std::vector<std::string>{"list.dqx", "list.rtf"}));
}
