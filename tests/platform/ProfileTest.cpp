// Each test runs in a process of its own with an empty XDG_CONFIG_HOME, so the profile file
// a test prepares is the one the profile opens.
#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/FileHelpers.h"
#include "tests/support/ScriptedPresenter.h"

namespace {

using Kind = ScriptedPresenter::Kind;

std::string ConfigFolder() { return std::string(std::getenv("XDG_CONFIG_HOME")) + "/DQS"; }
std::string ConfigFile() { return ConfigFolder() + "/DictionaryQuillfast.conf"; }

void WriteFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    testfiles::WriteBytes(path, bytes);
}

std::vector<ScriptedPresenter::Question> Notices(const ScriptedPresenter& presenter) {
    std::vector<ScriptedPresenter::Question> out;
    for (const auto& q : presenter.Asked())
        if (q.kind == Kind::Notice) out.push_back(q);
    return out;
}

TEST(ProfileTest, FileLivesInTheConfigFolder) {
    EXPECT_EQ(platform::ProfileFilePath(), ConfigFile());
}

TEST(ProfileTest, IntegersAndTextsRoundTripUnderRegistrySections) {
    ASSERT_TRUE(platform::WriteProfileInt("default\\Settings\\Writer", "Port", 0));
    ASSERT_TRUE(platform::WriteProfileInt("default\\Settings\\Writer", "Baud Rate", -9600));
    ASSERT_TRUE(platform::WriteProfileString("Settings\\Data", "Users", "default anna"));
    EXPECT_EQ(platform::GetProfileInt("default\\Settings\\Writer", "Port", 5), 0);
    EXPECT_EQ(platform::GetProfileInt("default/Settings/Writer", "Baud Rate", 5), -9600);
    EXPECT_EQ(platform::GetProfileString("Settings\\Data", "Users", "x"), "default anna");

    // The file holds the registry's sections as groups, numbers as numbers.
    QSettings file(QString::fromStdString(ConfigFile()), QSettings::IniFormat);
    EXPECT_EQ(file.value("default/Settings/Writer/Port").toString(), "0");
    EXPECT_EQ(file.value("Settings/Data/Users").toString(), "default anna");
}

TEST(ProfileTest, MissingOrNonNumericValuesGiveTheDefault) {
    EXPECT_EQ(platform::GetProfileInt("a\\b", "Type", 4), 4);
    // A number beyond an int is none, rather than its low 32 bits.
    for (const char* beyond : {"4294967300", "-2147483649", "99999999999999999999"}) {
        ASSERT_TRUE(platform::WriteProfileString("a\\b", "Port", beyond));
        EXPECT_EQ(platform::GetProfileInt("a\\b", "Port", 5), 5) << beyond;
    }
    ASSERT_TRUE(platform::WriteProfileString("a\\b", "Port", "-2147483648"));
    EXPECT_EQ(platform::GetProfileInt("a\\b", "Port", 5), -2147483648);
    EXPECT_EQ(platform::GetProfileString("a\\b", "Next", "*FPLT"), "*FPLT");
    ASSERT_TRUE(platform::WriteProfileString("a\\b", "Type", "four"));
    EXPECT_EQ(platform::GetProfileInt("a\\b", "Type", 4), 4);
    ASSERT_TRUE(platform::WriteProfileString("a\\b", "Empty", ""));
    EXPECT_EQ(platform::GetProfileString("a\\b", "Empty", "default"), "");
}

TEST(ProfileTest, Windows1252TextIsStoredAsUnicode) {
    const std::string text = "caf\xE9 \x80 \x81|\x9F";  // e acute, euro, an unassigned byte
    ASSERT_TRUE(platform::WriteProfileString("Settings\\Data", "Data Directory", text));
    EXPECT_EQ(platform::GetProfileString("Settings\\Data", "Data Directory"), text);
    QSettings file(QString::fromStdString(ConfigFile()), QSettings::IniFormat);
    EXPECT_TRUE(file.value("Settings/Data/Data Directory").toString().startsWith(
        QString::fromUtf8("caf\xC3\xA9 \xE2\x82\xAC")));
}

TEST(ProfileTest, SectionWithAnEmptyLevelNamesNothing) {
    EXPECT_FALSE(platform::WriteProfileInt("\\Settings\\Writer", "Type", 9));
    EXPECT_FALSE(platform::WriteProfileInt("a\\\\b", "Type", 9));
    EXPECT_FALSE(platform::WriteProfileInt("a", "", 9));
    EXPECT_EQ(platform::GetProfileInt("\\Settings\\Writer", "Type", 4), 4);
    // In particular it does not reach the machine-wide section of the same name.
    EXPECT_EQ(platform::GetProfileInt("Settings\\Writer", "Type", 4), 4);
}

TEST(ProfileTest, BatchWritesTheFileOnceAtItsEnd) {
    ASSERT_TRUE(platform::WriteProfileInt("u\\Settings\\Writer", "Type", 1));
    const std::string before = testfiles::ReadBytes(ConfigFile());
    {
        platform::ProfileBatch batch;
        EXPECT_TRUE(platform::WriteProfileInt("u\\Settings\\Writer", "Type", 2));
        {
            platform::ProfileBatch inner;
            EXPECT_TRUE(platform::WriteProfileInt("u\\Settings\\Writer", "Port", 3));
        }
        EXPECT_EQ(testfiles::ReadBytes(ConfigFile()), before);
        EXPECT_EQ(platform::GetProfileInt("u\\Settings\\Writer", "Type", 0), 2);
    }
    QSettings file(QString::fromStdString(ConfigFile()), QSettings::IniFormat);
    EXPECT_EQ(file.value("u/Settings/Writer/Type").toInt(), 2);
    EXPECT_EQ(file.value("u/Settings/Writer/Port").toInt(), 3);
}

TEST(ProfileTest, ReloadReadsTheFileAgain) {
    ASSERT_TRUE(platform::WriteProfileInt("a\\b", "c", 1));
    // Another length: Qt's cache of the file can miss a change of the same size made within
    // the same tick of the file's time stamp.
    WriteFile(ConfigFile(), "[a]\nb\\c=22\n");
    platform::ReloadProfile();
    EXPECT_EQ(platform::GetProfileInt("a\\b", "c", 0), 22);
}

// ---- failures ---------------------------------------------------------------------------

TEST(ProfileTest, DamagedFileIsCopiedAsideAndOtherUsersKeepTheirValues) {
    const std::string damaged =
        "[anna]\nSettings\\Writer\\Type=7\nthis line is no setting\n"
        "[bob\nSettings\\Writer\\Type=9\n";
    WriteFile(ConfigFile(), damaged);
    ScriptedPresenter presenter;

    EXPECT_EQ(platform::GetProfileInt("anna\\Settings\\Writer", "Type", 4), 7);
    ASSERT_TRUE(platform::WriteProfileInt("default\\Settings\\Writer", "Type", 5));
    EXPECT_TRUE(platform::WriteProfileInt("default\\Settings\\Writer", "Port", 0));

    EXPECT_EQ(testfiles::ReadBytes(ConfigFile() + ".damaged"), damaged);
    auto notices = Notices(presenter);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].text.find("is damaged"), std::string::npos);
    EXPECT_NE(notices[0].text.find(ConfigFile() + ".damaged"), std::string::npos);
    EXPECT_EQ(notices[0].caption, "Dictionary Quillfast");
    QSettings file(QString::fromStdString(ConfigFile()), QSettings::IniFormat);
    EXPECT_EQ(file.value("anna/Settings/Writer/Type").toInt(), 7);
    EXPECT_EQ(file.value("default/Settings/Writer/Type").toInt(), 5);
}

// What a damaged file's broken lines leave (values outside every section, empty names, bytes
// that are no text) stays in the copy and never reaches the rewritten file.
TEST(ProfileTest, ADamagedFilesJunkIsNotWrittenBack) {
    const std::string damaged =
        "PK\x03\x04\x01garbage=1\n=x\n[anna]\nSettings\\Writer\\Type=7\n"
        "\xC3\x28 bad=2\n[\nlost=3\n[bob]\nSettings\\Writer\\Port=2\n";
    WriteFile(ConfigFile(), damaged);
    ScriptedPresenter presenter;
    EXPECT_EQ(platform::GetProfileInt("anna\\Settings\\Writer", "Type", 4), 7);
    ASSERT_TRUE(platform::WriteProfileInt("default\\Settings\\Writer", "Type", 5));
    EXPECT_EQ(testfiles::ReadBytes(ConfigFile() + ".damaged"), damaged);
    const std::string written = testfiles::ReadBytes(ConfigFile());
    EXPECT_EQ(written.find("[General]"), std::string::npos) << written;
    for (const char* junk : {"garbage", "=x", "bad", "lost", "%"})
        EXPECT_EQ(written.find(junk), std::string::npos) << junk << "\n" << written;
    QSettings file(QString::fromStdString(ConfigFile()), QSettings::IniFormat);
    EXPECT_EQ(file.status(), QSettings::NoError);
    EXPECT_EQ(file.allKeys(), (QStringList{"anna/Settings/Writer/Type", "bob/Settings/Writer/Port",
                                           "default/Settings/Writer/Type"}));
    EXPECT_EQ(Notices(presenter).size(), 1u);
}

// The junk of a damaged file is dropped from the file as soon as its copy is kept, not by a
// write at some later moment: a file put in its place meanwhile is read as it is, and kept.
TEST(ProfileTest, ADamagedFileIsCleanedWhenReadNotLater) {
    const std::string damaged = "n=1\nnot a setting\n[a]\nb\\c=7\n";
    WriteFile(ConfigFile(), damaged);
    ScriptedPresenter presenter;
    EXPECT_EQ(platform::GetProfileInt("a\\b", "c", 4), 7);
    EXPECT_EQ(testfiles::ReadBytes(ConfigFile() + ".damaged"), damaged);
    const std::string replaced = "[a]\nb\\c=8\n";
    WriteFile(ConfigFile(), replaced);
    platform::ReloadProfile();
    EXPECT_EQ(platform::GetProfileInt("a\\b", "c", 4), 8);
    EXPECT_EQ(testfiles::ReadBytes(ConfigFile()), replaced);
}

TEST(ProfileTest, EarlierCopiesOfADamagedFileAreKept) {
    WriteFile(ConfigFile() + ".damaged", "older copy");
    WriteFile(ConfigFile(), "\xFF\xFE not text\n");
    ScriptedPresenter presenter;
    EXPECT_EQ(platform::GetProfileInt("a\\b", "c", 1), 1);
    EXPECT_EQ(testfiles::ReadBytes(ConfigFile() + ".damaged"), "older copy");
    EXPECT_EQ(testfiles::ReadBytes(ConfigFile() + ".damaged-2"), "\xFF\xFE not text\n");
    EXPECT_EQ(Notices(presenter).size(), 1u);
}

TEST(ProfileTest, UnreadableFileIsNeverOverwritten) {
    // A folder where the file should be: it cannot be read (even by root).
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(ConfigFile() + "/inside")));
    ScriptedPresenter presenter;
    EXPECT_EQ(platform::GetProfileInt("a\\b", "c", 1), 1);
    EXPECT_FALSE(platform::WriteProfileInt("a\\b", "c", 2));
    EXPECT_FALSE(platform::WriteProfileString("a\\b", "d", "x"));
    EXPECT_TRUE(QDir(QString::fromStdString(ConfigFile() + "/inside")).exists());
    auto notices = Notices(presenter);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].text.find("cannot be read"), std::string::npos);
}

TEST(ProfileTest, WriteFailureIsReportedOnceAndLaterWritesRecover) {
    // A file where the profile's folder should be: nothing can be written there.
    WriteFile(ConfigFolder(), "in the way");
    ScriptedPresenter presenter;
    EXPECT_FALSE(platform::WriteProfileInt("a\\b", "c", 2));
    EXPECT_FALSE(platform::WriteProfileInt("a\\b", "d", 3));
    {
        platform::ProfileBatch batch;
        platform::WriteProfileInt("a\\b", "e", 4);
    }
    auto notices = Notices(presenter);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].text.find("could not be saved to \"" + ConfigFile() + "\""),
              std::string::npos);
    // The values are kept in memory and reach the file once it can be written.
    EXPECT_EQ(platform::GetProfileInt("a\\b", "c", 0), 2);
    ASSERT_TRUE(QFile::remove(QString::fromStdString(ConfigFolder())));
    EXPECT_TRUE(platform::WriteProfileInt("a\\b", "f", 5));
    QSettings file(QString::fromStdString(ConfigFile()), QSettings::IniFormat);
    EXPECT_EQ(file.value("a/b/c").toInt(), 2);
    EXPECT_EQ(file.value("a/b/f").toInt(), 5);
}

// Each save is judged by what happened to it, whatever was wrong with the file before.
TEST(ProfileTest, AfterADamagedFileSavesReportTheirOwnOutcome) {
    WriteFile(ConfigFile(), "[anna]\nSettings\\Writer\\Type=7\nno equals sign here\n");
    ScriptedPresenter presenter;
    auto saveFailures = [&] {
        int n = 0;
        for (const auto& q : Notices(presenter))
            if (q.text.find("could not be saved") != std::string::npos) ++n;
        return n;
    };
    EXPECT_EQ(platform::GetProfileInt("anna\\Settings\\Writer", "Type", 4), 7);
    {
        platform::ProfileBatch batch;  // a whole record, as the settings are saved
        platform::WriteProfileInt("default\\Settings\\Writer", "Type", 5);
        platform::WriteProfileString("default\\Settings\\Strokes", "Next", "*FPLT");
    }
    EXPECT_TRUE(platform::WriteProfileInt("default\\Settings\\Writer", "Port", 2));
    EXPECT_EQ(saveFailures(), 0);
    QSettings written(QString::fromStdString(ConfigFile()), QSettings::IniFormat);
    EXPECT_EQ(written.status(), QSettings::NoError);
    EXPECT_EQ(written.value("default/Settings/Writer/Type").toInt(), 5);
    EXPECT_EQ(written.value("default/Settings/Writer/Port").toInt(), 2);
    EXPECT_EQ(written.value("anna/Settings/Writer/Type").toInt(), 7);

    // Now a real failure: the profile's folder replaced by a file.
    ASSERT_TRUE(QDir(QString::fromStdString(ConfigFolder())).removeRecursively());
    WriteFile(ConfigFolder(), "in the way");
    EXPECT_FALSE(platform::WriteProfileInt("default\\Settings\\Writer", "Port", 3));
    EXPECT_EQ(saveFailures(), 1);
    // Mended, then broken again: the new failure is reported too.
    ASSERT_TRUE(QFile::remove(QString::fromStdString(ConfigFolder())));
    EXPECT_TRUE(platform::WriteProfileInt("default\\Settings\\Writer", "Port", 4));
    ASSERT_TRUE(QDir(QString::fromStdString(ConfigFolder())).removeRecursively());
    WriteFile(ConfigFolder(), "in the way");
    {
        platform::ProfileBatch batch;
        platform::WriteProfileInt("default\\Settings\\Writer", "Port", 5);
    }
    EXPECT_EQ(saveFailures(), 2);
}

TEST(ProfileTest, ReportGoesToStandardErrorWithoutAPresenter) {
    WriteFile(ConfigFile(), "garbage without any setting\n");
    platform::Presenter* previous = platform::InstallPresenter(nullptr);
    testing::internal::CaptureStderr();
    platform::GetProfileInt("a\\b", "c", 1);
    std::string err = testing::internal::GetCapturedStderr();
    platform::InstallPresenter(previous);
    EXPECT_NE(err.find("is damaged"), std::string::npos) << err;
}

}  // namespace

// Stored values given in place of the file are read by the same conversions, and the file is
// left alone meanwhile.
TEST(ProfileTest, ValuesInPlaceOfTheFileAreReadTheSameWay) {
    using platform::StoredValue;
    ASSERT_TRUE(platform::WriteProfileInt("a\\b", "Type", 3));
    {
        const platform::ScopedProfileValues values({
            {"a/b/Type", {StoredValue::Text, {"7"}}},
            {"a/b/List", {StoredValue::List, {"x", "y"}}},
            {"a/b/Word", {StoredValue::Text, {"four"}}},
            {"a/b/Count", {StoredValue::Number, {}, 12}},
            {"a/b/Name", {StoredValue::Text, {"caf\xC3\xA9"}}},
        });
        EXPECT_EQ(platform::GetProfileInt("a\\b", "Type", 0), 7);
        EXPECT_EQ(platform::GetProfileString("a\\b", "List"), "x,y");
        EXPECT_EQ(platform::GetProfileInt("a\\b", "Word", 4), 4);
        EXPECT_EQ(platform::GetProfileInt("a/b", "Count", 0), 12);
        EXPECT_EQ(platform::GetProfileString("a\\b", "Name"), "caf\xE9");
        EXPECT_EQ(platform::GetProfileInt("a\\b", "Missing", 5), 5);
        EXPECT_FALSE(platform::WriteProfileInt("a\\b", "Type", 9));
    }
    EXPECT_EQ(platform::GetProfileInt("a\\b", "Type", 0), 3);
}
