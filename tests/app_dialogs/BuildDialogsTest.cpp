// The build dialog and the shadows/drops dialogs on the offscreen platform: pictures at two
// font sizes, the dialogs' own behaviour, and one session fed by a real driver on a
// pseudo-terminal.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <optional>

#include "app/ShadowDrop.h"
#include "app/dialogs/CBuildDlg.h"
#include "app/dialogs/SuggestConfigDlg.h"
#include "app/dialogs/SuggestStrokes.h"
#include "core/AppSettings.h"
#include "core/DataFiles.h"
#include "platform/Codepage.h"
#include "tests/fakes/TestWriters.h"
#include "tests/sim/GeminiWire.h"
#include "tests/sim/PtyPair.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/ScriptedPresenter.h"
#include "tests/support/TestEnvironment.h"
#include "writers/CWriterGM.h"

namespace {

// Pictures go where DQ_SHOTS points (nowhere when unset).
void Shot(QWidget* w, const std::string& name) {
    if (const char* dir = std::getenv("DQ_SHOTS")) w->grab().save(QString::fromStdString(std::string(dir) + "/" + name));
}

// Every top-level widget whose text of some child fits, for finding cut captions.
void ExpectButtonsShowTheirText(QWidget* dialog) {
    for (auto* button : dialog->findChildren<QPushButton*>()) {
        if (!button->isVisible()) continue;
        const QFontMetrics metrics(button->font());
        EXPECT_GE(button->width(), metrics.horizontalAdvance(button->text().remove('&')))
            << button->objectName().toStdString();
    }
    for (auto* label : dialog->findChildren<QLabel*>()) {
        if (!label->isVisible() || label->wordWrap() || label->textFormat() == Qt::RichText ||
            !label->pixmap().isNull())
            continue;
        EXPECT_GE(label->width(), QFontMetrics(label->font()).horizontalAdvance(label->text()))
            << label->objectName().toStdString();
    }
}

class ScriptedChildren final : public BuildChildren {
public:
    bool CaptureStroke(CWriter*, Stroke& keys) override {
        if (!capture) return false;
        keys = *capture;
        return true;
    }
    bool Suggest(const std::string&, std::vector<std::string>&) override { return false; }
    void Configure(CWriter*) override {}
    std::optional<Stroke> capture;
};

class BuildDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        GetSettings().documentsFolder = testenv::MakeTempDir("docs") + "/";
        GetSettings().keyboardLayout = 0;
        GetSettings().shadowMask = ParseOutline(0, "STKPWHRFRPBLGTS");
        GetSettings().dropMask = ParseOutline(0, "LG");
        listPath = testenv::MakeTempDir("lists") + "/Lesson.edq";
        BuildWalk().SetDefaultCommandStrokes();
    }
    std::string listPath;
};

int FontSizes[] = {0, 12};

void UseFontSize(int points) {
    static const QFont original = QApplication::font();
    QFont font = original;
    if (points) font.setPointSize(points);
    QApplication::setFont(font);
}

}  // namespace

TEST_F(BuildDialogs, BuildDialogPictureAndCaptions) {
    ASSERT_TRUE(WriteWordListFile(listPath, {"@Animals", "hippopotamus", "cat"}));
    for (int points : FontSizes) {
        SCOPED_TRACE(points);
        UseFontSize(points);
        CBuildDlg dialog;
        ScriptedChildren children;
        dialog.SetChildren(&children);
        dialog.SetWriterFactory([](platform::WindowHandle) { return nullptr; });
        ASSERT_TRUE(dialog.LoadWordList(listPath));
        ModalDriver driver([&](QWidget* shown) {
            EXPECT_EQ(shown, &dialog);
            auto* heading = dialog.findChild<QLabel*>("headingText");
            EXPECT_EQ(heading->text(), "Animals");
            EXPECT_EQ(dialog.findChild<QLineEdit*>("wordEdit")->text(), "hippopotamus");
            EXPECT_EQ(dialog.findChild<QLabel*>("positionText")->text(), "1 of 3");
            EXPECT_EQ(dialog.findChild<QPushButton*>("nextStrokeButton")->text(), "*FPLT");
            EXPECT_EQ(dialog.findChild<QPushButton*>("backStrokeButton")->text(), "STPH*");
            EXPECT_FALSE(dialog.findChild<QPushButton*>("suggestButton")->isVisible());
            EXPECT_EQ(dialog.findChild<QProgressBar*>("progressBar")->value(), 1);
            ExpectButtonsShowTheirText(&dialog);
            Shot(&dialog, "CBuildDlg-" + std::to_string(points) + "pt.png");
            QTest::mouseClick(dialog.findChild<QPushButton*>("saveButton"), Qt::LeftButton);
        });
        EXPECT_EQ(dialog.Run(), platform::kIdOk);
        EXPECT_TRUE(driver.Acted());
    }
    UseFontSize(0);
}

TEST_F(BuildDialogs, LongWordShrinksToFit) {
    ASSERT_TRUE(WriteWordListFile(listPath, {"cat", std::string(120, 'W')}));
    CBuildDlg dialog;
    dialog.SetWriterFactory([](platform::WindowHandle) { return nullptr; });
    ASSERT_TRUE(dialog.LoadWordList(listPath));
    ModalDriver driver([&](QWidget*) {
        auto* edit = dialog.findChild<QLineEdit*>("wordEdit");
        EXPECT_EQ(edit->font().pointSize(), 28);
        QTest::mouseClick(dialog.findChild<QPushButton*>("nextButton"), Qt::LeftButton);
        EXPECT_EQ(edit->font().pointSize(), 10);  // too long even at 11 points
        Shot(&dialog, "CBuildDlg-long.png");
        edit->setText("dog");  // the user's edit: the font follows the text
        EXPECT_EQ(edit->font().pointSize(), 28);
        QTest::mouseClick(dialog.findChild<QPushButton*>("newOutlineButton"), Qt::LeftButton);
        QTest::mouseClick(dialog.findChild<QPushButton*>("saveButton"), Qt::LeftButton);
    });
    dialog.Run();
    EXPECT_EQ(dialog.Walk().entries, (std::vector<ProgressEntry>{{"", "dog"}}));
}

// One message says why: the reason goes to the caller, which puts it into its one box.
TEST_F(BuildDialogs, UnreadableProgressIsToldOnceAndKept) {
    ASSERT_TRUE(WriteWordListFile(listPath, {"one"}));
    const std::string progress = GetSettings().documentsFolder + "Lesson.dqx";
    std::filesystem::create_directory(progress);
    ScriptedPresenter presenter;
    CBuildDlg dialog;
    std::string why;
    EXPECT_FALSE(dialog.LoadWordList(listPath, &why));
    EXPECT_NE(why.find("\"" + progress + "\" cannot be read"), std::string::npos) << why;
    EXPECT_EQ(why.find(progress, why.find(progress) + 1), std::string::npos) << why;  // once
    EXPECT_TRUE(std::filesystem::is_directory(progress));
    CBuildDlg empty;
    EXPECT_FALSE(empty.LoadWordList(GetSettings().documentsFolder + "none.edq", &why));
    EXPECT_EQ(why, "");  // "Error opening file" says it all
    EXPECT_TRUE(presenter.Asked().empty());
}

// A list stored at its trailing heading: the end of the list is told and a restart offered;
// declined, the dialog never opens; accepted, it opens at the first word.
TEST_F(BuildDialogs, AFinishedListOffersARestartBeforeItOpens) {
    ASSERT_TRUE(WriteWordListFile(listPath, {"one", "@Last"}));
    for (int answer : {platform::kIdNo, platform::kIdYes}) {
        SCOPED_TRACE(answer);
        ASSERT_TRUE(WriteProgressFile(GetSettings().documentsFolder + "Lesson.dqx", {}, 1));
        ScriptedPresenter presenter;
        presenter.AnswerText("restart the dictionary build", answer);
        CBuildDlg dialog;
        dialog.SetWriterFactory([](platform::WindowHandle) { return nullptr; });
        ASSERT_TRUE(dialog.LoadWordList(listPath));
        QString shownWord;
        ModalDriver driver(
            [&](QWidget* shown) {
                shownWord = dialog.findChild<QLineEdit*>("wordEdit")->text();
                QTest::mouseClick(dialog.findChild<QPushButton*>("saveButton"), Qt::LeftButton);
                if (shown->isVisible()) shown->close();
            },
            2000);
        const int result = dialog.Run();
        ASSERT_GE(presenter.Asked().size(), 2u);
        EXPECT_EQ(presenter.Asked()[0].text,
                  "End of list reached (all progress will be automatically saved)");
        if (answer == platform::kIdNo) {
            EXPECT_EQ(result, platform::kIdCancel);
            EXPECT_FALSE(driver.Acted());
        } else {
            EXPECT_EQ(result, platform::kIdOk);
            EXPECT_TRUE(driver.Acted());
            EXPECT_EQ(shownWord, "one");
        }
    }
}

// Enter presses the focused button; with the focus elsewhere (the word) it presses Save.
TEST_F(BuildDialogs, EnterPressesTheFocusedButton) {
    ASSERT_TRUE(WriteWordListFile(listPath, {"one", "two", "three"}));
    CBuildDlg dialog;
    dialog.SetWriterFactory([](platform::WindowHandle) { return nullptr; });
    ASSERT_TRUE(dialog.LoadWordList(listPath));
    ModalDriver driver([&](QWidget*) {
        auto press = [](QWidget* focused) {
            focused->setFocus();
            QTest::keyClick(focused, Qt::Key_Return);
        };
        press(dialog.findChild<QPushButton*>("nextButton"));
        EXPECT_EQ(dialog.Walk().currentLine, 1);
        EXPECT_TRUE(dialog.isVisible());
        press(dialog.findChild<QPushButton*>("newOutlineButton"));
        EXPECT_EQ(dialog.Walk().entries, (std::vector<ProgressEntry>{{"", "two"}}));
        QTest::keyClick(dialog.findChild<QPushButton*>("backButton"), Qt::Key_Enter);
        EXPECT_EQ(dialog.Walk().currentLine, 0);
        EXPECT_TRUE(dialog.isVisible());
        press(dialog.findChild<QLineEdit*>("wordEdit"));
    });
    EXPECT_EQ(dialog.Run(), platform::kIdOk);
    int position = -1;
    ReadProgressFile(GetSettings().documentsFolder + "Lesson.dqx", position);
    EXPECT_EQ(position, 0);
}

TEST_F(BuildDialogs, CancelAsksAndCanStay) {
    ASSERT_TRUE(WriteWordListFile(listPath, {"one", "two"}));
    CBuildDlg dialog;
    dialog.SetWriterFactory([](platform::WindowHandle) { return nullptr; });
    ASSERT_TRUE(dialog.LoadWordList(listPath));
    ScriptedPresenter presenter;
    presenter.AnswerText("Save your results?", platform::kIdCancel)
        .AnswerText("Save your results?", platform::kIdNo);
    ModalDriver driver([&](QWidget*) {
        QTest::keyClick(&dialog, Qt::Key_Escape);
        EXPECT_TRUE(dialog.isVisible());
        dialog.close();  // the close box asks too
    });
    EXPECT_EQ(dialog.Run(), platform::kIdCancel);
    EXPECT_FALSE(std::filesystem::exists(GetSettings().documentsFolder + "Lesson.dqx"));
}

// The link opens the look-up address through the desktop's URL handler.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void Open(const QUrl& url) { opened.push_back(url); }
};

TEST_F(BuildDialogs, DefinitionLinkOpensTheEncodedWord) {
    ASSERT_TRUE(WriteWordListFile(listPath, {"caf\xE9 au lait"}));
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "Open");
    CBuildDlg dialog;
    dialog.SetWriterFactory([](platform::WindowHandle) { return nullptr; });
    ASSERT_TRUE(dialog.LoadWordList(listPath));
    ModalDriver driver([&](QWidget*) {
        auto* link = dialog.findChild<QLabel*>("definitionLink");
        emit link->linkActivated("definition");
        QTest::mouseClick(dialog.findChild<QPushButton*>("saveButton"), Qt::LeftButton);
    });
    dialog.Run();
    QDesktopServices::unsetUrlHandler("https");
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_TRUE(catcher.opened[0].toString(QUrl::FullyEncoded).endsWith("/dictionary/caf%C3%A9%20au%20lait"))
        << catcher.opened[0].toString(QUrl::FullyEncoded).toStdString();
}

// A real Gemini driver on a pseudo-terminal feeds the dialog; its simulator sends the strokes.
TEST_F(BuildDialogs, SessionWithARealDriver) {
    sim::PtyPair pty(1);
    ASSERT_TRUE(pty.IsOpen()) << pty.Error();
    fakes::UseLineSettings(1);
    ASSERT_TRUE(WriteWordListFile(listPath, {"one", "two"}));
    CBuildDlg dialog;
    dialog.SetWriterFactory([](platform::WindowHandle owner) {
        CWriter* writer = NewWriter<CWriterGM>(owner);
        writer->mode = kModeRealtime;
        writer->Start(1);
        return writer;
    });
    ASSERT_TRUE(dialog.LoadWordList(listPath));
    ModalDriver driver([&](QWidget*) {
        auto* list = dialog.findChild<QListWidget*>("strokeList");
        pty.Send(simwire::GeminiPacket("T- K-"));
        pty.Send(simwire::GeminiPacket("P- W-"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return list->count() == 2; }, 5000));  // a bound only
        EXPECT_EQ(dialog.Walk().outlineText, "TK-/PW-");
        Shot(&dialog, "CBuildDlg-strokes.png");
        pty.Send(simwire::GeminiPacket("*1 -F -P -L -T"));  // Next
        EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.Walk().currentLine == 1; }, 5000));
        pty.Send(simwire::GeminiPacket("H- R-"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return list->count() == 1; }, 5000));
        QTest::mouseClick(dialog.findChild<QPushButton*>("saveButton"), Qt::LeftButton);
    });
    EXPECT_EQ(dialog.Run(), platform::kIdOk);
    int position = -1;
    EXPECT_EQ(ReadProgressFile(GetSettings().documentsFolder + "Lesson.dqx", position),
              (std::vector<ProgressEntry>{{"TK-/PW-", "one"}}));
    EXPECT_EQ(position, 1);
}

TEST_F(BuildDialogs, SuggestionsListAndChosenInListOrder) {
    GetSettings().shadowMask = ParseOutline(0, "SH");
    GetSettings().dropMask = ParseOutline(0, "T");
    for (int points : FontSizes) {
        UseFontSize(points);
        SuggestStrokes dialog("TK TK");
        dialog.OnInitDialog();
        auto* list = dialog.findChild<QListWidget*>("outlineList");
        QStringList shown;
        for (int i = 0; i < list->count(); ++i) shown.push_back(list->item(i)->text());
        EXPECT_EQ(shown, (QStringList{"TK-/STK-", "TK-/K-", "STK-/TK-", "STK-/STK-", "STK-/K-",
                                      "K-/TK-", "K-/STK-", "K-/K-"}));
        EXPECT_TRUE(list->selectedItems().isEmpty());
        dialog.show();
        Shot(&dialog, "SuggestStrokes-" + std::to_string(points) + "pt.png");
        ExpectButtonsShowTheirText(&dialog);
        // Line 3 first, then line 1 with Ctrl.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(3)).center());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          list->visualItemRect(list->item(1)).center());
        QTest::mouseClick(dialog.findChild<QPushButton*>("okButton"), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), platform::kIdOk);
        EXPECT_EQ(dialog.chosenOutlines, (std::vector<std::string>{"TK-/K-", "STK-/STK-"}));
    }
    UseFontSize(0);
    SuggestStrokes cancelled("TK");
    cancelled.OnInitDialog();
    cancelled.findChild<QListWidget*>("outlineList")->selectAll();
    cancelled.reject();
    EXPECT_EQ(cancelled.result(), platform::kIdCancel);
    EXPECT_TRUE(cancelled.chosenOutlines.empty());
}

TEST_F(BuildDialogs, EmptyMasksOfferNothing) {
    GetSettings().shadowMask.clear();
    GetSettings().dropMask = Outline(6, '\0');
    SuggestStrokes dialog("TK/PW");
    dialog.OnInitDialog();
    EXPECT_EQ(dialog.findChild<QListWidget*>("outlineList")->count(), 0);
    dialog.OnOK();
    EXPECT_TRUE(dialog.chosenOutlines.empty());
}

TEST_F(BuildDialogs, ConfigureCapturesAndResetsTheMasks) {
    ScriptedChildren capture;
    const Stroke written = [] {
        Stroke s{};
        const Outline o = ParseOutline(0, "KWR");
        std::copy(o.begin(), o.end(), s.begin());
        return s;
    }();
    GetSettings().shadowMask.clear();
    GetSettings().dropMask = ParseOutline(0, "LG");
    for (int points : FontSizes) {
        UseFontSize(points);
        SuggestConfigDlg dialog;
        dialog.show();
        Shot(&dialog, "SuggestConfigDlg-" + std::to_string(points) + "pt.png");
        ExpectButtonsShowTheirText(&dialog);
    }
    UseFontSize(0);
    SuggestConfigDlg dialog;
    dialog.capture = &capture;
    auto* shadowEdit = dialog.findChild<QLineEdit*>("shadowEdit");
    auto* dropEdit = dialog.findChild<QLineEdit*>("dropEdit");
    EXPECT_EQ(shadowEdit->text(), "");
    EXPECT_EQ(dropEdit->text(), "-LG");

    dialog.OnShadows();  // nothing captured: unchanged
    EXPECT_TRUE(GetSettings().shadowMask.empty());
    capture.capture = written;
    dialog.OnShadows();  // into an empty mask
    EXPECT_EQ(GetSettings().shadowMask, ParseOutline(0, "KWR"));
    EXPECT_EQ(shadowEdit->text(), "KWR-");
    dialog.OnResetDrops();
    EXPECT_EQ(GetSettings().dropMask, Outline(6, '\0'));
    EXPECT_EQ(dropEdit->text(), "");
    EXPECT_TRUE(GenerateVariants(ParseOutline(0, "PBLG"), "", GetSettings().dropMask).empty());
}

#include "BuildDialogsTest.moc"
