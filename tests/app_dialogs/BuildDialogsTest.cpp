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
#include "core/StrokeText.h"
#include "app/dialogs/CBuildDlg.h"
#include "app/dialogs/SuggestConfigDlg.h"
#include "app/dialogs/SuggestStrokes.h"
#include "core/AppSettings.h"
#include "core/DataFiles.h"
#include "platform/Codepage.h"
#include "tests/fakes/StatusWriter.h"
#include "tests/fakes/TestWriters.h"
#include "tests/sim/GeminiWire.h"
#include "tests/sim/PtyPair.h"
#include "tests/support/HookedPresenter.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/ScriptedPresenter.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/WindowPictures.h"
#include "writers/CWriterGM.h"

namespace {

using pictures::ExpectButtonsShowTheirText;
using pictures::Shot;
using pictures::UseFontSize;

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

int FontSizes[] = {0, 8, 16};  // 0: the platform's own size
std::string FontTag(int points) { return points ? std::to_string(points) + "pt" : "default"; }


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
            Shot(&dialog, "CBuildDlg-" + FontTag(points) + ".png");
            QTest::mouseClick(dialog.findChild<QPushButton*>("saveButton"), Qt::LeftButton);
        });
        EXPECT_EQ(dialog.Run(), platform::kIdOk);
        EXPECT_TRUE(driver.Acted());
    }
    UseFontSize(0);
}

QLabel* ConnectionLabel(CBuildDlg& dialog) { return dialog.findChild<QLabel*>("connectionText"); }
// The line as read, without the room left for breaking a long path; empty while hidden.
QString ConnectionShown(CBuildDlg& dialog) {
    QLabel* label = ConnectionLabel(dialog);
    return label->isVisibleTo(&dialog) ? label->text().remove(QChar(0x200B)) : QString();
}

void Queue(CWriter& writer, const Outline& keys) {
    writer.AddStroke(std::uint8_t(keys[0]), std::uint8_t(keys[1]), std::uint8_t(keys[2]), nullptr,
                     std::uint8_t(keys[3]), std::uint8_t(keys[4]), std::uint8_t(keys[5]));
}

// The writer's connection in one line: read once the writer is made, followed through its
// messages, gone while strokes flow; wrapped, never cut, at every font size.
TEST_F(BuildDialogs, ConnectionLinePicture) {
    ASSERT_TRUE(WriteWordListFile(listPath, {"@Animals", "hippopotamus", "cat"}));
    const std::string device = "COM1 = /dev/serial/by-id/usb-Stenograph_Diamante_0123456789-if00";
    for (int points : FontSizes) {
        SCOPED_TRACE(points);
        UseFontSize(points);
        fakes::StatusWriter* writer = nullptr;
        CBuildDlg dialog;
        dialog.SetWriterFactory([&](platform::WindowHandle owner) {
            writer = NewWriter<fakes::StatusWriter>(owner);
            writer->Set(ConnectionState::NotAnswering, device);
            return writer;
        });
        ASSERT_TRUE(dialog.LoadWordList(listPath));
        ModalDriver driver([&](QWidget*) {
            QApplication::processEvents();
            EXPECT_EQ(ConnectionShown(dialog),
                      QString::fromStdString(device + ": the writer does not answer"));
            QLabel* label = ConnectionLabel(dialog);
            EXPECT_GE(label->height(), label->heightForWidth(label->width()));
            EXPECT_LE(label->geometry().bottom(),
                      dialog.findChild<QPushButton*>("saveButton")->geometry().top());
            ExpectButtonsShowTheirText(&dialog);
            Shot(&dialog, "CBuildDlg-not-answering-" + FontTag(points) + ".png");
            Queue(*writer, ParseOutline(0, "TK"));  // strokes flow: nothing to say
            EXPECT_TRUE(QTest::qWaitFor([&] { return ConnectionShown(dialog).isEmpty(); }, 5000));
            EXPECT_EQ(dialog.Walk().outlineText, "TK-");
            writer->Set(ConnectionState::Gone, "COM1 = /dev/ttyUSB0", "no such device");
            EXPECT_TRUE(QTest::qWaitFor(
                [&] { return ConnectionShown(dialog).contains("has gone (no such device)"); },
                5000));
            QTest::mouseClick(dialog.findChild<QPushButton*>("saveButton"), Qt::LeftButton);
        });
        EXPECT_EQ(dialog.Run(), platform::kIdOk);
        EXPECT_TRUE(driver.Acted());
    }
    UseFontSize(0);
}

// The Hebrew layout's letters are Windows-1255 bytes: "\xED\xE4" is the stroke of its first two
// keys, final mem and he, never "i-acute a-umlaut".
TEST_F(BuildDialogs, HebrewStrokesShowInTheirOwnLettersPicture) {
    ASSERT_TRUE(WriteWordListFile(listPath, {"shalom", "two"}));
    GetSettings().keyboardLayout = kHebrewLayout;
    const Outline firstTwoKeys("\x30\x00\x00\x00\x00\x00", 6);
    GetSettings().nextStroke = Outline("\x00\x00\x03\x00\x00\x00", 6);
    const QString memHe = QString(QChar(0x05DD)) + QChar(0x05D4);
    CWriter* writer = nullptr;
    CBuildDlg dialog;
    dialog.SetWriterFactory([&](platform::WindowHandle owner) {
        writer = NewWriter<fakes::StatusWriter>(owner);
        writer->keyboardLayout = kHebrewLayout;
        return writer;
    });
    ASSERT_TRUE(dialog.LoadWordList(listPath));
    ModalDriver driver([&](QWidget*) {
        Queue(*writer, firstTwoKeys);
        auto* list = dialog.findChild<QListWidget*>("strokeList");
        ASSERT_TRUE(QTest::qWaitFor([&] { return list->count() == 1; }, 5000));
        EXPECT_TRUE(list->item(0)->text().contains(memHe)) << list->item(0)->text().toStdString();
        EXPECT_EQ(TapeLineColumns(list->item(0)->text()), 22);
        const QString caption = dialog.findChild<QPushButton*>("nextStrokeButton")->text();
        EXPECT_EQ(caption, StrokeTextToQString(kHebrewLayout, FormatOutline(kHebrewLayout,
                                                                              GetSettings().nextStroke, 0)));
        for (const QString& shown : {list->item(0)->text(), caption})
            for (QChar c : shown)
                EXPECT_FALSE(c.unicode() >= 0xC0 && c.unicode() <= 0xFF) << shown.toStdString();
        Shot(&dialog, "CBuildDlg-hebrew.png");
        QTest::mouseClick(dialog.findChild<QPushButton*>("saveButton"), Qt::LeftButton);
    });
    dialog.Run();
    GetSettings().keyboardLayout = 0;

    GetSettings().keyboardLayout = kHebrewLayout;
    GetSettings().shadowMask = firstTwoKeys;
    GetSettings().dropMask.clear();
    SuggestConfigDlg config;
    EXPECT_TRUE(config.findChild<QLineEdit*>("shadowEdit")->text().contains(memHe));
    SuggestStrokes suggest(FormatOutline(kHebrewLayout, Outline("\x18\x00\x00\x00\x00\x00", 6), 0));
    suggest.OnInitDialog();
    auto* outlines = suggest.findChild<QListWidget*>("outlineList");
    ASSERT_GT(outlines->count(), 0);
    for (int i = 0; i < outlines->count(); ++i)
        for (QChar c : outlines->item(i)->text())
            EXPECT_FALSE(c.unicode() >= 0xC0 && c.unicode() <= 0xFF)
                << outlines->item(i)->text().toStdString();
    GetSettings().keyboardLayout = 0;
}

// Strokes written in a burst are all handled before the end-of-list box opens, and the box
// stands over the walk as they left it: the last word, not the word before the burst.
TEST_F(BuildDialogs, TheEndOfListBoxStandsOverTheLastWord) {
    ASSERT_TRUE(WriteWordListFile(listPath, {"one", "two", "three"}));
    CWriter* writer = nullptr;
    CBuildDlg dialog;
    dialog.SetWriterFactory([&](platform::WindowHandle owner) {
        writer = NewWriter<fakes::StatusWriter>(owner);
        return writer;
    });
    ASSERT_TRUE(dialog.LoadWordList(listPath));
    QString wordUnderTheBox, positionUnderTheBox;
    HookedPresenter presenter([&](const std::string&, unsigned) {
        wordUnderTheBox = dialog.findChild<QLineEdit*>("wordEdit")->text();
        positionUnderTheBox = dialog.findChild<QLabel*>("positionText")->text();
        return platform::kIdOk;
    });
    ModalDriver driver([&](QWidget*) {
        for (const char* stroke : {"TK", "*FPLT", "PW", "*FPLT", "HR", "*FPLT"})
            Queue(*writer, ParseOutline(0, stroke));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.isVisible(); }, 5000));
    });
    EXPECT_EQ(dialog.Run(), platform::kIdOk);
    ASSERT_EQ(presenter.asked.size(), 1u);
    EXPECT_EQ(wordUnderTheBox, "three");
    EXPECT_EQ(positionUnderTheBox, "2 of 3");
    EXPECT_EQ(dialog.Walk().entries,
              (std::vector<ProgressEntry>{{"TK-", "one"}, {"PW-", "two"}, {"HR-", "three"}}));
}

// The banner holds the program's whole name at every font size; a taller window gives the
// stroke list the room, and the buttons beside it keep their spacing.
TEST_F(BuildDialogs, TheBannerAndTheStrokeListGrowPicture) {
    ASSERT_TRUE(WriteWordListFile(listPath, {"one"}));
    for (int points : FontSizes) {
        SCOPED_TRACE(points);
        UseFontSize(points);
        CBuildDlg dialog;
        dialog.SetWriterFactory([](platform::WindowHandle) { return nullptr; });
        ASSERT_TRUE(dialog.LoadWordList(listPath));
        ModalDriver driver([&](QWidget*) {
            auto* banner = dialog.findChild<QLabel*>("bannerImage");
            QFont bannerFont = dialog.font();
            bannerFont.setBold(true);
            bannerFont.setPointSizeF(std::max(dialog.font().pointSizeF(), 8.0) * 2.5);
            EXPECT_GE(banner->pixmap().width(),
                      QFontMetrics(bannerFont).horizontalAdvance("Dictionary Quillfast"));
            EXPECT_GE(banner->width(), banner->pixmap().width());
            auto* list = dialog.findChild<QListWidget*>("strokeList");
            auto* next = dialog.findChild<QPushButton*>("nextButton");
            auto* back = dialog.findChild<QPushButton*>("backButton");
            const int listHeight = list->height();
            const int spacing = next->y() - back->y();
            dialog.resize(dialog.width(), dialog.height() + 200);
            QApplication::processEvents();
            EXPECT_EQ(list->height(), listHeight + 200);
            EXPECT_EQ(next->y() - back->y(), spacing);
            Shot(&dialog, "CBuildDlg-taller-" + FontTag(points) + ".png");
            QTest::mouseClick(dialog.findChild<QPushButton*>("saveButton"), Qt::LeftButton);
        });
        dialog.Run();
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

TEST_F(BuildDialogs, SuggestionsListAndChosenInListOrderPicture) {
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
        Shot(&dialog, "SuggestStrokes-" + FontTag(points) + ".png");
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

TEST_F(BuildDialogs, ConfigureCapturesAndResetsTheMasksPicture) {
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
        Shot(&dialog, "SuggestConfigDlg-" + FontTag(points) + ".png");
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

// In the configuration too, Enter presses the focused button and OK only otherwise.
TEST_F(BuildDialogs, ConfigurationEnterPressesTheFocusedButton) {
    ScriptedChildren capture;
    capture.capture = Stroke{0x00, 0x40, 0, 0, 0, 0};
    GetSettings().shadowMask.clear();
    SuggestConfigDlg dialog;
    dialog.capture = &capture;
    dialog.show();
    bool finished = false;
    QObject::connect(&dialog, &QDialog::finished, [&] { finished = true; });
    auto* shadows = dialog.findChild<QPushButton*>("shadowsButton");
    shadows->setFocus();
    QTest::keyClick(shadows, Qt::Key_Return);
    EXPECT_EQ(GetSettings().shadowMask, Outline("\x00\x40\x00\x00\x00\x00", 6));
    EXPECT_FALSE(finished);
    auto* edit = dialog.findChild<QLineEdit*>("dropEdit");
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_TRUE(finished);
}

#include "BuildDialogsTest.moc"
