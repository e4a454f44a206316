#include "platform/Folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/FileHelpers.h"
#include "tests/support/TestEnvironment.h"

namespace {

namespace fs = std::filesystem;
using testfiles::ReadBytes;
using testfiles::WriteBytes;

TEST(FolderTest, MakeFolderWithParents) {
    const std::string root = testenv::MakeTempDir("folders");
    WriteBytes(root + "/file", "x");
    const struct {
        std::string path;
        bool made;
        std::string namedInError;
    } cases[] = {
        {root + "/a/b/c", true, ""},
        {root + "/a/b/c/", true, ""},          // trailing separator; exists already
        {root + "/d//e", true, ""},            // doubled separator
        {root + "/file/sub", false, root + "/file"},  // a file where a folder should be
        {root + "/file", false, root + "/file"},
        {"", false, ""},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(platform::MakeFolderWithParents(c.path, &error), c.made) << c.path;
        if (c.made) {
            EXPECT_TRUE(fs::is_directory(c.path)) << c.path;
        } else {
            EXPECT_FALSE(error.empty()) << c.path;
            EXPECT_NE(error.find(c.namedInError), std::string::npos) << error;
        }
    }
}

TEST(FolderTest, MoveNeverReplacesAFile) {
    const std::string root = testenv::MakeTempDir("moves");
    WriteBytes(root + "/old", "old");
    WriteBytes(root + "/taken", "kept");
    std::string error;
    EXPECT_FALSE(platform::MoveFileNoReplace(root + "/old", root + "/taken", &error));
    EXPECT_NE(error.find(root + "/old"), std::string::npos) << error;
    EXPECT_EQ(ReadBytes(root + "/taken"), "kept");
    EXPECT_EQ(ReadBytes(root + "/old"), "old");

    EXPECT_TRUE(platform::MoveFileNoReplace(root + "/old", root + "/new"));
    EXPECT_EQ(ReadBytes(root + "/new"), "old");
    EXPECT_FALSE(fs::exists(root + "/old"));
    EXPECT_FALSE(platform::MoveFileNoReplace(root + "/missing", root + "/elsewhere"));
    EXPECT_FALSE(platform::MoveFileNoReplace(root + "/new", root + "/no such folder/new"));
    EXPECT_TRUE(fs::exists(root + "/new"));
}

}  // namespace
