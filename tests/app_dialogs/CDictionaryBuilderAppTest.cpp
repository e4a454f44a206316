// The whole start-up against a private profile and folders, and the real about box. Each
// test runs in a process of its own.
#include "app/dialogs/CDictionaryBuilderApp.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "app/ProductVersion.h"
#include "app/dialogs/CAboutDlg.h"
#include "app/dialogs/CDictionaryBuilderDlg.h"
#include "app/dialogs/MainDialogChildren.h"
#include "core/AppSettings.h"
#include "platform/Profile.h"
#include "platform/SerialPortNames.h"
#include "tests/support/FileHelpers.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/ScriptedPresenter.h"
#include "tests/support/TestEnvironment.h"

namespace {

namespace fs = std::filesystem;

class NoChildren : public MainDialogChildren {
public:
    bool RunBuild(QWidget*, const std::string&, std::string&) override { return false; }
    bool RunSpeechTraining(QWidget*, const std::string&, std::string&) override { return false; }
    void RunWriterTest(QWidget*) override {}
    void RunAbout(QWidget*) override {}
};

class StartUpTest : public testing::Test {
protected:
    void SetUp() override {
        folder = testenv::MakeTempDir("cwd");
        fs::create_directories(folder + "/Data/Basics");
        testfiles::WriteBytes(folder + "/Data/Basics/Lesson.edq", "x");
    }
    // Runs the program; `act` gets the main dialog while it is shown.
    void Start(std::function<void(CDictionaryBuilderDlg&)> act) {
        CDictionaryBuilderApp app(runner, folder, installed);
        app.SetOnShown([&](CDictionaryBuilderDlg& dialog) {
            shownWith = platform::GetProfileString(kDataSection, kDataDirectoryValue);
            act(dialog);
        });
        ModalDriver guard([](QWidget*) {}, 10000);
        app.InitInstance();
    }
    QComboBox* Baud(CDictionaryBuilderDlg& dialog) {
        return dialog.findChild<QComboBox*>("baudCombo");
    }

    ScriptedPresenter presenter;
    NoChildren runner;
    std::string folder;
    std::string installed;
    std::string shownWith;
};

TEST_F(StartUpTest, DefaultsAreWrittenBeforeTheDialogRuns) {
    ASSERT_FALSE(fs::exists(platform::SerialDeviceFolder()));  // a fresh account
    Start([](CDictionaryBuilderDlg& dialog) { dialog.reject(); });
    EXPECT_EQ(shownWith, folder + "/Data");
    EXPECT_EQ(GetSettings().dataFolder, folder + "/Data");
    EXPECT_EQ(platform::GetProfileString(kDataSection, kUsersValue), "default");
    EXPECT_TRUE(fs::is_directory(folder + "/Data/default"));
    // Ready for README's "ln -s ... ~/.config/DQS/devices/COM1".
    EXPECT_TRUE(fs::is_directory(platform::SerialDeviceFolder()));
}

TEST_F(StartUpTest, StoredUsersAreSplitOnAnyWhiteSpaceAndDefaultIsNotAddedTwice) {
    platform::WriteProfileString(kDataSection, kUsersValue, "anna\t default\n");
    Start([](CDictionaryBuilderDlg& dialog) { dialog.reject(); });
    EXPECT_EQ(platform::GetProfileString(kDataSection, kUsersValue), "anna default");
}

TEST_F(StartUpTest, EscapeSavesTheRecordButNotTheUnstoredChoice) {
    Start([this](CDictionaryBuilderDlg& dialog) {
        Baud(dialog)->setCurrentText("19K");
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(platform::GetProfileInt(WriterSection("default"), "Baud Rate", -1), 9600);
}

TEST_F(StartUpTest, ExitStoresAndSavesTheChoices) {
    Start([this](CDictionaryBuilderDlg& dialog) {
        Baud(dialog)->setCurrentText("19K");
        dialog.findChild<QPushButton*>("exitButton")->click();
    });
    EXPECT_EQ(platform::GetProfileInt(WriterSection("default"), "Baud Rate", -1), 19200);
}

// Started once from a folder without "Data" (the home folder), then from the desktop entry.
TEST_F(StartUpTest, AStartWithoutDataHereTakesTheInstalledFolderWithNoNotice) {
    fs::rename(folder + "/Data", folder + "/installed");
    installed = folder + "/installed";
    platform::WriteProfileString(kDataSection, kDataDirectoryValue, folder + "/Data");
    std::vector<ListedFolderEntry> modules;
    Start([&](CDictionaryBuilderDlg& dialog) {
        modules = dialog.Modules();
        dialog.reject();
    });
    EXPECT_EQ(modules, (std::vector<ListedFolderEntry>{{"Basics", installed + "/Basics"}}));
    EXPECT_EQ(shownWith, installed);
    EXPECT_TRUE(presenter.Asked().empty());
}

TEST_F(StartUpTest, NoDataFolderAnywhereIsToldAndTheMainDialogStillRuns) {
    fs::remove_all(folder + "/Data");
    installed = folder + "/not-installed";
    bool shown = false;
    Start([&](CDictionaryBuilderDlg& dialog) {
        shown = true;
        EXPECT_TRUE(dialog.Modules().empty());
        dialog.reject();
    });
    EXPECT_TRUE(shown);
    ASSERT_EQ(presenter.Asked().size(), 1u);
    const ScriptedPresenter::Question notice = presenter.Asked()[0];
    EXPECT_EQ(notice.kind, ScriptedPresenter::Kind::MessageBox);
    EXPECT_EQ(notice.style, platform::kMbOk | platform::kMbIconWarning);
    EXPECT_NE(notice.text.find("no data folder was found"), std::string::npos) << notice.text;
    EXPECT_NE(notice.text.find(folder + "/Data\n"), std::string::npos) << notice.text;
    EXPECT_NE(notice.text.find(installed), std::string::npos) << notice.text;
}

TEST(AboutBoxTest, TheRealAboutBoxShowsNameAndVersionAndClosesWithOk) {
    std::string name, version;
    ASSERT_TRUE(GetProductNameAndVersion(name, version));
    QString product, shown;
    ModalDriver driver([&](QWidget* dialog) {
        auto* about = qobject_cast<CAboutDlg*>(dialog);
        ASSERT_NE(about, nullptr);
        product = about->ProductText();
        shown = about->VersionText();
        about->findChild<QPushButton*>("okButton")->click();
    });
    RealMainDialogChildren runner;
    runner.RunAbout(nullptr);
    EXPECT_TRUE(driver.Acted());
    EXPECT_EQ(product, "Dictionary Quillfast");
    EXPECT_EQ(shown, QString::fromStdString("Version " + version));
}

}  // namespace
