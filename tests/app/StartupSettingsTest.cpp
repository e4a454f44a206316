// Each test runs in a process of its own with an empty profile.
#include "app/StartupSettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "core/AppSettings.h"
#include "platform/Profile.h"
#include "tests/support/FileHelpers.h"
#include "tests/support/TestEnvironment.h"

namespace {

namespace fs = std::filesystem;
using platform::GetProfileString;
using platform::WriteProfileString;
using Names = std::vector<std::string>;

TEST(StartupSettingsTest, FirstStartWithNoDataAnywhereWritesTheDefaultDataFolderAtOnce) {
    AppSettings settings;
    const DataFolderChoice choice = ReadStartupSettings(settings, "/home/ann/steno", "");
    EXPECT_FALSE(choice.found);
    EXPECT_EQ(settings.dataFolder, "/home/ann/steno/Data");
    EXPECT_EQ(GetProfileString(kDataSection, kDataDirectoryValue, "absent"), "/home/ann/steno/Data");
    EXPECT_EQ(settings.userName, "");
    EXPECT_TRUE(settings.userNames.empty());
}

TEST(StartupSettingsTest, StoredValuesWin) {
    const std::string words = testenv::MakeTempDir("words");
    WriteProfileString(kDataSection, kDataDirectoryValue, words);
    WriteProfileString(kDataSection, kDefaultUserValue, "anna");
    WriteProfileString(kDataSection, kUsersValue, "default anna");
    const std::string here = testenv::MakeTempDir("cwd");
    fs::create_directory(here + "/Data");
    AppSettings settings;
    settings.userNames = {"stale"};
    ReadStartupSettings(settings, here, "");
    EXPECT_EQ(settings.dataFolder, words);
    EXPECT_EQ(settings.userName, "anna");
    EXPECT_EQ(settings.userNames, (Names{"default", "anna"}));
}

TEST(StartupSettingsTest, AStoredFolderThatHasGoneIsReplacedByTheInstalledOneAndStored) {
    const std::string home = testenv::MakeTempDir("home");
    const std::string installed = testenv::MakeTempDir("installed");
    WriteProfileString(kDataSection, kDataDirectoryValue, home + "/Data");
    AppSettings settings;
    const DataFolderChoice choice = ReadStartupSettings(settings, home, installed);
    EXPECT_TRUE(choice.found);
    EXPECT_EQ(settings.dataFolder, installed);
    EXPECT_EQ(GetProfileString(kDataSection, kDataDirectoryValue), installed);
}

TEST(StartupSettingsTest, TheDefaultFollowsTheWorkingFolderNotTheProgram) {
    const std::string here = CurrentFolder();
    ASSERT_FALSE(here.empty());
    AppSettings settings;
    ReadStartupSettings(settings, here, "");
    EXPECT_EQ(settings.dataFolder, here + "/Data");
}

TEST(StartupSettingsTest, TheInstalledDataFolderIsFoundFromTheProgramsOwnFolder) {
    EXPECT_EQ(fs::path(ProgramPath()).filename(), "app_tests");
    // With the default install folders (bin/ and share/ below one prefix).
    EXPECT_EQ(InstalledDataFolder("/opt/dq/bin/DictionaryQuillfast"),
              "/opt/dq/share/DictionaryQuillfast/Data");
    EXPECT_EQ(InstalledDataFolder(""), "");
}

// ---- the data folder's choice ---------------------------------------------------------------
constexpr char kHome[] = "/home/ann";
constexpr char kSteno[] = "/home/ann/steno";
constexpr char kInstalled[] = "/opt/dq/share/DictionaryQuillfast/Data";

struct ChoiceCase {
    const char* name;
    std::string stored;
    std::string currentFolder;
    std::string installed;
    std::set<std::string> existing;
    DataFolderChoice expected;
};

class ChooseDataFolderTest : public testing::TestWithParam<ChoiceCase> {};

TEST_P(ChooseDataFolderTest, TakesTheFirstFolderThatExists) {
    const ChoiceCase& c = GetParam();
    const DataFolderChoice choice =
        ChooseDataFolder(c.stored, c.currentFolder, c.installed,
                         [&](const std::string& path) { return c.existing.count(path) > 0; });
    EXPECT_EQ(choice.folder, c.expected.folder);
    EXPECT_EQ(choice.found, c.expected.found);
    EXPECT_EQ(choice.looked, c.expected.looked);
}

const std::string kStenoData = std::string(kSteno) + "/Data";
const std::string kHomeData = std::string(kHome) + "/Data";

INSTANTIATE_TEST_SUITE_P(
    Starts, ChooseDataFolderTest,
    testing::Values(
        ChoiceCase{"FirstStartWithDataHere", "", kSteno, kInstalled, {kStenoData, kInstalled},
                   {kStenoData, true, {kStenoData}}},
        ChoiceCase{"FirstStartWithoutDataHere", "", kHome, kInstalled, {kInstalled},
                   {kInstalled, true, {kHomeData, kInstalled}}},
        ChoiceCase{"StoredFolderThatExistsStays", "/srv/words", kSteno, kInstalled,
                   {"/srv/words", kStenoData, kInstalled}, {"/srv/words", true, {"/srv/words"}}},
        // Once started in the home folder, later started from the desktop entry.
        ChoiceCase{"StoredFolderThatVanishedTakesTheInstalledOne", kHomeData, kHome, kInstalled,
                   {kInstalled}, {kInstalled, true, {kHomeData, kInstalled}}},
        ChoiceCase{"StoredFolderThatVanishedTakesDataHere", kHomeData, kSteno, kInstalled,
                   {kStenoData, kInstalled}, {kStenoData, true, {kHomeData, kStenoData}}},
        ChoiceCase{"NoneFoundAtTheFirstStart", "", kSteno, kInstalled, {},
                   {kStenoData, false, {kStenoData, kInstalled}}},
        // A folder on a disk that is not mounted now is kept for when it is.
        ChoiceCase{"NoneFoundKeepsTheStoredFolder", "/media/usb/Data", kSteno, kInstalled, {},
                   {"/media/usb/Data", false, {"/media/usb/Data", kStenoData, kInstalled}}},
        ChoiceCase{"NoneFoundAndNoInstalledFolderKnown", "", kSteno, "", {},
                   {kStenoData, false, {kStenoData}}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- what the user is told ------------------------------------------------------------------
TEST(NoModulesNoticeTest, NamesEveryFolderLookedAtWhenNoneWasFound) {
    const std::string notice =
        NoModulesNotice({kStenoData, false, {kHomeData, kStenoData, kInstalled}});
    for (const std::string& folder : {kHomeData, kStenoData, std::string(kInstalled)})
        EXPECT_NE(notice.find(folder), std::string::npos) << folder;
    EXPECT_NE(notice.find("no data folder was found"), std::string::npos);
    EXPECT_NE(notice.find(platform::ProfileFilePath()), std::string::npos);
}

TEST(NoModulesNoticeTest, AFolderWithoutModulesIsNamedAndOneWithAModuleNeedsNoNotice) {
    const std::string data = testenv::MakeTempDir("data");
    fs::create_directory(data + "/Empty");
    const std::string notice = NoModulesNotice({data, true, {data}});
    EXPECT_NE(notice.find(data + " holds no module"), std::string::npos) << notice;
    testfiles::WriteBytes(data + "/Empty/Lesson.edq", "x");
    EXPECT_EQ(NoModulesNotice({data, true, {data}}), "");
}

struct SplitCase {
    const char* name;
    const char* text;
    Names expected;
};

class SplitUserNamesTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitUserNamesTest, SplitsOnAnyWhiteSpace) {
    EXPECT_EQ(SplitUserNames(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SplitUserNamesTest,
    testing::Values(SplitCase{"OneBlank", "default anna", {"default", "anna"}},
                    SplitCase{"SeveralBlanks", "default    anna", {"default", "anna"}},
                    SplitCase{"Tabs", "default\t\tanna", {"default", "anna"}},
                    SplitCase{"LineBreaks", "default\r\nanna\n", {"default", "anna"}},
                    SplitCase{"AroundTheEnds", "  default anna  ", {"default", "anna"}},
                    SplitCase{"OnlyWhiteSpace", " \t\n ", {}},
                    SplitCase{"Empty", "", {}},
                    SplitCase{"OneName", "default", {"default"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StartupSettingsTest, UsersOfOnlyWhiteSpaceGiveAnEmptyList) {
    WriteProfileString(kDataSection, kUsersValue, "   \t ");
    AppSettings settings;
    ReadStartupSettings(settings, "/x", "");
    EXPECT_TRUE(settings.userNames.empty());
}

}  // namespace
