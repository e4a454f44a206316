// Each test runs in a process of its own with an empty profile.
#include "app/StartupSettings.h"

#include <gtest/gtest.h>

#include "core/AppSettings.h"
#include "platform/Profile.h"

namespace {

using platform::GetProfileString;
using platform::WriteProfileString;
using Names = std::vector<std::string>;

TEST(StartupSettingsTest, FirstStartWritesTheDefaultDataFolderAtOnce) {
    AppSettings settings;
    ReadStartupSettings(settings, "/home/ann/steno");
    EXPECT_EQ(settings.dataFolder, "/home/ann/steno/Data");
    EXPECT_EQ(GetProfileString(kDataSection, kDataDirectoryValue, "absent"), "/home/ann/steno/Data");
    EXPECT_EQ(settings.userName, "");
    EXPECT_TRUE(settings.userNames.empty());
}

TEST(StartupSettingsTest, StoredValuesWin) {
    WriteProfileString(kDataSection, kDataDirectoryValue, "/srv/words");
    WriteProfileString(kDataSection, kDefaultUserValue, "anna");
    WriteProfileString(kDataSection, kUsersValue, "default anna");
    AppSettings settings;
    settings.userNames = {"stale"};
    ReadStartupSettings(settings, "/elsewhere");
    EXPECT_EQ(settings.dataFolder, "/srv/words");
    EXPECT_EQ(settings.userName, "anna");
    EXPECT_EQ(settings.userNames, (Names{"default", "anna"}));
}

TEST(StartupSettingsTest, TheDefaultFollowsTheWorkingFolderNotTheProgram) {
    const std::string here = CurrentFolder();
    ASSERT_FALSE(here.empty());
    AppSettings settings;
    ReadStartupSettings(settings, here);
    EXPECT_EQ(settings.dataFolder, here + "/Data");
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
    ReadStartupSettings(settings, "/x");
    EXPECT_TRUE(settings.userNames.empty());
}

}  // namespace
