// Each test runs in a process of its own with an empty profile.
#include "core/AppSettings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <random>
#include <thread>
#include <utility>

#include "core/Stroke.h"
#include "platform/Profile.h"
#include "tests/support/HexBytes.h"
#include "tests/support/TestEnvironment.h"

namespace {

using platform::GetProfileInt;
using platform::GetProfileString;
using platform::WriteProfileInt;
using platform::WriteProfileString;

// The command strokes and masks, by their profile value names.
const std::pair<const char*, Outline AppSettings::*> kStrokeFields[] = {
    {"Next", &AppSettings::nextStroke},     {"Back", &AppSettings::backStroke},
    {"Accept", &AppSettings::acceptStroke}, {"Clear", &AppSettings::clearStroke},
    {"Delete", &AppSettings::deleteStroke}, {"Shadow", &AppSettings::shadowMask},
    {"Drop", &AppSettings::dropMask}};

class AppSettingsTest : public testing::Test {
protected:
    void SetUp() override { settings.dataFolder = testenv::MakeTempDir("Data"); }

    AppSettings settings;
};

TEST_F(AppSettingsTest, FreshProfileGivesTheDefaults) {
    settings.LoadUserSettings("default");
    EXPECT_EQ(settings.writerType, 4);
    EXPECT_EQ(settings.port, 1);
    EXPECT_EQ(settings.baudRate, 9600);
    EXPECT_EQ(settings.parity, 0);
    EXPECT_EQ(settings.dataBits, 8);
    EXPECT_EQ(settings.stopBits, 1);
    EXPECT_EQ(settings.keyboardLayout, 0);
    EXPECT_EQ(settings.usbFlag, 0);
    EXPECT_EQ(settings.nextStroke, ParseOutline(0, "*FPLT"));
    EXPECT_EQ(settings.backStroke, ParseOutline(0, "STPH*"));
    EXPECT_EQ(settings.acceptStroke, ParseOutline(0, "*RBGS"));
    EXPECT_EQ(settings.clearStroke, ParseOutline(0, "SKWR*"));
    EXPECT_EQ(settings.deleteStroke, ParseOutline(0, "*"));
    EXPECT_EQ(settings.shadowMask, ParseOutline(0, "STKPWHRFRPBLGTS"));
    EXPECT_EQ(settings.dropMask, ParseOutline(0, "LG"));
    EXPECT_EQ(settings.nextStroke.size(), std::size_t(kStrokeSize));

    settings.SaveUserSettings();
    EXPECT_EQ(GetProfileInt("default\\Settings\\Writer", "Port", -1), 0);
    EXPECT_EQ(GetProfileInt("default\\Settings\\Writer", "Type", -1), 4);
    EXPECT_EQ(GetProfileString("default\\Settings\\Strokes", "Next"), "*FPLT");
    EXPECT_EQ(GetProfileString("default\\Settings\\Strokes", "Delete"), "*");
}

TEST_F(AppSettingsTest, FrenchDefaultsParseInTheFrenchLayout) {
    // The shipped string table says "EN"; the French column is reached through ReadSections.
    EXPECT_FALSE(FrenchDefaults());
    settings.ReadSections("x\\Settings\\Writer", "x\\Settings\\Strokes", true);
    EXPECT_EQ(settings.keyboardLayout, 1);
    EXPECT_EQ(settings.nextStroke, ParseOutline(1, "KMFR"));
    EXPECT_EQ(settings.deleteStroke, ParseOutline(1, "KMFRUlsC"));
    EXPECT_EQ(settings.shadowMask, ParseOutline(1, "STKPWHRFRPBLGTS"));
}

TEST_F(AppSettingsTest, FrenchLayoutRoundTrip) {
    settings.LoadUserSettings("anna");
    settings.keyboardLayout = 1;
    settings.nextStroke = ParseOutline(1, "KMFR");
    settings.backStroke = ParseOutline(1, "AlnD");
    settings.SaveUserSettings();
    EXPECT_EQ(GetProfileInt("anna\\Settings\\Writer", "Language", -1), 1);
    EXPECT_EQ(GetProfileString("anna\\Settings\\Strokes", "Next"),
              FormatOutline(1, settings.nextStroke, 0));
    EXPECT_EQ(GetProfileString("anna\\Settings\\Strokes", "Accept"),
              FormatOutline(1, settings.acceptStroke, 0));

    AppSettings again;
    again.dataFolder = settings.dataFolder;
    again.LoadUserSettings("anna");
    EXPECT_EQ(again.keyboardLayout, 1);
    for (const auto& [name, field] : kStrokeFields) {
        EXPECT_EQ(GetProfileString("anna\\Settings\\Strokes", name),
                  FormatOutline(1, settings.*field, 0))
            << name;
        EXPECT_EQ(again.*field, settings.*field) << name;
    }
}

// What the user captured is the chord matched after a restart, in every layout, also where
// the stroke's text reads back as another stroke; the stored text stays the steno text.
TEST_F(AppSettingsTest, CapturedStrokesMatchTheSameChordAfterARestartInEveryLayout) {
    struct Case {
        int layout;
        bool textAloneLosesSome;  // some strokes' texts parse back to other strokes
    } cases[] = {{0, false}, {1, true},  {2, false},  {3, true},  {4, true},
                 {5, true},  {6, true},  {7, true},   {8, true},  {9, false},
                 {10, false}, {11, false}, {12, false}, {13, false}};
    std::mt19937 random(30);
    settings.LoadUserSettings("default");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layout);
        const std::uint8_t layout = std::uint8_t(c.layout);
        const int keys = LayoutKeyCount(c.layout);
        // Random chords, those whose text reads back as another stroke first.
        std::vector<Outline> lossy, others;
        for (int i = 0; i < 2000; ++i) {
            Stroke chord{};
            for (int position = 0; position < keys; ++position) {
                if (random() % 3 != 0) continue;
                const KeyBit bit = KeyPositionBit(position);
                chord[std::size_t(bit.byteIndex)] |= bit.mask;
            }
            if (keys < 36 && random() % 4 == 0) chord[0] |= kNumberBarFlag;
            if (chord == Stroke{}) continue;  // no chord is written without a key
            const Outline stroke(chord.begin(), chord.end());
            (ParseOutline(layout, FormatOutline(layout, stroke, 0)) != stroke ? lossy : others)
                .push_back(stroke);
        }
        EXPECT_EQ(!lossy.empty(), c.textAloneLosesSome) << lossy.size();
        std::vector<Outline> captured = lossy;
        captured.insert(captured.end(), others.begin(), others.end());

        settings.keyboardLayout = c.layout;
        std::size_t next = 0;
        for (int round = 0; round < 10; ++round) {
            for (const auto& [name, field] : kStrokeFields) settings.*field = captured[next++];
            settings.SaveUserSettings();
            platform::ReloadProfile();
            AppSettings again;
            again.dataFolder = settings.dataFolder;
            again.LoadUserSettings("default");
            ASSERT_EQ(again.keyboardLayout, c.layout);
            for (const auto& [name, field] : kStrokeFields) {
                EXPECT_EQ(again.*field, settings.*field) << name << " " << ToHex(settings.*field);
                EXPECT_EQ(GetProfileString("default\\Settings\\Strokes", name),
                          FormatOutline(layout, settings.*field, 0));
            }
        }
    }
}

// The exact bytes are kept only while the text beside them is the one they give: a text that
// another tool (or the user) changed, and bytes that are not whole strokes, give the text.
TEST_F(AppSettingsTest, AChangedStrokeTextWinsOverTheBytesKeptBesideIt) {
    settings.LoadUserSettings("default");
    settings.keyboardLayout = 1;
    settings.nextStroke = Outline("\x09\x06\x01\x00\x00\x00", 6);
    settings.backStroke = Outline("\x09\x06\x01\x00\x00\x00", 6);
    settings.SaveUserSettings();
    const std::string section = "default\\Settings\\Strokes";
    ASSERT_NE(ParseOutline(1, GetProfileString(section, "Next")), settings.nextStroke);
    WriteProfileString(section, "Next", "KMFR");
    WriteProfileString(section, "Back Exact", "0906");
    AppSettings again;
    again.dataFolder = settings.dataFolder;
    again.LoadUserSettings("default");
    EXPECT_EQ(again.nextStroke, ParseOutline(1, "KMFR"));
    EXPECT_EQ(again.backStroke, ParseOutline(1, GetProfileString(section, "Back")));
}

TEST_F(AppSettingsTest, UserNameIsLowerCasedForItsSectionsAndFolder) {
    settings.LoadUserSettings("Default");
    EXPECT_EQ(settings.userName, "default");
    EXPECT_EQ(settings.userFolder, settings.dataFolder + "/default/");
    EXPECT_TRUE(std::filesystem::is_directory(settings.userFolder));
    settings.writerType = 9;
    settings.SaveUserSettings();
    EXPECT_EQ(GetProfileInt("default\\Settings\\Writer", "Type", -1), 9);
    EXPECT_EQ(GetProfileInt("Default\\Settings\\Writer", "Type", -1), -1);
    EXPECT_EQ(GetProfileString("Settings\\Data", "Default User"), "default");
    // Only A to Z are lowered.
    settings.LoadUserSettings("\xC9LISE Q");
    EXPECT_EQ(settings.userName, "\xC9lise q");
}

TEST_F(AppSettingsTest, UserFolderIsMadeOneLevelOnly) {
    settings.dataFolder += "/missing";
    settings.LoadUserSettings("anna");
    EXPECT_FALSE(std::filesystem::exists(settings.userFolder));
    EXPECT_EQ(settings.writerType, 4);  // the settings still load
}

TEST_F(AppSettingsTest, UsersAreJoinedBySingleBlanks) {
    settings.LoadUserSettings("default");
    settings.SaveUserSettings();
    EXPECT_EQ(GetProfileString("Settings\\Data", "Users", "absent"), "");
    settings.userNames = {"default", "anna"};
    settings.SaveUserSettings();
    EXPECT_EQ(GetProfileString("Settings\\Data", "Users"), "default anna");
}

TEST_F(AppSettingsTest, EmptyStoredCommandStrokeIsNoStroke) {
    WriteProfileString("default\\Settings\\Strokes", "Back", "");
    WriteProfileString("default\\Settings\\Strokes", "Drop", "");
    settings.LoadUserSettings("default");
    EXPECT_TRUE(settings.backStroke.empty());
    EXPECT_TRUE(settings.dropMask.empty());
    EXPECT_EQ(settings.nextStroke, ParseOutline(0, "*FPLT"));
}

TEST_F(AppSettingsTest, StoredValuesInRangeAreKept) {
    const char* writer = "bob\\Settings\\Writer";
    WriteProfileInt(writer, "Type", 31);
    WriteProfileInt(writer, "Port", 254);
    WriteProfileInt(writer, "Baud Rate", 115000);
    WriteProfileInt(writer, "Data Bits", 7);
    WriteProfileInt(writer, "Parity", 3);
    WriteProfileInt(writer, "Stop Bits", 2);
    WriteProfileInt(writer, "Language", 13);
    WriteProfileString("bob\\Settings\\Strokes", "Next", "STPH");
    settings.LoadUserSettings("bob");
    EXPECT_EQ(settings.writerType, 31);
    EXPECT_EQ(settings.port, 255);
    EXPECT_EQ(settings.baudRate, 115000);
    EXPECT_EQ(settings.dataBits, 7);
    EXPECT_EQ(settings.parity, 3);
    EXPECT_EQ(settings.stopBits, 2);
    EXPECT_EQ(settings.keyboardLayout, 13);
    EXPECT_EQ(settings.nextStroke, ParseOutline(13, "STPH"));
}

struct RangeCase {
    const char* name;
    const char* value;
    int stored;
    int AppSettings::*field;
    int expected;
};
void PrintTo(const RangeCase& c, std::ostream* os) { *os << c.name; }

class AppSettingsRangeTest : public testing::TestWithParam<RangeCase> {};

TEST_P(AppSettingsRangeTest, StoredValueOutOfItsRangeTakesTheDefault) {
    const RangeCase& c = GetParam();
    WriteProfileInt("carl\\Settings\\Writer", c.value, c.stored);
    AppSettings settings;
    settings.dataFolder = testenv::MakeTempDir("Data");
    settings.LoadUserSettings("carl");
    EXPECT_EQ(settings.*c.field, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, AppSettingsRangeTest,
    testing::Values(RangeCase{"TypeNegative", "Type", -1, &AppSettings::writerType, 4},
                    RangeCase{"TypeTooHigh", "Type", 32, &AppSettings::writerType, 4},
                    RangeCase{"TypeZero", "Type", 0, &AppSettings::writerType, 0},
                    RangeCase{"PortNegative", "Port", -1, &AppSettings::port, 1},
                    RangeCase{"PortOverflow", "Port", 2147483647, &AppSettings::port, 1},
                    RangeCase{"PortBeyondEightBits", "Port", 255, &AppSettings::port, 1},
                    RangeCase{"BaudZero", "Baud Rate", 0, &AppSettings::baudRate, 9600},
                    RangeCase{"BaudNegative", "Baud Rate", -9600, &AppSettings::baudRate, 9600},
                    RangeCase{"DataBitsSix", "Data Bits", 6, &AppSettings::dataBits, 8},
                    RangeCase{"ParityFour", "Parity", 4, &AppSettings::parity, 0},
                    RangeCase{"StopBitsZero", "Stop Bits", 0, &AppSettings::stopBits, 1},
                    RangeCase{"StopBitsThree", "Stop Bits", 3, &AppSettings::stopBits, 1}),
    [](const testing::TestParamInfo<RangeCase>& info) { return std::string(info.param.name); });

TEST_F(AppSettingsTest, ImpossibleLanguageTakesTheDefaultLayout) {
    for (int stored : {-1, 14, 99}) {
        WriteProfileInt("dana\\Settings\\Writer", "Language", stored);
        WriteProfileString("dana\\Settings\\Strokes", "Next", "STPH");
        settings.LoadUserSettings("dana");
        EXPECT_EQ(settings.keyboardLayout, 0) << stored;
        EXPECT_EQ(settings.nextStroke, ParseOutline(0, "STPH")) << stored;
    }
}

TEST_F(AppSettingsTest, ImpossiblePortIsSavedWithoutOverflow) {
    settings.LoadUserSettings("eve");
    settings.port = -2147483647 - 1;
    settings.SaveUserSettings();
    settings.LoadUserSettings("eve");
    EXPECT_EQ(settings.port, 1);
}

TEST_F(AppSettingsTest, SavingLeavesOtherUsersAlone) {
    WriteProfileInt("anna\\Settings\\Writer", "Type", 12);
    WriteProfileString("anna\\Settings\\Strokes", "Next", "KWR");
    settings.LoadUserSettings("default");
    settings.SaveUserSettings();
    EXPECT_EQ(GetProfileInt("anna\\Settings\\Writer", "Type", -1), 12);
    EXPECT_EQ(GetProfileString("anna\\Settings\\Strokes", "Next"), "KWR");
}

TEST_F(AppSettingsTest, OlderMachineWideSectionsReadLikeAUsers) {
    WriteProfileInt("Settings\\Writer", "Port", 2);
    WriteProfileInt("Settings\\Writer", "Language", 1);
    WriteProfileString("Settings\\Strokes", "Next", "KMFR");
    settings.ReadSections("Settings\\Writer", "Settings\\Strokes", false);
    EXPECT_EQ(settings.port, 3);
    EXPECT_EQ(settings.keyboardLayout, 1);
    EXPECT_EQ(settings.nextStroke, ParseOutline(1, "KMFR"));
    EXPECT_EQ(settings.backStroke, ParseOutline(1, "STPH*"));  // English texts by default
}

// Reader threads read the layout and the USB flag while the user-interface thread loads and
// changes them (meaningful under ThreadSanitizer).
TEST_F(AppSettingsTest, ReaderThreadsMayReadLayoutAndUsbFlag) {
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        int seen = 0;
        while (!stop.load()) seen += settings.keyboardLayout + settings.usbFlag;
        EXPECT_GE(seen, 0);
    });
    for (int i = 0; i < 20; ++i) {
        settings.keyboardLayout = i % kLayoutCount;
        settings.usbFlag = i & 1;
        settings.LoadUserSettings("default");
    }
    stop = true;
    reader.join();
    EXPECT_EQ(settings.keyboardLayout, 0);
}

TEST(GetSettingsTest, OneRecordForTheWholeProgram) {
    EXPECT_EQ(&GetSettings(), &GetSettings());
    EXPECT_TRUE(GetSettings().userNames.empty());
    EXPECT_EQ(GetSettings().notesDriveLetter, 0);
}

}  // namespace
