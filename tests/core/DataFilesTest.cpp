#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "core/DataFiles.h"
#include "core/Rc4Cipher.h"
#include "core/RtfDictionary.h"
#include "tests/support/FileHelpers.h"
#include "tests/support/TestEnvironment.h"

using testfiles::ReadBytes;
using testfiles::WriteBytes;
using Lines = std::vector<std::string>;
using Entries = std::vector<ProgressEntry>;

namespace {

std::string Enciphered(std::string plain, const char* key) {
    Rc4Cipher(key).Crypt(plain);
    return plain;
}

std::string Int32Le(std::uint32_t v) {
    return {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
}

// A progress file made by hand: the position in the clear, then the enciphered records.
std::string ProgressBytes(std::uint32_t position, const std::string& plainRecords) {
    return Int32Le(position) + Enciphered(plainRecords, kProgressKey);
}

}  // namespace

// ---- word lists ------------------------------------------------------------------------

TEST(WordList, LinesEndOnlyAtCrLf) {
    struct Case {
        const char* name;
        std::string plain;
        Lines want;
    } cases[] = {
        {"sample", "a\r\n\r\nb\r\nc", {"a", "b"}},
        {"empty", "", {}},
        {"only line ends", "\r\n\r\n", {}},
        {"lone CR and LF stay in the line", "x\ry\r\nx\ny\r\n", {"x\ry", "x\ny"}},
        {"CR before CR LF", "a\r\r\n", {"a\r"}},
        {"LF before CR LF", "a\n\r\nb\r\n", {"a\n", "b"}},
        {"no line end at all", "word", {}},
        {"bytes kept as they are", " \xE9t\xE9 \r\n@Head\r\n", {" \xE9t\xE9 ", "@Head"}},
    };
    std::string dir = testenv::MakeTempDir();
    for (const Case& c : cases) {
        std::string path = dir + "/list.edq";
        WriteBytes(path, Enciphered(c.plain, kWordListKey));
        EXPECT_EQ(ReadWordListFile(path), c.want) << c.name;
    }
}

TEST(WordList, UnreadablePathsGiveNoLines) {
    std::string dir = testenv::MakeTempDir();
    EXPECT_TRUE(ReadWordListFile(dir + "/missing.edq").empty());
    EXPECT_TRUE(ReadWordListFile(dir).empty());  // a folder
    // A pipe under a list's name must not block the reader.
    std::string fifo = dir + "/pipe.edq";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_TRUE(ReadWordListFile(fifo).empty());
}

TEST(WordList, WrittenListsReadBackAcrossBlockBoundaries) {
    // Lines of many lengths, among them ones that put CR and LF into different read blocks.
    Lines lines;
    std::size_t total = 0;
    for (std::size_t n = 1; total < 600 * 1024; n = n * 5 % 9973 + 1) {
        lines.push_back(std::string(n, char('a' + n % 26)));
        total += n + 2;
    }
    // The reader's blocks are 256 KiB: put a CR in the last byte of one.
    const std::size_t block = 256 * 1024;
    lines.push_back(std::string(block - total % block - 1, 'z'));
    lines.push_back("after");
    std::string path = testenv::MakeTempDir() + "/big.edq";
    ASSERT_TRUE(WriteWordListFile(path, lines));
    EXPECT_EQ(ReadWordListFile(path), lines);
}

// ---- progress files --------------------------------------------------------------------

TEST(ProgressFile, RoundTripKeepsOrderPositionAndEmptyTranslations) {
    Entries entries = {{"STKPW/HRAO", "word"},
                       {"A*", ""},
                       {"KAT", "cat"},
                       {"KAT", "cat"},
                       {"TPHAEUF", "na\xEFve"}};
    std::string path = testenv::MakeTempDir() + "/list.dqx";
    ASSERT_TRUE(WriteProgressFile(path, entries, 17));
    int position = -1;
    EXPECT_EQ(ReadProgressFile(path, position), entries);
    EXPECT_EQ(position, 17);
}

TEST(ProgressFile, BytesOnDisk) {
    std::string path = testenv::MakeTempDir() + "/list.dqx";
    ASSERT_TRUE(WriteProgressFile(path, {{"KAT", "cat"}, {"A*", ""}}, 0x01020304));
    EXPECT_EQ(ReadBytes(path), ProgressBytes(0x01020304, "KAT\x01" "cat\x11" "A*\x01\x11"));

    ASSERT_TRUE(WriteProgressFile(path, {}, 5));
    EXPECT_EQ(ReadBytes(path), Int32Le(5));  // no entries: exactly 4 bytes, old content gone
    int position = 0;
    EXPECT_TRUE(ReadProgressFile(path, position).empty());
    EXPECT_EQ(position, 5);
}

TEST(ProgressFile, EmptyOutlineIsWrittenButNotReadBack) {
    std::string path = testenv::MakeTempDir() + "/list.dqx";
    ASSERT_TRUE(WriteProgressFile(path, {{"", "lost"}, {"KAT", "cat"}}, 1));
    EXPECT_EQ(ReadBytes(path).size(), 4u + 6 + 8);
    int position = 0;
    EXPECT_EQ(ReadProgressFile(path, position), (Entries{{"KAT", "cat"}}));
}

TEST(ProgressFile, SeparatorBytesInFieldsAreDropped) {
    // Stored as they are, these would split one record in two or swallow the next one.
    std::string path = testenv::MakeTempDir() + "/list.dqx";
    ASSERT_TRUE(WriteProgressFile(path, {{"A\x01" "B", "x\x11y\x01"}, {"KAT", "cat"}}, 0));
    int position = 0;
    EXPECT_EQ(ReadProgressFile(path, position), (Entries{{"AB", "xy"}, {"KAT", "cat"}}));
}

TEST(ProgressFile, DamagedFilesKeepEveryWholeRecord) {
    const std::string good = "KAT\x01" "cat\x11" "TKOG\x01" "dog\x11";
    std::string garbage(4096, '\0');
    for (std::size_t n = 0; n < garbage.size(); ++n) garbage[n] = char((n * 2654435761u) >> 13);
    struct Case {
        const char* name;
        std::string bytes;
        int wantPosition;
        Entries want;
    } cases[] = {
        {"empty file", "", 99, {}},
        {"3 bytes", "\x07\x00\x00", 99, {}},
        {"position only", Int32Le(7), 7, {}},
        {"negative position", ProgressBytes(0xFFFFFFFEu, good), 0,
         {{"KAT", "cat"}, {"TKOG", "dog"}}},
        {"cut mid-record", ProgressBytes(3, good).substr(0, 4 + 12), 3, {{"KAT", "cat"}}},
        {"cut after the separator", ProgressBytes(3, good).substr(0, 4 + 13), 3, {{"KAT", "cat"}}},
        {"terminator without outline", ProgressBytes(3, "\x11" "lost\x11" + good), 3,
         {{"KAT", "cat"}, {"TKOG", "dog"}}},
        {"last of several separators wins", ProgressBytes(3, "A\x01" "B\x01" "c\x11"), 3,
         {{"B", "c"}}},
        {"garbage after good records", ProgressBytes(3, good) + garbage, 3,
         {{"KAT", "cat"}, {"TKOG", "dog"}}},
    };
    std::string path = testenv::MakeTempDir() + "/list.dqx";
    for (const Case& c : cases) {
        WriteBytes(path, c.bytes);
        int position = 99;
        Entries got = ReadProgressFile(path, position);
        EXPECT_EQ(position, c.wantPosition) << c.name;
        ASSERT_GE(got.size(), c.want.size()) << c.name;
        got.resize(c.want.size());  // garbage may decipher to further records
        EXPECT_EQ(got, c.want) << c.name;
    }
}

TEST(ProgressFile, GarbageNeverGivesAnEntryWithoutOutline) {
    std::string path = testenv::MakeTempDir() + "/list.dqx";
    std::string bytes;
    for (unsigned n = 0; n < 20000; ++n) bytes.push_back(char((n * 40503u) >> 7));
    WriteBytes(path, bytes);
    int position = 0;
    for (const ProgressEntry& e : ReadProgressFile(path, position)) EXPECT_FALSE(e.outline.empty());
    EXPECT_GE(position, 0);
}

TEST(ProgressFile, UnreadableFileLeavesPositionAndTellsLoadersWhy) {
    std::string dir = testenv::MakeTempDir();
    int position = 12;
    EXPECT_TRUE(ReadProgressFile(dir + "/missing.dqx", position).empty());
    EXPECT_EQ(position, 12);

    Entries entries = {{"X", "y"}};
    std::string error;
    EXPECT_FALSE(LoadProgressFile(dir + "/missing.dqx", entries, position, &error));
    EXPECT_TRUE(entries.empty());
    EXPECT_NE(error.find("missing.dqx"), std::string::npos) << error;

    WriteBytes(dir + "/empty.dqx", "");
    EXPECT_TRUE(LoadProgressFile(dir + "/empty.dqx", entries, position, &error));
}

// ---- speech progress -------------------------------------------------------------------

TEST(SpeechProgress, ReadsTheFirstFourBytesLittleEndian) {
    struct Case {
        const char* name;
        std::string bytes;
        std::int32_t want;
    } cases[] = {
        {"42", std::string("\x2A\0\0\0", 4), 42},
        {"short file fills the low bytes", "\x2A", 42},
        {"two bytes", "\x01\x02", 0x0201},
        {"negative", "\xFF\xFF\xFF\xFF", -1},
        {"extra bytes ignored", std::string("\x05\0\0\0\x09", 5), 5},
        {"empty", "", 0},
    };
    std::string path = testenv::MakeTempDir() + "/list.iqx";
    for (const Case& c : cases) {
        WriteBytes(path, c.bytes);
        EXPECT_EQ(ReadFileInt(path), c.want) << c.name;
    }
    EXPECT_EQ(ReadFileInt(path + ".missing"), 0);
}

TEST(SpeechProgress, WritesExactlyFourBytes) {
    std::string path = testenv::MakeTempDir() + "/list.iqx";
    WriteBytes(path, "much longer old content");
    ASSERT_TRUE(WriteFileInt(path, -2));
    EXPECT_EQ(ReadBytes(path), "\xFE\xFF\xFF\xFF");
    EXPECT_EQ(ReadFileInt(path), -2);
}

// ---- failed writes ---------------------------------------------------------------------

TEST(DataFileWriters, MissingFolderFailsAndCreatesNothing) {
    std::string dir = testenv::MakeTempDir();
    std::string gone = dir + "/no such folder/";
    std::string error;
    EXPECT_FALSE(WriteProgressFile(gone + "a.dqx", {{"KAT", "cat"}}, 0, &error));
    EXPECT_NE(error.find("a.dqx"), std::string::npos) << error;
    EXPECT_FALSE(WriteFileInt(gone + "a.iqx", 1));
    EXPECT_FALSE(WriteWordListFile(gone + "a.edq", {"a"}));
    EXPECT_TRUE(testfiles::FolderNames(dir).empty());
}

TEST(DataFileWriters, FailingPartWayKeepsTheOldFile) {
    std::string big(300 * 1024, 'w');  // past the write buffer: fails in a direct write
    struct Case {
        const char* name;
        const char* file;
        rlim_t limit;
        std::function<bool(const std::string&)> write;
    } cases[] = {
        {"progress, large", "a.dqx", 4096,
         [&](const std::string& p) { return WriteProgressFile(p, {{"KAT", big}}, 1); }},
        {"progress, small", "a.dqx", 10,
         [](const std::string& p) { return WriteProgressFile(p, {{"KAT", "cat and more"}}, 1); }},
        {"speech progress", "a.iqx", 2, [](const std::string& p) { return WriteFileInt(p, 7); }},
        {"word list", "a.edq", 100,
         [&](const std::string& p) { return WriteWordListFile(p, {big}); }},
    };
    for (const Case& c : cases) {
        std::string dir = testenv::MakeTempDir();
        std::string path = dir + "/" + c.file;
        WriteBytes(path, "old");
        auto result = testfiles::RunWithFileSizeLimit(c.limit, [&] { return c.write(path); });
        EXPECT_EQ(result, testfiles::ChildResult::ReturnedFalse) << c.name;
        EXPECT_EQ(ReadBytes(path), "old") << c.name;
        EXPECT_EQ(testfiles::FolderNames(dir), Lines{c.file}) << c.name << ": temporary file left";
    }
}

// Saves run without root's power over permissions here: as root every file may be written.
TEST(DataFileWriters, ProtectedTargetsAreRefusedAndLinksWrittenThrough) {
    using Writer = std::function<bool(const std::string&)>;
    std::string progressDir = testenv::MakeTempDir();
    std::string progress = progressDir + "/list.dqx";
    ASSERT_TRUE(WriteProgressFile(progress, {{"KAT", "cat"}}, 3));
    ASSERT_EQ(chmod(progress.c_str(), 0644), 0);
    struct WriterCase {
        const char* name;
        Writer write;
    } writers[] = {
        {"progress",
         [](const std::string& p) { return WriteProgressFile(p, {{"KAT", "cat"}}, 3); }},
        {"speech progress", [](const std::string& p) { return WriteFileInt(p, 7); }},
        {"rtf", [&](const std::string& p) { return WriteRtfDictionary(progress, p); }},
    };
    enum Target { Writable, ReadOnly, DanglingLink, DanglingChain, LinkToReadOnly, LinkLoop };
    struct TargetCase {
        const char* name;
        Target target;
        bool saved;
    } targets[] = {
        {"writable file", Writable, true},
        {"read-only file", ReadOnly, false},
        {"dangling link", DanglingLink, true},
        {"chain of links ending nowhere", DanglingChain, true},
        {"link to a read-only file", LinkToReadOnly, false},
        {"link loop", LinkLoop, false},
    };
    for (const WriterCase& w : writers) {
        std::string reference = testenv::MakeTempDir() + "/reference";
        ASSERT_TRUE(w.write(reference)) << w.name;
        const std::string written = ReadBytes(reference);
        for (const TargetCase& t : targets) {
            std::string what = std::string(w.name) + ", " + t.name;
            std::string dir = testenv::MakeTempDir();
            std::string path = dir + "/target", real = dir + "/real";
            switch (t.target) {
                case Writable: WriteBytes(path, "old"); chmod(path.c_str(), 0666); break;
                case ReadOnly: WriteBytes(path, "old"); chmod(path.c_str(), 0444); break;
                case DanglingLink: ASSERT_EQ(symlink("real", path.c_str()), 0); break;
                case DanglingChain:
                    ASSERT_EQ(symlink("middle", path.c_str()), 0);
                    ASSERT_EQ(symlink(real.c_str(), (dir + "/middle").c_str()), 0);
                    break;
                case LinkToReadOnly:
                    WriteBytes(real, "old");
                    chmod(real.c_str(), 0444);
                    ASSERT_EQ(symlink("real", path.c_str()), 0);
                    break;
                case LinkLoop:
                    ASSERT_EQ(symlink("other", path.c_str()), 0);
                    ASSERT_EQ(symlink("target", (dir + "/other").c_str()), 0);
                    break;
            }
            // A save through a dangling link creates the file it points at, nothing else.
            auto expected = testfiles::FolderNames(dir);
            if (t.target == DanglingLink || t.target == DanglingChain) {
                expected.push_back("real");
                std::sort(expected.begin(), expected.end());
            }
            auto result = testfiles::RunWithoutRoot([&] { return w.write(path); });
            ASSERT_NE(result, testfiles::ChildResult::Crashed) << what;
            EXPECT_EQ(result == testfiles::ChildResult::ReturnedTrue, t.saved) << what;
            EXPECT_EQ(testfiles::FolderNames(dir), expected) << what;
            struct stat st {};
            if (t.target != Writable && t.target != ReadOnly) {
                EXPECT_TRUE(lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
                    << what << ": the link was replaced";
            }
            if (t.saved) {
                EXPECT_EQ(ReadBytes(path), written) << what;
            } else if (t.target != LinkLoop) {
                EXPECT_EQ(ReadBytes(path), "old") << what;
            }
        }
    }
}

// ---- titles ----------------------------------------------------------------------------

TEST(PathTitle, CutsAtLastDotThenAfterLastSeparator) {
    struct Case {
        const char* path;
        const char* want;
    } cases[] = {
        {"C:\\Data\\Basics\\Lesson 1.edq", "Lesson 1"},
        {"list", "list"},
        {"a.b.c", "a.b"},
        {"C:\\a.b\\list", "a"},
        {"/home/ann/Data/Basics/Lesson 1.edq", "Lesson 1"},
        {"./Data/Phrases/Short Phrases.edq", "Short Phrases"},
        {"Data\\Mixed/both.edq", "both"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(GetPathTitle(c.path), c.want) << c.path;
    // Same-named lists of two modules share one progress file.
    EXPECT_EQ(GetPathTitle("Data/One/Days.edq"), GetPathTitle("Data/Two/Days.edq"));
}

// ---- the same readers and writers over bytes in memory -----------------------------------

// The in-memory entry points give what the file ones give for the same bytes: good files,
// files cut or damaged, one past a read block, and the bytes each writer writes.
TEST(DataFilesInMemory, ReadAndWriteAsTheFileFunctionsDo) {
    std::string big;
    for (unsigned n = 0; big.size() < 300 * 1024; ++n) big += "line " + std::to_string(n) + "\r\n";
    std::string garbage;
    for (unsigned n = 0; n < 5000; ++n) garbage.push_back(char((n * 40503u) >> 7));
    const std::string good = "KAT\x01" "cat\x11" "TKOG\x01" "dog\x11";
    const std::string files[] = {
        "",
        "\x07\x00\x00",
        Enciphered("one\r\ntwo\r\nlast", kWordListKey),
        Enciphered(big, kWordListKey),
        ProgressBytes(3, good),
        ProgressBytes(3, good).substr(0, 4 + 12),
        ProgressBytes(0xFFFFFFFEu, good + garbage),
        garbage,
    };
    const std::string dir = testenv::MakeTempDir();
    const std::string path = dir + "/data", rtf = dir + "/data.rtf";
    for (std::size_t n = 0; n < std::size(files); ++n) {
        SCOPED_TRACE(n);
        const std::string& bytes = files[n];
        WriteBytes(path, bytes);
        EXPECT_EQ(ParseWordList(bytes), ReadWordListFile(path));
        int fromFile = -5, fromMemory = -5;
        EXPECT_EQ(ParseProgressFile(bytes, fromMemory), ReadProgressFile(path, fromFile));
        EXPECT_EQ(fromMemory, fromFile);
        EXPECT_EQ(ParseFileInt(bytes), ReadFileInt(path));
        ASSERT_TRUE(WriteRtfDictionary(path, rtf));
        EXPECT_EQ(RtfDictionaryText(bytes), ReadBytes(rtf));

        const Lines lines = ParseWordList(bytes);
        ASSERT_TRUE(WriteWordListFile(path, lines));
        EXPECT_EQ(EncodeWordList(lines), ReadBytes(path));
        const Entries entries = ParseProgressFile(bytes, fromMemory);
        ASSERT_TRUE(WriteProgressFile(path, entries, fromMemory));
        EXPECT_EQ(EncodeProgressFile(entries, fromMemory), ReadBytes(path));
    }
}
