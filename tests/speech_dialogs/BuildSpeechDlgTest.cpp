// The speech-training dialog offscreen, with a scripted engine behind GetSpEngine: the walk and
// its headings, the stored position (resumed, kept inside the list, saved by OK only), the word
// font, and "Train Word" following the speaker.
#include "speech/dialogs/BuildSpeechDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "core/AppSettings.h"
#include "core/DataFiles.h"
#include "speech/CSpEngine.h"
#include "speech/NoSpeechEngine.h"
#include "tests/speech/FakeSpeechEngine.h"
#include "tests/support/FileHelpers.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/ScriptedPresenter.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/WindowPictures.h"

namespace {

const char* const kEndOfList = "End of list reached (all progress will be automatically saved)";

class BuildSpeechDlgTest : public testing::Test {
protected:
    BuildSpeechDlgTest() {
        GetSettings().documentsFolder = docs;
        GetSpEngine().SetBackEnd(engine);
    }
    ~BuildSpeechDlgTest() override {
        GetSpEngine().SetBackEnd(std::make_shared<speech::NoSpeechEngine>());
    }

    std::string WriteList(const std::vector<std::string>& lines) {
        std::string path = testenv::MakeTempDir("lists") + "/Basics.edq";
        EXPECT_TRUE(WriteWordListFile(path, lines));
        return path;
    }
    std::string IqxPath() const { return docs + "Basics.iqx"; }
    void Store(int position) { ASSERT_TRUE(WriteFileInt(IqxPath(), position)); }
    int Stored() const { return ReadFileInt(IqxPath()); }

    // A dialog on `lines`, initialised as Run does before the modal loop.
    std::unique_ptr<BuildSpeechDlg> Open(const std::vector<std::string>& lines) {
        auto dlg = std::make_unique<BuildSpeechDlg>();
        EXPECT_TRUE(dlg->LoadWordList(WriteList(lines)));
        dlg->OnInitDialog();
        return dlg;
    }

    static QString Heading(BuildSpeechDlg& d) { return d.findChild<QLabel*>("headingLabel")->text(); }
    static QString Word(BuildSpeechDlg& d) { return d.findChild<QLineEdit*>("wordEdit")->text(); }
    static QString Counter(BuildSpeechDlg& d) { return d.findChild<QLabel*>("counterLabel")->text(); }
    static QPushButton* Button(BuildSpeechDlg& d, const char* name) {
        return d.findChild<QPushButton*>(name);
    }
    static void Click(BuildSpeechDlg& d, const char* name) {
        QTest::mouseClick(Button(d, name), Qt::LeftButton);
    }

    std::string docs = testenv::MakeTempDir("docs") + "/";
    std::shared_ptr<FakeSpeechEngine> engine = std::make_shared<FakeSpeechEngine>();
};

TEST_F(BuildSpeechDlgTest, TheTemplate) {
    BuildSpeechDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), "Train Speech Engine");
    struct Control {
        const char* name;
        int id;
        const char* text;
    } controls[] = {
        {"loadSpeakerButton", 1002, "Load Speaker"}, {"trainWordButton", 1029, "Train Word"},
        {"nextButton", 1181, "&Next >>"},           {"backButton", 1064, "<< &Back"},
        {"firstWordButton", 1065, "<<< First Word"}, {"okButton", 1, "OK"},
    };
    for (const Control& c : controls) {
        QPushButton* button = Button(dlg, c.name);
        ASSERT_NE(button, nullptr) << c.name;
        EXPECT_EQ(button->property("controlId").toInt(), c.id);
        EXPECT_EQ(button->text(), c.text);
    }
    EXPECT_FALSE(Button(dlg, "trainWordButton")->isEnabled());
    EXPECT_TRUE(Button(dlg, "okButton")->isDefault());
    EXPECT_EQ(dlg.findChild<QLineEdit*>("wordEdit")->property("controlId").toInt(), 1222);
    EXPECT_EQ(dlg.findChild<QLabel*>("headingLabel")->property("controlId").toInt(), 1013);
    EXPECT_EQ(dlg.findChild<QLabel*>("counterLabel")->property("controlId").toInt(), 1028);
    EXPECT_EQ(dlg.findChild<QProgressBar*>("progressBar")->property("controlId").toInt(), 1000);
}

TEST_F(BuildSpeechDlgTest, Picture) {
    for (int points : {8, 16}) {
        SCOPED_TRACE(points);
        pictures::UseFontSize(points);
        auto dlg = Open({"@Animals", "hippopotamus", "cat"});
        dlg->show();
        QApplication::processEvents();
        pictures::ExpectButtonsShowTheirText(dlg.get());
        EXPECT_EQ(Word(*dlg), "hippopotamus");
        pictures::Shot(dlg.get(), "BuildSpeechDlg-" + std::to_string(points) + "pt.png");
    }
    pictures::UseFontSize(0);
}

TEST_F(BuildSpeechDlgTest, AListWithoutLinesIsRefused) {
    BuildSpeechDlg dlg;
    EXPECT_FALSE(dlg.LoadWordList(WriteList({})));
    EXPECT_FALSE(dlg.LoadWordList(docs + "missing.edq"));
}

TEST_F(BuildSpeechDlgTest, AListStartingWithAHeadingShowsItAboveTheSecondLine) {
    auto dlg = Open({"@Fruit", "apple", "pear"});
    EXPECT_EQ(Heading(*dlg), "Fruit");
    EXPECT_EQ(Word(*dlg), "apple");
    EXPECT_EQ(Counter(*dlg), "1 of 3");
    auto* bar = dlg->findChild<QProgressBar*>("progressBar");
    EXPECT_EQ(bar->maximum(), 3);
    EXPECT_EQ(bar->value(), 1);
    Click(*dlg, "nextButton");
    EXPECT_EQ(Heading(*dlg), "");
    EXPECT_EQ(Word(*dlg), "pear");
    EXPECT_EQ(Counter(*dlg), "2 of 3");
    EXPECT_EQ(bar->value(), 2);
}

TEST_F(BuildSpeechDlgTest, BackOverAHeadingShowsTheWordBeforeWithItsOwnHeading) {
    Store(3);
    auto dlg = Open({"@A", "w1", "@B", "w3"});
    EXPECT_EQ(Heading(*dlg), "B");
    EXPECT_EQ(Word(*dlg), "w3");
    Click(*dlg, "backButton");
    EXPECT_EQ(Heading(*dlg), "A");
    EXPECT_EQ(Word(*dlg), "w1");
    EXPECT_EQ(Counter(*dlg), "1 of 4");
    Click(*dlg, "backButton");  // the first word: nowhere further back
    EXPECT_EQ(Word(*dlg), "w1");
    EXPECT_EQ(Counter(*dlg), "1 of 4");
}

// Where a stored position resumes, for the list {w0, @B, w2, w3}.
TEST_F(BuildSpeechDlgTest, AStoredPositionResumesInsideTheList) {
    struct Case {
        int stored;
        const char* heading;
        const char* word;
        const char* counter;
    } cases[] = {
        {2, "B", "w2", "2 of 4"},   // a word after a heading shows it again
        {3, "", "w3", "3 of 4"},
        {0, "", "w0", "0 of 4"},
        {4, "", "w3", "3 of 4"},    // the line count: the last line
        {99, "", "w3", "3 of 4"},
        {-7, "", "w0", "0 of 4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        Store(c.stored);
        auto dlg = Open({"w0", "@B", "w2", "w3"});
        EXPECT_EQ(Heading(*dlg), c.heading);
        EXPECT_EQ(Word(*dlg), c.word);
        EXPECT_EQ(Counter(*dlg), c.counter);
    }
}

TEST_F(BuildSpeechDlgTest, NextOnTheLastWordSavesTheLastLineAndCloses) {
    ScriptedPresenter presenter;
    auto dlg = Open({"a", "b"});
    Click(*dlg, "nextButton");
    EXPECT_FALSE(dlg->Ended());
    Click(*dlg, "nextButton");
    ASSERT_EQ(presenter.Asked().size(), 1u);
    EXPECT_EQ(presenter.Asked()[0].text, kEndOfList);
    EXPECT_TRUE(dlg->Ended());
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(Stored(), 1);
}

TEST_F(BuildSpeechDlgTest, OkSavesThePositionAndEscapeDoesNot) {
    Store(1);
    {
        auto dlg = std::make_unique<BuildSpeechDlg>();
        ASSERT_TRUE(dlg->LoadWordList(WriteList({"a", "b", "c"})));
        ModalDriver driver([](QWidget* w) {
            QTest::mouseClick(w->findChild<QPushButton*>("nextButton"), Qt::LeftButton);
            QTest::keyClick(w, Qt::Key_Escape);
        });
        EXPECT_EQ(dlg->Run(), QDialog::Rejected);
        EXPECT_TRUE(driver.Acted());
        EXPECT_EQ(Stored(), 1);
    }
    auto dlg = std::make_unique<BuildSpeechDlg>();
    ASSERT_TRUE(dlg->LoadWordList(WriteList({"a", "b", "c"})));
    ModalDriver driver([](QWidget* w) {
        QTest::mouseClick(w->findChild<QPushButton*>("nextButton"), Qt::LeftButton);
        QTest::keyClick(w, Qt::Key_Return);  // OK is the default button
    });
    EXPECT_EQ(dlg->Run(), QDialog::Accepted);
    EXPECT_EQ(Stored(), 2);
}

// Walked onto a heading on the last line, the position is stored there and the dialog ends.
TEST_F(BuildSpeechDlgTest, AHeadingAsTheLastLineEndsTheWalk) {
    auto dlg = Open({"a", "@End"});
    Click(*dlg, "nextButton");
    EXPECT_TRUE(dlg->Ended());
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(dlg->headingText, "End");
    EXPECT_EQ(Stored(), 1);
}

// Opened again there, nothing is left to train: the end of the list is told and a restart
// offered; declined, the dialog ends without its modal loop and stores nothing.
TEST_F(BuildSpeechDlgTest, AFinishedListOffersARestart) {
    for (int answer : {platform::kIdNo, platform::kIdYes}) {
        SCOPED_TRACE(answer);
        Store(1);
        ScriptedPresenter presenter;
        presenter.AnswerText("Are you sure you wish to restart the dictionary build?", answer);
        BuildSpeechDlg dlg;
        ASSERT_TRUE(dlg.LoadWordList(WriteList({"a", "@End"})));
        ModalDriver driver([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); }, 2000);
        const int result = dlg.Run();  // no modal loop when declined: a hang fails the test
        ASSERT_EQ(presenter.Asked().size(), 2u);
        EXPECT_EQ(presenter.Asked()[0].text, kEndOfList);
        EXPECT_EQ(result, QDialog::Rejected);
        EXPECT_EQ(driver.Acted(), answer == platform::kIdYes);
        if (answer == platform::kIdYes) EXPECT_EQ(Word(dlg), "a");
        EXPECT_EQ(Stored(), 1);
    }
    // A list of one heading has no word to start again at.
    ScriptedPresenter presenter;
    BuildSpeechDlg only;
    ASSERT_TRUE(only.LoadWordList(WriteList({"@End"})));
    EXPECT_EQ(only.Run(), QDialog::Rejected);
    ASSERT_EQ(presenter.Asked().size(), 1u);
    EXPECT_EQ(presenter.Asked()[0].text, kEndOfList);
}

// Enter presses the focused button; elsewhere it presses OK.
TEST_F(BuildSpeechDlgTest, EnterPressesTheFocusedButton) {
    auto dlg = Open({"a", "b", "c"});
    dlg->show();
    auto* next = Button(*dlg, "nextButton");
    next->setFocus();
    QTest::keyClick(next, Qt::Key_Return);
    EXPECT_EQ(Word(*dlg), "b");
    EXPECT_FALSE(dlg->Ended());
    auto* edit = dlg->findChild<QLineEdit*>("wordEdit");
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_TRUE(dlg->Ended());
    EXPECT_EQ(Stored(), 1);
}

TEST_F(BuildSpeechDlgTest, FirstWordAsksBeforeRestarting) {
    for (int answer : {platform::kIdNo, platform::kIdYes}) {
        SCOPED_TRACE(answer);
        ScriptedPresenter presenter;
        presenter.AnswerText("Are you sure you wish to restart the dictionary build?", answer);
        Store(2);
        auto dlg = Open({"@A", "w1", "w2"});
        Click(*dlg, "firstWordButton");
        EXPECT_EQ(presenter.Asked().at(0).style, platform::kMbYesNo | platform::kMbIconQuestion);
        EXPECT_EQ(Word(*dlg), answer == platform::kIdYes ? "w1" : "w2");
        EXPECT_EQ(Heading(*dlg), answer == platform::kIdYes ? "A" : "");
    }
}

TEST_F(BuildSpeechDlgTest, AFailedPositionSaveIsToldAndTheDialogStillCloses) {
    ScriptedPresenter presenter;
    GetSettings().documentsFolder = docs + "gone/";
    auto dlg = Open({"a"});
    Click(*dlg, "okButton");
    ASSERT_EQ(presenter.Asked().size(), 1u);
    EXPECT_NE(presenter.Asked()[0].text.find("could not be saved"), std::string::npos);
    const std::string said = presenter.Asked()[0].text;
    EXPECT_NE(said.find("gone/Basics.iqx"), std::string::npos) << said;
    EXPECT_EQ(said.find("gone/Basics.iqx", said.find("gone/Basics.iqx") + 1), std::string::npos)
        << said;  // named once
    EXPECT_TRUE(dlg->Ended());
}

TEST_F(BuildSpeechDlgTest, TrainWordFollowsTheSpeakerAndTrainsTheWordAsShown) {
    engine->speakerCount = 1;
    engine->onShowDialog = [this](std::int32_t) {
        engine->speakerName = "Ann";
        engine->Fire(speech::kEventSpeakerChanged);
    };
    auto dlg = Open({"a^b"});
    EXPECT_EQ(Word(*dlg), "a~b");
    QPushButton* train = Button(*dlg, "trainWordButton");
    EXPECT_FALSE(train->isEnabled());
    Click(*dlg, "loadSpeakerButton");
    EXPECT_EQ(engine->shownDialogs, std::vector<std::int32_t>{kDialogOpenSpeaker});
    EXPECT_TRUE(train->isEnabled());
    Click(*dlg, "trainWordButton");
    EXPECT_EQ(engine->trained, std::vector<std::string>{"a~b"});
}

TEST_F(BuildSpeechDlgTest, AnEngineWithASpeakerAlreadyLoadedEnablesTrainWord) {
    engine->speakerName = "Ann";
    auto dlg = Open({"word"});
    Click(*dlg, "loadSpeakerButton");
    EXPECT_TRUE(Button(*dlg, "trainWordButton")->isEnabled());
    EXPECT_TRUE(engine->shownDialogs.empty());
}

TEST_F(BuildSpeechDlgTest, ClosingTheDialogShutsTheEngineDownAndForgetsTheDialog) {
    engine->speakerName = "Ann";
    engine->modified = true;
    {
        auto dlg = Open({"word"});
        Click(*dlg, "loadSpeakerButton");
        ASSERT_TRUE(GetSpEngine().IsInitialized());
    }
    EXPECT_FALSE(GetSpEngine().IsInitialized());
    EXPECT_EQ(engine->CountCalls("SaveSpeechFiles"), 1);
    EXPECT_EQ(engine->Alive(), 0);
    // A speaker arriving later must not reach the dialog that went.
    engine->speakerName = "";
    ASSERT_TRUE(GetSpEngine().Initialize());
    engine->speakerName = "Bob";
    engine->Fire(speech::kEventSpeakerChanged);
    EXPECT_TRUE(GetSpEngine().IsSpeakerLoaded());
    GetSpEngine().Shutdown();
}

TEST_F(BuildSpeechDlgTest, WithNoEngineInstalledLoadSpeakerSaysSo) {
    GetSpEngine().SetBackEnd(std::make_shared<speech::NoSpeechEngine>());
    ScriptedPresenter presenter;
    auto dlg = Open({"word"});
    Click(*dlg, "loadSpeakerButton");
    Click(*dlg, "trainWordButton");  // disabled: nothing happens
    ASSERT_EQ(presenter.Asked().size(), 1u);
    EXPECT_EQ(presenter.Asked()[0].text,
              "Initialize DNS (0x80040154)\n\"No speech engine is installed.\"");
    EXPECT_FALSE(Button(*dlg, "trainWordButton")->isEnabled());
}

TEST_F(BuildSpeechDlgTest, TheWordFontShrinksForLongWordsOnly) {
    auto dlg = Open({"cat", std::string(60, 'W')});
    auto* edit = dlg->findChild<QLineEdit*>("wordEdit");
    EXPECT_EQ(edit->font().pointSize(), 28);
    EXPECT_TRUE(edit->font().bold());
    Click(*dlg, "nextButton");
    EXPECT_LT(edit->font().pointSize(), 28);
    EXPECT_GE(edit->font().pointSize(), 10);
    EXPECT_EQ(dlg->findChild<QLabel*>("headingLabel")->font().pointSize(), 12);
}

}  // namespace
