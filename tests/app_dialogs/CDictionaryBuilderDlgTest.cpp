// The main dialog on private folders, its children replaced by a scripted runner. Each test
// runs in a process of its own with an empty profile and home folder.
#include "app/dialogs/CDictionaryBuilderDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <functional>

#include "app/ProductVersion.h"
#include "app/dialogs/MainDialogChildren.h"
#include "core/AppSettings.h"
#include "core/DataFiles.h"
#include "core/RtfDictionary.h"
#include "platform/Profile.h"
#include "tests/support/FileHelpers.h"
#include "tests/support/ScriptedPresenter.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/WindowPictures.h"

namespace {

namespace fs = std::filesystem;
using Kind = ScriptedPresenter::Kind;

struct RunnerCall {
    std::string what;  // "build", "speech", "test", "about"
    std::string path;
    bool operator==(const RunnerCall&) const = default;
};

class ScriptedRunner : public MainDialogChildren {
public:
    bool RunBuild(QWidget*, const std::string& path, std::string& why) override {
        why = refusal;
        return Run("build", path);
    }
    bool RunSpeechTraining(QWidget*, const std::string& path, std::string& why) override {
        why = refusal;
        return Run("speech", path);
    }
    void RunWriterTest(QWidget*) override { Run("test", {}); }
    void RunAbout(QWidget*) override { Run("about", {}); }

    std::vector<RunnerCall> calls;
    bool loads = true;
    std::string refusal;  // why a list is refused
    std::function<void(const std::string&)> duringRun;

private:
    bool Run(const char* what, const std::string& path) {
        calls.push_back({what, path});
        if (loads && duringRun) duringRun(path);
        return loads;
    }
};

class MainDialogTest : public testing::Test {
protected:
    void SetUp() override {
        data = testenv::MakeTempDir("Data");
        GetSettings().dataFolder = data;
    }

    void Put(const std::string& relative, const std::string& bytes = "x") {
        const fs::path path = data + "/" + relative;
        fs::create_directories(path.parent_path());
        testfiles::WriteBytes(path.string(), bytes);
    }
    void StoreWriter(const char* value, int number) {
        platform::WriteProfileInt(WriterSection("default"), value, number);
    }

    CDictionaryBuilderDlg& Dialog() {
        if (!dialog) {
            dialog = std::make_unique<CDictionaryBuilderDlg>(runner);
            dialog->OnInitDialog();
        }
        return *dialog;
    }
    template <typename T>
    T* Child(const char* name) {
        T* child = Dialog().findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QComboBox* Combo(const char* name) { return Child<QComboBox>(name); }
    QListWidget* List() { return Child<QListWidget>("subcategoryList"); }
    QLineEdit* PortEdit() { return Child<QLineEdit>("portEdit"); }
    QStringList Titles() {
        QStringList titles;
        for (int i = 0; i < List()->count(); ++i) titles << List()->item(i)->text();
        return titles;
    }
    QStringList ModuleTitles() {
        QStringList titles;
        for (int i = 0; i < Combo("moduleCombo")->count(); ++i)
            titles << Combo("moduleCombo")->itemText(i);
        return titles;
    }
    void SelectWriter(int type) {
        Combo("writerCombo")->setCurrentIndex(type);
        Dialog().OnSelchangeWriter();
    }
    std::string Documents() { return GetSettings().documentsFolder; }
    void WriteProgress(const std::string& title, const std::vector<ProgressEntry>& entries) {
        ASSERT_TRUE(WriteProgressFile(Documents() + title + ".dqx", entries, 0));
    }

    ScriptedPresenter presenter;
    ScriptedRunner runner;
    std::string data;
    std::unique_ptr<CDictionaryBuilderDlg> dialog;
};

TEST_F(MainDialogTest, ListsModulesWithWordListsAndTheFirstModulesListsSorted) {
    Put("A/b list.edq");
    Put("A/a list.edq");
    Put("B/readme.txt");
    Put("C.v2/c.edq");
    EXPECT_EQ(ModuleTitles(), (QStringList{"A", "C"}));
    EXPECT_EQ(Titles(), (QStringList{"a list", "b list"}));
    EXPECT_EQ(List()->currentRow(), 0);
    EXPECT_EQ(Dialog().SelectedWordListPath(), data + "/A/a list.edq");
}

TEST_F(MainDialogTest, StartUpMakesTheDocumentsFolderAndSavesTheUserDefault) {
    Dialog();
    EXPECT_TRUE(fs::is_directory(Documents()));
    EXPECT_EQ(Documents().substr(Documents().size() - 22), "/Dictionary Quillfast/");
    EXPECT_EQ(platform::GetProfileString(kDataSection, kUsersValue), "default");
    EXPECT_EQ(platform::GetProfileInt(WriterSection("default"), "Type", -1), 4);
}

TEST_F(MainDialogTest, EachEntryBuildsAndExportsTheFileItShows) {
    // Created in the reverse of their sorted order.
    for (const char* name : {"zebra.edq", "Mango.edq", "apple.edq"}) Put(std::string("M/") + name);
    ASSERT_EQ(Titles(), (QStringList{"apple", "Mango", "zebra"}));
    for (int row = 0; row < 3; ++row) {
        List()->setCurrentRow(row);
        Dialog().OnBuild();
    }
    EXPECT_EQ(runner.calls, (std::vector<RunnerCall>{{"build", data + "/M/apple.edq"},
                                                      {"build", data + "/M/Mango.edq"},
                                                      {"build", data + "/M/zebra.edq"}}));
}

TEST_F(MainDialogTest, ChangingTheModuleRefillsTheLists) {
    Put("A/one.edq");
    Put("B/two.edq");
    Put("B/three.edq");
    Dialog();
    Combo("moduleCombo")->setCurrentIndex(1);
    Dialog().OnSelchangeModule();
    EXPECT_EQ(Titles(), (QStringList{"three", "two"}));
    EXPECT_EQ(Dialog().SelectedWordListPath(), data + "/B/three.edq");
}

TEST_F(MainDialogTest, NoModulesGiveEmptyListsAndJobsSaySo) {
    Put("Empty/readme.txt");
    EXPECT_TRUE(ModuleTitles().isEmpty());
    EXPECT_EQ(List()->count(), 0);
    Dialog().OnBuild();
    Dialog().OnMakeRtf();
    ASSERT_EQ(presenter.Asked().size(), 2u);
    EXPECT_EQ(presenter.Asked()[0].text, "No Wordlists available");
    EXPECT_EQ(presenter.Asked()[1].text, "No Wordlists available");
    EXPECT_TRUE(runner.calls.empty());
}

TEST_F(MainDialogTest, LoadShowsTheStoredLineSettings) {
    Put("A/a.edq");
    StoreWriter("Baud Rate", 115000);
    StoreWriter("Data Bits", 7);
    StoreWriter("Stop Bits", 2);
    StoreWriter("Parity", 3);
    StoreWriter("Port", 4);
    StoreWriter("Type", 19);
    StoreWriter("Language", 12);
    EXPECT_EQ(Combo("baudCombo")->currentText(), "115K");
    EXPECT_EQ(Combo("dataBitsCombo")->currentText(), "7");
    EXPECT_EQ(Combo("stopBitsCombo")->currentText(), "2");
    EXPECT_EQ(Combo("parityCombo")->currentText(), "Mark");
    EXPECT_EQ(PortEdit()->text(), "5");
    EXPECT_EQ(Combo("writerCombo")->currentIndex(), 19);
    EXPECT_EQ(Combo("layoutCombo")->currentText(), "Spanish");
    EXPECT_EQ(Combo("writerCombo")->count(), 32);
}

TEST_F(MainDialogTest, SaveStoresTheConvertedChoices) {
    Put("A/a.edq");
    Dialog();
    Combo("baudCombo")->setCurrentText("56K");
    Combo("dataBitsCombo")->setCurrentText("7");
    Combo("stopBitsCombo")->setCurrentText("2");
    Combo("parityCombo")->setCurrentText("Odd");
    Combo("layoutCombo")->setCurrentText("German");
    PortEdit()->setText("1000");
    SelectWriter(18);
    const AppSettings& s = GetSettings();
    EXPECT_EQ(s.baudRate, 56000);
    EXPECT_EQ(s.dataBits, 7);
    EXPECT_EQ(s.stopBits, 2);
    EXPECT_EQ(s.parity, 2);
    EXPECT_EQ(s.keyboardLayout, 2);
    EXPECT_EQ(s.port, 1000);  // typed integers are stored as they are
    EXPECT_EQ(s.writerType, 18);
}

TEST_F(MainDialogTest, AListWithoutSelectionKeepsTheRecordsValue) {
    Put("A/a.edq");
    StoreWriter("Baud Rate", 57600);  // not offered by the list
    StoreWriter("Parity", 2);
    StoreWriter("Data Bits", 7);
    StoreWriter("Stop Bits", 2);
    EXPECT_EQ(Combo("baudCombo")->currentIndex(), -1);
    for (const char* name : {"parityCombo", "dataBitsCombo", "stopBitsCombo", "layoutCombo",
                             "writerCombo"})
        Combo(name)->setCurrentIndex(-1);
    Dialog().OnSelchangeWriter();
    const AppSettings& s = GetSettings();
    EXPECT_EQ(s.baudRate, 57600);
    EXPECT_EQ(s.parity, 2);
    EXPECT_EQ(s.dataBits, 7);
    EXPECT_EQ(s.stopBits, 2);
    EXPECT_EQ(s.keyboardLayout, 0);
    EXPECT_EQ(s.writerType, 4);
}

TEST_F(MainDialogTest, EnableRulesFollowTheWriter) {
    Put("A/a.edq");
    const char* line[] = {"baudCombo", "parityCombo", "dataBitsCombo", "stopBitsCombo"};
    for (int type : {21, 28, 30}) {
        SelectWriter(type);
        for (const char* name : line) EXPECT_FALSE(Combo(name)->isEnabled()) << type << name;
        EXPECT_FALSE(PortEdit()->isEnabled()) << type;
        EXPECT_TRUE(Child<QPushButton>("testButton")->isEnabled()) << type;
        EXPECT_TRUE(Combo("layoutCombo")->isEnabled()) << type;
        EXPECT_FALSE(Dialog().SpeechFlag()) << type;
    }
    SelectWriter(26);
    for (const char* name : line) EXPECT_FALSE(Combo(name)->isEnabled()) << name;
    EXPECT_FALSE(PortEdit()->isEnabled());
    EXPECT_FALSE(Child<QPushButton>("testButton")->isEnabled());
    EXPECT_FALSE(Combo("layoutCombo")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>("makeRtfButton")->isEnabled());
    EXPECT_TRUE(Child<QToolButton>("portUpButton")->isEnabled());
    EXPECT_TRUE(Dialog().SpeechFlag());
    SelectWriter(0);
    for (const char* name : line) EXPECT_TRUE(Combo(name)->isEnabled()) << name;
    EXPECT_TRUE(PortEdit()->isEnabled());
    EXPECT_FALSE(Dialog().SpeechFlag());
}

TEST_F(MainDialogTest, AListWithProgressEnablesMakeRtfEvenForSpeech) {
    Put("A/a.edq");
    Put("A/b.edq");
    StoreWriter("Type", 26);
    Dialog();
    WriteProgress("b", {{"TEFT", "test"}});
    List()->setCurrentRow(1);
    EXPECT_TRUE(Child<QPushButton>("makeRtfButton")->isEnabled());
    List()->setCurrentRow(0);
    EXPECT_FALSE(Child<QPushButton>("makeRtfButton")->isEnabled());
}

TEST_F(MainDialogTest, SpeechBuildsTrainTheSpeechEngineOnTheSameList) {
    Put("A/a.edq");
    SelectWriter(26);
    Dialog().OnBuild();
    EXPECT_EQ(runner.calls, (std::vector<RunnerCall>{{"speech", data + "/A/a.edq"}}));
}

TEST_F(MainDialogTest, ARefusedListSaysErrorOpeningFile) {
    Put("A/a.edq");
    runner.loads = false;
    Dialog().OnBuild();
    ASSERT_EQ(presenter.Asked().size(), 1u);
    EXPECT_EQ(presenter.Asked()[0].text, "Error opening file");
    // A reason goes into the same box.
    runner.refusal = "The progress file \"a.dqx\" cannot be read: Is a directory.";
    Dialog().OnBuild();
    ASSERT_EQ(presenter.Asked().size(), 2u);
    EXPECT_EQ(presenter.Asked()[1].text, "Error opening file\n\n" + runner.refusal);
}

TEST_F(MainDialogTest, BuildSavesTheRecordFirstAndEnablesMakeRtfAfterProgress) {
    Put("A/a.edq");
    Dialog();
    EXPECT_FALSE(Child<QPushButton>("makeRtfButton")->isEnabled());
    GetSettings().shadowMask = ParseOutline(0, "S");
    runner.duringRun = [this](const std::string&) {
        WriteProgress("a", {{"A", "a"}});
        EXPECT_EQ(platform::GetProfileString(StrokesSection("default"), "Shadow"), "S-");
    };
    Dialog().OnBuild();
    EXPECT_EQ(runner.calls.size(), 1u);
    EXPECT_TRUE(Child<QPushButton>("makeRtfButton")->isEnabled());
}

// "Enter an integer." stops the exchange, not the job: Build, Make RTF and Test go on with
// the record as it stood, nothing of the dialog stored.
TEST_F(MainDialogTest, JobsGoOnWithTheRecordAfterAPortThatIsNotAnInteger) {
    Put("A/a.edq");
    Dialog();
    WriteProgress("a", {{"TEFT", "test"}});
    Combo("baudCombo")->setCurrentText("19K");
    PortEdit()->setText("COM3");
    const std::string rtf = testenv::MakeTempDir("out") + "/a.rtf";
    presenter.AnswerFile(rtf);
    Dialog().OnBuild();  // told before the build and again by the list's exchange after it
    Dialog().OnMakeRtf();
    Dialog().OnTest();
    EXPECT_EQ(runner.calls, (std::vector<RunnerCall>{{"build", data + "/A/a.edq"}, {"test", ""}}));
    EXPECT_TRUE(fs::is_regular_file(rtf));
    EXPECT_EQ(GetSettings().port, 1);
    EXPECT_EQ(GetSettings().baudRate, 9600);
    std::vector<std::string> said;
    for (const auto& q : presenter.Asked())
        if (q.kind == Kind::MessageBox) said.push_back(q.text);
    EXPECT_EQ(said, std::vector<std::string>(4, "Enter an integer."));
}

// The dictionary never replaces the list's progress file, nor any other progress or word-list
// file, whatever the save dialog was given; nothing is written.
TEST_F(MainDialogTest, MakeRtfRefusesAProgressOrWordListFileAsItsTarget) {
    Put("A/Lesson.edq");
    Put("A/Other.edq", "a word list");
    Dialog();
    WriteProgress("Lesson", {{"HEL/LO", "hello"}});
    const std::string progress = Documents() + "Lesson.dqx";
    const std::string keptProgress = testfiles::ReadBytes(progress);
    const std::string out = testenv::MakeTempDir("out") + "/";
    testfiles::WriteBytes(out + "speech.IQX", "12");
    fs::create_symlink(progress, out + "link.rtf");
    struct Case {
        std::string target, said;
    } cases[] = {
        {progress, "this word list's progress file"},
        {out + "link.rtf", "this word list's progress file"},
        {Documents() + "Elsewhere.DQX", "a progress file"},
        {out + "speech.IQX", "a speech-training progress file"},
        {data + "/A/Other.edq", "a word list"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        presenter.AnswerFile(c.target);
        const std::size_t before = presenter.Asked().size();
        const std::string bytes = fs::exists(c.target) ? testfiles::ReadBytes(c.target) : "";
        Dialog().OnMakeRtf();
        const auto asked = presenter.Asked();
        ASSERT_EQ(asked.size(), before + 2);
        EXPECT_EQ(asked.back().kind, Kind::MessageBox);
        EXPECT_NE(asked.back().text.find(c.said), std::string::npos) << asked.back().text;
        EXPECT_NE(asked.back().text.find("Nothing was written"), std::string::npos);
        EXPECT_EQ(fs::exists(c.target) ? testfiles::ReadBytes(c.target) : "", bytes);
    }
    EXPECT_EQ(testfiles::ReadBytes(progress), keptProgress);
    int position = -1;
    EXPECT_EQ(ReadProgressFile(progress, position), (std::vector<ProgressEntry>{{"HEL/LO", "hello"}}));
}

// The arrows keep to the ports the settings keep from one start to the next (1 to 255).
TEST_F(MainDialogTest, PortArrowsAndArrowKeys) {
    Put("A/a.edq");
    Dialog();
    PortEdit()->setText("1");
    QTest::keyClick(PortEdit(), Qt::Key_Down);
    EXPECT_EQ(PortEdit()->text(), "1");
    QTest::keyClick(PortEdit(), Qt::Key_Up);
    QTest::keyClick(PortEdit(), Qt::Key_Up);
    EXPECT_EQ(PortEdit()->text(), "3");
    Child<QToolButton>("portDownButton")->click();
    EXPECT_EQ(PortEdit()->text(), "2");
    PortEdit()->setText("255");
    Child<QToolButton>("portUpButton")->click();
    EXPECT_EQ(PortEdit()->text(), "255");
    PortEdit()->setText("0");  // typed: the arrows lead back into the range
    Child<QToolButton>("portDownButton")->click();
    EXPECT_EQ(PortEdit()->text(), "1");
    PortEdit()->setText("300");
    Child<QToolButton>("portDownButton")->click();
    EXPECT_EQ(PortEdit()->text(), "255");

    // Every port the arrows reach comes back after a restart.
    for (int port : {1, 255}) {
        PortEdit()->setText(QString::number(port));
        Dialog().OnSelchangeWriter();
        GetSettings().SaveUserSettings();
        GetSettings().LoadUserSettings("default");
        EXPECT_EQ(GetSettings().port, port);
    }
}

TEST_F(MainDialogTest, ExitStoresTheChoicesButNotWithABadPort) {
    Put("A/a.edq");
    Dialog();
    bool finished = false;
    QObject::connect(&Dialog(), &QDialog::finished, [&] { finished = true; });
    Combo("baudCombo")->setCurrentText("19K");
    PortEdit()->setText("");
    Dialog().accept();
    EXPECT_FALSE(finished);
    EXPECT_EQ(GetSettings().baudRate, 9600);
    PortEdit()->setText("3");
    Dialog().accept();
    EXPECT_TRUE(finished);
    EXPECT_EQ(GetSettings().baudRate, 19200);
    EXPECT_EQ(GetSettings().port, 3);
}

TEST_F(MainDialogTest, Picture) {
    Put("Common Words/Short Words.edq");
    Put("Common Words/Long Words.edq");
    for (int points : {8, 16}) {
        SCOPED_TRACE(points);
        pictures::UseFontSize(points);
        dialog.reset();
        Dialog().show();
        QApplication::processEvents();
        pictures::ExpectButtonsShowTheirText(&Dialog());
        pictures::Shot(&Dialog(), "CDictionaryBuilderDlg-" + std::to_string(points) + "pt.png");
    }
    pictures::UseFontSize(0);
}

// Enter presses the focused button; with the focus elsewhere it presses Exit.
TEST_F(MainDialogTest, EnterPressesTheFocusedButton) {
    Put("A/a.edq");
    Dialog().show();
    bool finished = false;
    QObject::connect(&Dialog(), &QDialog::finished, [&] { finished = true; });
    for (const char* name : {"buildButton", "testButton"}) {
        auto* button = Child<QPushButton>(name);
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Return);
    }
    EXPECT_EQ(runner.calls,
              (std::vector<RunnerCall>{{"build", data + "/A/a.edq"}, {"test", ""}}));
    EXPECT_FALSE(finished);
    PortEdit()->setFocus();
    QTest::keyClick(PortEdit(), Qt::Key_Return);
    EXPECT_TRUE(finished);
}

TEST_F(MainDialogTest, EscapeClosesWithoutStoringTheChoices) {
    Put("A/a.edq");
    Dialog();
    Combo("baudCombo")->setCurrentText("19K");
    Dialog().reject();
    EXPECT_EQ(Dialog().result(), QDialog::Rejected);
    EXPECT_EQ(GetSettings().baudRate, 9600);
}

TEST_F(MainDialogTest, MakeRtfWithoutProgressSaysSoAndWritesNothing) {
    Put("A/Lesson.edq");
    SelectWriter(0);  // Make RTF stays enabled after a writer change
    Dialog().OnMakeRtf();
    const auto asked = presenter.Asked();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].kind, Kind::MessageBox);
    EXPECT_NE(asked[0].text.find("\"Lesson\""), std::string::npos) << asked[0].text;
    EXPECT_FALSE(fs::exists(Documents() + "Lesson.rtf"));
}

TEST_F(MainDialogTest, MakeRtfCancelledWritesNothing) {
    Put("A/Lesson.edq");
    Dialog();
    WriteProgress("Lesson", {{"HEL/LO", "hello"}});
    presenter.AnswerFile("");
    Dialog().OnMakeRtf();
    EXPECT_FALSE(fs::exists(Documents() + "Lesson.rtf"));
    EXPECT_EQ(presenter.Asked().size(), 1u);
}

TEST_F(MainDialogTest, MakeRtfWritesTheChosenFileFromTheListsProgress) {
    Put("A/Lesson.edq");
    Dialog();
    WriteProgress("Lesson", {{"HEL/LO", "hello"}});
    const std::string chosen = testenv::MakeTempDir("out") + "/mine.rtf";
    testfiles::WriteBytes(chosen, "an older dictionary");  // the dialog asked and was told yes
    presenter.AnswerFile(chosen);
    Dialog().OnMakeRtf();
    const auto asked = presenter.Asked();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].kind, Kind::FileDialog);
    const std::string rtf = testfiles::ReadBytes(chosen);
    EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u) << rtf;
    EXPECT_NE(rtf.find("{\\*\\cxs HEL/LO}hello\r\n"), std::string::npos) << rtf;
}

TEST_F(MainDialogTest, AFailedExportIsReportedNamingTheFile) {
    Put("A/Lesson.edq");
    Dialog();
    WriteProgress("Lesson", {{"HEL/LO", "hello"}});
    const std::string chosen = testenv::MakeTempDir("out") + "/missing folder/mine.rtf";
    presenter.AnswerFile(chosen);
    Dialog().OnMakeRtf();
    const auto asked = presenter.Asked();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].kind, Kind::MessageBox);
    EXPECT_NE(asked[1].text.find(chosen), std::string::npos) << asked[1].text;
}

TEST_F(MainDialogTest, TestOpensTheWriterTestAfterStoringTheChoices) {
    Put("A/a.edq");
    Dialog();
    Combo("baudCombo")->setCurrentText("38K");
    Dialog().OnTest();
    EXPECT_EQ(runner.calls, (std::vector<RunnerCall>{{"test", ""}}));
    EXPECT_EQ(GetSettings().baudRate, 38400);
}

TEST_F(MainDialogTest, ContextMenuOpensTheAboutBox) {
    Put("A/a.edq");
    std::unique_ptr<QMenu> menu(Dialog().CreateContextMenu());
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), "&About Dictionary Quillfast...");
    menu->actions()[0]->trigger();
    EXPECT_EQ(runner.calls, (std::vector<RunnerCall>{{"about", ""}}));
}

TEST_F(MainDialogTest, ShowsTheProductVersion) {
    std::string name, version;
    ASSERT_TRUE(GetProductNameAndVersion(name, version));
    EXPECT_EQ(Child<QLabel>("versionText")->text(), QString::fromStdString("v." + version));
}

}  // namespace
