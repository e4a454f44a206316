// Capture files: their names, the removal of an earlier transfer's files, and writes that fail.
#include <gtest/gtest.h>

#include "core/TextUtil.h"
#include "tests/support/FileHelpers.h"
#include "tests/support/TestEnvironment.h"
#include "writers/CaptureFile.h"

namespace {

TEST(CaptureFile, NamesCountInThreeDigitsAndStopAtTheLast) {
    EXPECT_EQ(CaptureFileName("Flash", 0), "Flash.000");
    EXPECT_EQ(CaptureFileName("Flash", 9), "Flash.009");
    EXPECT_EQ(CaptureFileName("Flash", 10), "Flash.010");
    EXPECT_EQ(CaptureFileName("Flash", 999), "Flash.999");
    EXPECT_EQ(CaptureFileName("Flash", 1000), "Flash.999");
    EXPECT_EQ(CaptureFileName("Flash", -1), "Flash.000");
}

TEST(CaptureFile, StaleFilesGoUpToTheFirstGap) {
    const std::string folder = testenv::MakeTempDir("capture");
    for (int n : {0, 1, 2, 3, 5}) testfiles::WriteBytes(folder + "/" + CaptureFileName("Flash", n), "x");
    DeleteCaptureFilesFrom(folder, "Flash", 1);
    EXPECT_EQ(testfiles::FolderNames(folder), (std::vector<std::string>{"Flash.000", "Flash.005"}));
}

TEST(CaptureFile, AFailedWriteLeavesTheEarlierFileAsItWas) {
    const std::string path = testenv::MakeTempDir("capture") + "/Flash.000";
    testfiles::WriteBytes(path, "earlier notes");
    const auto result = testfiles::RunWithFileSizeLimit(4096, [&] {
        CaptureFile file;
        if (!file.Create(path)) return true;
        file.Write(std::string(100000, '\x20'));
        return file.Close() || file.Error().find(path) == std::string::npos;
    });
    EXPECT_EQ(result, testfiles::ChildResult::ReturnedFalse);
    EXPECT_EQ(testfiles::ReadBytes(path), "earlier notes");
    EXPECT_EQ(testfiles::FolderNames(GetFolderPart(path)), std::vector<std::string>{"Flash.000"});
}

TEST(CaptureFile, NoFolderIsAFailureWithAReason) {
    CaptureFile file;
    EXPECT_FALSE(file.Create(""));
    EXPECT_FALSE(file.Error().empty());
    EXPECT_FALSE(file.Write("abc"));
    EXPECT_FALSE(file.Close());
    EXPECT_FALSE(file.Create(testenv::Root() + "/missing/Flash.000"));
    EXPECT_NE(file.Error().find("/missing/Flash.000"), std::string::npos);
}

}  // namespace
