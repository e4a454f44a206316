// Folder listings and the private temporary folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>

#include "platform/FileSystem.h"
#include "tests/support/TestEnvironment.h"

namespace {

void Touch(const std::string& path) { std::ofstream(path) << "x"; }

TEST(FileSystem, PatternsMatchWholeNamesInEitherCase) {
    const struct {
        const char* name;
        const char* pattern;
        bool matches;
    } cases[] = {
        {"EZWriter.000", "EZWriter.*", true},   {"ezwriter.001", "EZWriter.*", true},
        {"EZWriter", "EZWriter.*", false},      {"xEZWriter.000", "EZWriter.*", false},
        {"Flash.012", "flash.0?2", true},       {"Flash.0122", "flash.0?2", false},
        {"a.b.c", "*.c", true},                 {"anything", "*", true},
        {"", "*", true},                        {"abc", "a*b*c*", true},
        {"abx", "a*b*c", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::MatchesPattern(c.name, c.pattern), c.matches)
            << c.name << " against " << c.pattern;
}

TEST(FileSystem, ListingIsSortedByNameInEitherCase) {
    const std::string folder = testenv::MakeTempDir();
    for (const char* name : {"b", "C", "a", "B"}) Touch(folder + "/" + name);
    mkdir((folder + "/sub").c_str(), 0700);
    std::vector<std::string> names, paths;
    for (const auto& e : platform::ListFolder(folder)) {
        names.push_back(e.name);
        paths.push_back(e.path);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"a", "B", "b", "C", "sub"}));
    EXPECT_EQ(paths.front(), folder + "/a");

    auto only = platform::ListFolder(folder + "/", "b");
    ASSERT_EQ(only.size(), 2u);  // "B" and "b"
    EXPECT_TRUE(only[0].isRegularFile);
    EXPECT_EQ(only[0].size, 1u);
    EXPECT_EQ(only[0].path, folder + "/B");
    EXPECT_TRUE(platform::ListFolder(folder, "sub").front().isDirectory);
    EXPECT_TRUE(platform::ListFolder(folder + "/missing").empty());
    EXPECT_TRUE(platform::ListFolder("").empty());
}

TEST(FileSystem, CreationTimeFallsBackToTheLastWrite) {
    const std::string folder = testenv::MakeTempDir();
    Touch(folder + "/f");
    auto entries = platform::ListFolder(folder);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_GT(entries[0].modified, 0);
    EXPECT_GT(entries[0].created, 0);  // birth time, or the last write where none is kept
}

TEST(FileSystem, LocalDateTimeFollowsTheTimeZone) {
    platform::LocalDateTime t;
    ASSERT_TRUE(platform::ToLocalDateTime(1236416700, t));  // TZ=UTC in tests
    EXPECT_EQ(t.year, 2009);
    EXPECT_EQ(t.month, 3);
    EXPECT_EQ(t.day, 7);
    EXPECT_EQ(t.hour, 9);
    EXPECT_EQ(t.minute, 5);
}

TEST(FileSystem, PrivateFolderIsMadeClosedAndReused) {
    const std::string parent = testenv::MakeTempDir();
    std::string folder = platform::EnsurePrivateFolder(parent, "dqs-test");
    ASSERT_EQ(folder, parent + "/dqs-test");
    struct stat st {};
    ASSERT_EQ(lstat(folder.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(platform::EnsurePrivateFolder(parent, "dqs-test"), folder);
    EXPECT_TRUE(platform::IsPrivateFolder(folder));
}

TEST(FileSystem, PrivateFolderRefusesWhatOthersCouldReach) {
    const std::string parent = testenv::MakeTempDir();
    const std::string target = testenv::MakeTempDir("elsewhere");
    struct Case {
        const char* name;
        std::function<void(const std::string&)> plant;
    };
    const Case cases[] = {
        {"open to others",
         [](const std::string& p) {
             mkdir(p.c_str(), 0700);
             chmod(p.c_str(), 0777);
         }},
        {"a link to elsewhere", [&](const std::string& p) { symlink(target.c_str(), p.c_str()); }},
        {"a plain file", [](const std::string& p) { Touch(p); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string planted = parent + "/" + c.name;
        c.plant(planted);
        std::string folder = platform::EnsurePrivateFolder(parent, c.name);
        ASSERT_FALSE(folder.empty());
        EXPECT_NE(folder, planted);
        EXPECT_EQ(folder.rfind(planted + ".", 0), 0u) << folder;
        EXPECT_TRUE(platform::IsPrivateFolder(folder));
    }
    if (geteuid() == 0) {  // only root can hand a folder to another user
        const std::string foreign = parent + "/foreign";
        mkdir(foreign.c_str(), 0700);
        ASSERT_EQ(chown(foreign.c_str(), 12345, 12345), 0);
        EXPECT_NE(platform::EnsurePrivateFolder(parent, "foreign"), foreign);
    }
    EXPECT_TRUE(platform::EnsurePrivateFolder(parent + "/missing/deeper", "x").empty());
}

}  // namespace
