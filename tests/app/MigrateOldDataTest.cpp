// Each test runs in a process of its own with an empty profile.
#include "app/MigrateOldData.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/UserStart.h"
#include "core/AppSettings.h"
#include "core/Stroke.h"
#include "platform/Profile.h"
#include "tests/support/FileHelpers.h"
#include "tests/support/TestEnvironment.h"

namespace {

namespace fs = std::filesystem;
using platform::WriteProfileInt;
using platform::WriteProfileString;
using testfiles::FolderNames;
using testfiles::ReadBytes;
using testfiles::WriteBytes;
using Names = std::vector<std::string>;

class MigrateOldDataTest : public testing::Test {
protected:
    void SetUp() override {
        data = testenv::MakeTempDir("Data");
        settings.dataFolder = data;
        documents = testenv::MakeTempDir("Documents") + "/Dictionary Quillfast/";
    }
    void Put(const std::string& relative, const std::string& bytes) {
        const fs::path path = data + "/" + relative;
        fs::create_directories(path.parent_path());
        WriteBytes(path.string(), bytes);
    }
    void WriteOldSettings() {
        WriteProfileInt(kOldWriterSection, "Type", 18);
        WriteProfileInt(kOldWriterSection, "Port", 2);
        WriteProfileInt(kOldWriterSection, "Baud Rate", 19200);
        WriteProfileInt(kOldWriterSection, "Data Bits", 7);
        WriteProfileInt(kOldWriterSection, "Parity", 2);
        WriteProfileInt(kOldWriterSection, "Stop Bits", 2);
        WriteProfileInt(kOldWriterSection, "Language", 0);
        WriteProfileString(kOldStrokesSection, "Next", "TPH");
        WriteProfileString(kOldStrokesSection, "Delete", "TK-L");
    }
    std::string UserFile(const std::string& name) { return data + "/default/" + name; }

    AppSettings settings;
    std::string data;
    std::string documents;
};

TEST_F(MigrateOldDataTest, FirstStartMovesOldFilesAndTakesOverTheOldSettings) {
    Put("Basics/Lesson.edq", "list");
    Put("Basics/Lesson.dqx", "progress");
    Put("Basics/Lesson.rtf", "dictionary");
    WriteOldSettings();
    const UserStartResult result = StartDefaultUser(settings, documents);

    EXPECT_TRUE(result.firstRun);
    EXPECT_EQ(result.migration.found, 2);
    EXPECT_EQ(FolderNames(data + "/Basics"), (Names{"Lesson.edq"}));
    EXPECT_EQ(ReadBytes(UserFile("Lesson.dqx")), "progress");
    EXPECT_EQ(ReadBytes(UserFile("Lesson.rtf")), "dictionary");
    EXPECT_EQ(settings.writerType, 18);
    EXPECT_EQ(settings.port, 3);
    EXPECT_EQ(settings.baudRate, 19200);
    EXPECT_EQ(settings.dataBits, 7);
    EXPECT_EQ(settings.parity, 2);
    EXPECT_EQ(settings.stopBits, 2);
    EXPECT_EQ(settings.nextStroke, ParseOutline(0, "TPH"));
    EXPECT_EQ(settings.deleteStroke, ParseOutline(0, "TK-L"));
    EXPECT_EQ(settings.backStroke, ParseOutline(0, "STPH*"));  // absent: the English default

    // Saved as the user "default"'s own settings.
    AppSettings later;
    later.dataFolder = data;
    later.LoadUserSettings("default");
    EXPECT_EQ(later.writerType, 18);
    EXPECT_EQ(later.port, 3);
    EXPECT_EQ(later.nextStroke, ParseOutline(0, "TPH"));
}

TEST_F(MigrateOldDataTest, NoOldFilesLeavesTheUsersSettings) {
    Put("Basics/Lesson.edq", "list");
    Put("Lesson.dqx", "beside the modules, not in one");
    Put("Basics/deeper/Lesson.rtf", "too deep");
    WriteOldSettings();
    WriteProfileInt(WriterSection("default"), "Type", 2);
    const UserStartResult result = StartDefaultUser(settings, documents);
    EXPECT_TRUE(result.firstRun);
    EXPECT_EQ(result.migration.found, 0);
    EXPECT_EQ(settings.writerType, 2);
    EXPECT_EQ(settings.port, 1);
    EXPECT_TRUE(fs::exists(data + "/Lesson.dqx"));
    EXPECT_TRUE(fs::exists(data + "/Basics/deeper/Lesson.rtf"));
}

TEST_F(MigrateOldDataTest, FoundFilesWithoutOldValuesGiveTheDefaults) {
    Put("Basics/Lesson.dqx", "progress");
    WriteProfileInt(WriterSection("default"), "Type", 2);
    WriteProfileInt(WriterSection("default"), "Language", 1);
    StartDefaultUser(settings, documents);
    EXPECT_EQ(settings.writerType, 4);
    EXPECT_EQ(settings.port, 1);
    EXPECT_EQ(settings.baudRate, 9600);
    EXPECT_EQ(settings.dataBits, 8);
    EXPECT_EQ(settings.parity, 0);
    EXPECT_EQ(settings.stopBits, 1);
    EXPECT_EQ(settings.keyboardLayout, 0);
    EXPECT_EQ(settings.nextStroke, ParseOutline(0, "*FPLT"));
    EXPECT_EQ(settings.shadowMask, ParseOutline(0, "STKPWHRFRPBLGTS"));
    EXPECT_EQ(settings.dropMask, ParseOutline(0, "LG"));
}

TEST_F(MigrateOldDataTest, OldPortCountsFromZero) {
    for (const auto& [stored, port] : {std::pair{0, 1}, std::pair{2, 3}}) {
        Put("M/a.dqx", "p");
        WriteProfileInt(kOldWriterSection, "Port", stored);
        AppSettings fresh;
        fresh.dataFolder = data;
        fresh.LoadUserSettings("default");
        fs::remove(UserFile("a.dqx"));
        MigrateOldData(fresh);
        EXPECT_EQ(fresh.port, port) << stored;
    }
}

TEST_F(MigrateOldDataTest, OldStrokeTextsAreParsedInTheOldLayout) {
    Put("M/a.rtf", "r");
    WriteProfileInt(kOldWriterSection, "Language", 1);
    WriteProfileString(kOldStrokesSection, "Next", "KMFR");
    settings.LoadUserSettings("default");
    MigrateOldData(settings);
    EXPECT_EQ(settings.keyboardLayout, 1);
    EXPECT_EQ(settings.nextStroke, ParseOutline(1, "KMFR"));
    EXPECT_NE(settings.nextStroke, ParseOutline(0, "KMFR"));
}

TEST_F(MigrateOldDataTest, AFileAlreadyAtTheTargetIsNeverReplaced) {
    Put("default/Lesson.dqx", "newer progress");
    Put("Basics/Lesson.dqx", "older progress");
    Put("Basics/Other.dqx", "other");
    settings.LoadUserSettings("default");
    const MigrationResult result = MigrateOldData(settings);
    EXPECT_EQ(result.found, 3);  // the user folder's own file counts too
    EXPECT_EQ(ReadBytes(UserFile("Lesson.dqx")), "newer progress");
    EXPECT_EQ(ReadBytes(data + "/Basics/Lesson.dqx"), "older progress");
    EXPECT_EQ(ReadBytes(UserFile("Other.dqx")), "other");
    EXPECT_EQ(result.kept, (Names{data + "/Basics/Lesson.dqx", UserFile("Lesson.dqx")}));
}

TEST_F(MigrateOldDataTest, FilesAlreadyInTheUserFolderCountAsFound) {
    Put("default/Lesson.rtf", "dictionary");
    WriteProfileInt(kOldWriterSection, "Type", 9);
    const UserStartResult result = StartDefaultUser(settings, documents);
    EXPECT_EQ(result.migration.found, 1);
    EXPECT_EQ(settings.writerType, 9);
    EXPECT_EQ(ReadBytes(UserFile("Lesson.rtf")), "dictionary");
}

TEST_F(MigrateOldDataTest, ASecondStartDoesNotMigrate) {
    StartDefaultUser(settings, documents);
    Put("Basics/Lesson.dqx", "added since");
    WriteOldSettings();
    AppSettings second;
    second.dataFolder = data;
    second.userNames = {"default"};
    const UserStartResult result = StartDefaultUser(second, documents);
    EXPECT_FALSE(result.firstRun);
    EXPECT_EQ(result.migration.found, 0);
    EXPECT_TRUE(fs::exists(data + "/Basics/Lesson.dqx"));
    EXPECT_EQ(second.writerType, 4);
}

TEST_F(MigrateOldDataTest, MissingDataFolderFindsNothing) {
    settings.dataFolder = data + "/missing";
    settings.userFolder = data + "/missing/default/";
    EXPECT_EQ(MigrateOldData(settings).found, 0);
    settings.dataFolder.clear();
    EXPECT_EQ(MigrateOldData(settings).found, 0);
}

class UserStartTest : public MigrateOldDataTest {};

TEST_F(UserStartTest, DocumentsFolderIsMadeWithItsParents) {
    const std::string deep = testenv::MakeTempDir("home") + "/no/such/Documents/Dictionary Quillfast/";
    const UserStartResult result = StartDefaultUser(settings, deep);
    EXPECT_TRUE(result.documentsFolderReady);
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_EQ(settings.documentsFolder, deep);
}

TEST_F(UserStartTest, ADocumentsFolderThatCannotBeMadeIsReported) {
    const std::string home = testenv::MakeTempDir("home");
    WriteBytes(home + "/Documents", "a file where the folder should be");
    const UserStartResult result = StartDefaultUser(settings, home + "/Documents/Dictionary Quillfast/");
    EXPECT_FALSE(result.documentsFolderReady);
    EXPECT_NE(result.documentsError.find(home + "/Documents"), std::string::npos)
        << result.documentsError;
    // The rest of the start goes on.
    EXPECT_EQ(settings.userName, "default");
}

TEST_F(UserStartTest, DefaultJoinsTheUsersOnceAndIsSaved) {
    settings.userNames = {"anna", "default"};
    StartDefaultUser(settings, documents);
    StartDefaultUser(settings, documents);
    EXPECT_EQ(settings.userNames, (Names{"anna", "default"}));
    EXPECT_EQ(platform::GetProfileString(kDataSection, kUsersValue), "anna default");
    EXPECT_EQ(platform::GetProfileString(kDataSection, kDefaultUserValue), "default");
    EXPECT_TRUE(fs::is_directory(data + "/default"));
}

}  // namespace
