#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/InputFile.h"
#include "tests/support/FileHelpers.h"
#include "tests/support/TestEnvironment.h"

using testfiles::FolderNames;
using testfiles::ReadBytes;
using testfiles::WriteBytes;
using Names = std::vector<std::string>;

TEST(AtomicFile, ReplacesTheTargetOnlyOnCommit) {
    std::string dir = testenv::MakeTempDir();
    std::string path = dir + "/a.dqx";
    WriteBytes(path, "old");
    {
        platform::AtomicFile file(path);
        ASSERT_TRUE(file.Open());
        ASSERT_TRUE(file.Write("new "));
        ASSERT_TRUE(file.Write(std::string(200 * 1024, 'x')));  // larger than the buffer
        EXPECT_EQ(ReadBytes(path), "old");
        ASSERT_TRUE(file.Commit());
    }
    EXPECT_EQ(ReadBytes(path), "new " + std::string(200 * 1024, 'x'));
    EXPECT_EQ(FolderNames(dir), Names{"a.dqx"});
}

TEST(AtomicFile, AbandonedWriteLeavesNoTrace) {
    std::string dir = testenv::MakeTempDir();
    std::string path = dir + "/a.dqx";
    WriteBytes(path, "old");
    {
        platform::AtomicFile file(path);
        ASSERT_TRUE(file.Open());
        file.Write("half");
    }
    EXPECT_EQ(ReadBytes(path), "old");
    EXPECT_EQ(FolderNames(dir), Names{"a.dqx"});
}

TEST(AtomicFile, KeepsPermissionsAndSymbolicLinks) {
    std::string dir = testenv::MakeTempDir();
    std::string real = dir + "/real.rtf", link = dir + "/link.rtf";
    WriteBytes(real, "old");
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    ASSERT_EQ(symlink("real.rtf", link.c_str()), 0);
    ASSERT_TRUE(platform::WriteFileAtomically(link, "new"));

    struct stat st {};
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadBytes(real), "new");
    ASSERT_EQ(stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(AtomicFile, FailuresAreReportedAndCleanedUp) {
    std::string dir = testenv::MakeTempDir();
    std::string error;
    EXPECT_FALSE(platform::WriteFileAtomically(dir + "/missing/a.dqx", "x", &error));
    EXPECT_NE(error.find("missing/a.dqx"), std::string::npos) << error;

    // A folder where the file should be: the rename fails, the folder stays.
    ASSERT_EQ(mkdir((dir + "/taken.dqx").c_str(), 0700), 0);
    EXPECT_FALSE(platform::WriteFileAtomically(dir + "/taken.dqx", "x", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(FolderNames(dir), Names{"taken.dqx"});

    platform::AtomicFile unopened(dir + "/b.dqx");
    EXPECT_FALSE(unopened.Write("x"));
    EXPECT_FALSE(unopened.Commit());
    EXPECT_EQ(FolderNames(dir), Names{"taken.dqx"});
}

TEST(AtomicFile, DiskFullAtTheFlushReportsFailure) {
    std::string dir = testenv::MakeTempDir();
    std::string path = dir + "/a.iqx";
    WriteBytes(path, "old");
    std::string error;
    auto result = testfiles::RunWithFileSizeLimit(1, [&] {
        platform::AtomicFile file(path);
        // Buffered, so the writes succeed; the failure shows at Commit.
        return file.Open() && file.Write("1234") && file.Commit();
    });
    EXPECT_EQ(result, testfiles::ChildResult::ReturnedFalse);
    EXPECT_EQ(ReadBytes(path), "old");
    EXPECT_EQ(FolderNames(dir), Names{"a.iqx"});
}

TEST(InputFile, ReadsRegularFilesOnly) {
    std::string dir = testenv::MakeTempDir();
    WriteBytes(dir + "/f", "abcdef");
    platform::InputFile file;
    ASSERT_TRUE(file.Open(dir + "/f"));
    char buf[4];
    EXPECT_EQ(file.Read(buf, 4), 4);
    EXPECT_EQ(file.Read(buf, 4), 2);  // short only at the end
    EXPECT_EQ(file.Read(buf, 4), 0);

    EXPECT_FALSE(file.Open(dir + "/missing"));
    EXPECT_NE(file.Error().find("missing"), std::string::npos);
    EXPECT_FALSE(file.Open(dir));
    ASSERT_EQ(mkfifo((dir + "/pipe").c_str(), 0600), 0);
    EXPECT_FALSE(file.Open(dir + "/pipe"));  // and does not block
    EXPECT_NE(file.Error().find("not a regular file"), std::string::npos);
}
