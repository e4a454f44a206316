#include "core/dialogs/CAlertDlg.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "core/AlertBox.h"
#include "core/dialogs/DialogPresenter.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/ScriptedPresenter.h"

namespace {

using platform::kIdClosed;

QLabel* TextOf(CAlertDlg& dlg) { return dlg.findChild<QLabel*>("messageText"); }

std::vector<QPushButton*> VisibleButtons(CAlertDlg& dlg) {
    std::vector<QPushButton*> out;
    for (int n = 1; n <= 4; ++n)
        if (dlg.Button(n)->isVisible()) out.push_back(dlg.Button(n));
    return out;
}

// Builds, initialises and shows a box (not modal: the test drives it directly).
void Open(CAlertDlg& dlg) {
    ASSERT_TRUE(dlg.OnInitDialog());
    dlg.show();
    QApplication::setActiveWindow(&dlg);
}

struct StyleCase {
    const char* name;
    std::uint32_t style;
    int messageId;
    std::vector<QString> captions;
    std::vector<int> results;
};
void PrintTo(const StyleCase& c, std::ostream* os) { *os << c.name; }

class CAlertDlgStyleTest : public testing::TestWithParam<StyleCase> {};

TEST_P(CAlertDlgStyleTest, EachButtonReturnsItsResult) {
    const StyleCase& c = GetParam();
    for (std::size_t i = 0; i < c.results.size(); ++i) {
        CAlertDlg dlg(c.messageId, c.style, "");
        Open(dlg);
        std::vector<QPushButton*> shown = VisibleButtons(dlg);
        ASSERT_EQ(shown.size(), c.captions.size());
        for (std::size_t k = 0; k < shown.size(); ++k) {
            EXPECT_EQ(shown[k], dlg.Button(int(k) + 1)) << "buttons fill from the left";
            EXPECT_EQ(shown[k]->text(), c.captions[k]);
        }
        QTest::mouseClick(shown[i], Qt::LeftButton);
        EXPECT_EQ(dlg.Result(), c.results[i]) << "button " << i + 1;
        EXPECT_FALSE(dlg.isVisible());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Styles, CAlertDlgStyleTest,
    testing::Values(
        StyleCase{"Ok", 0, 5047, {"OK"}, {1}},
        StyleCase{"OkCancel", 1, 5047, {"OK", "Cancel"}, {1, 2}},
        StyleCase{"YesNoCancel", 3, 5047, {"&Yes", "&No", "Cancel"}, {6, 7, 2}},
        StyleCase{"YesNo", 4, 5047, {"&Yes", "&No"}, {6, 7}},
        StyleCase{"RetryCancel", 5, 5047, {"&Retry", "Cancel"}, {4, 2}},
        StyleCase{"CustomTwo", 255, 5017, {"&Retry", "&Cancel"}, {0, 1}},
        StyleCase{"CustomThree", 255, 5018, {"&Last", "&First", "&Other"}, {0, 1, 2}}),
    [](const testing::TestParamInfo<StyleCase>& info) { return std::string(info.param.name); });

TEST(CAlertDlgTest, RetryCancelUsesTheFirstTwoControlsAndShowsHelp) {
    CAlertDlg dlg(5017, 255, "");
    Open(dlg);
    std::vector<QPushButton*> shown = VisibleButtons(dlg);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0]->property("controlId").toInt(), 1208);
    EXPECT_EQ(shown[1]->property("controlId").toInt(), 8);
    EXPECT_TRUE(dlg.HelpButton()->isVisible());
    EXPECT_EQ(TextOf(dlg)->text(), "Unable to communicate with steno machine.");
    // No title, as the template has none, but not an empty one, for which the window system
    // would show the program's file name.
    EXPECT_FALSE(dlg.windowTitle().isEmpty());
    EXPECT_EQ(dlg.windowTitle().trimmed(), "");
}

TEST(CAlertDlgTest, EscapeAndTheCloseBoxGiveMinusOne) {
    {
        CAlertDlg dlg(5017, 255, "");
        Open(dlg);
        QTest::keyClick(&dlg, Qt::Key_Escape);
        EXPECT_EQ(dlg.Result(), kIdClosed);
        EXPECT_FALSE(dlg.isVisible());
    }
    {
        CAlertDlg dlg(5047, 4, "");
        Open(dlg);
        EXPECT_TRUE(dlg.close());
        EXPECT_EQ(dlg.Result(), kIdClosed);
    }
}

TEST(CAlertDlgTest, SecondByteMakesNoTheDefaultAndEnterPressesIt) {
    CAlertDlg dlg(5047, 0x104, "");
    Open(dlg);
    EXPECT_TRUE(dlg.Button(2)->isDefault());
    EXPECT_FALSE(dlg.Button(1)->isDefault());
    EXPECT_EQ(dlg.focusWidget(), dlg.Button(2));
    QTest::keyClick(&dlg, Qt::Key_Return);
    EXPECT_EQ(dlg.Result(), platform::kIdNo);
}

TEST(CAlertDlgTest, EnterPressesButtonOneOtherwise) {
    CAlertDlg dlg(5047, 4, "");
    Open(dlg);
    EXPECT_TRUE(dlg.Button(1)->isDefault());
    QTest::keyClick(&dlg, Qt::Key_Enter);
    EXPECT_EQ(dlg.Result(), platform::kIdYes);
}

TEST(CAlertDlgTest, AnsweredAtOnceIsNeverShown) {
    CAlertDlg dlg(5044, 0, "");
    EXPECT_FALSE(dlg.OnInitDialog());
    EXPECT_EQ(dlg.Result(), 1);
    EXPECT_FALSE(dlg.isVisible());
    CAlertDlg again(5044, 0, "");
    EXPECT_EQ(again.Run(), 1);  // returns without a modal run
}

TEST(CAlertDlgTest, FiveCaptionsShowFour) {
    CAlertDlg dlg(PrepareAlertMessage(9000, 255, "Pick one|01|&A|&B|&C|&D|&E", ""));
    Open(dlg);
    std::vector<QPushButton*> shown = VisibleButtons(dlg);
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[3]->text(), "&D");
    QTest::mouseClick(shown[3], Qt::LeftButton);
    EXPECT_EQ(dlg.Result(), 3);
}

TEST(CAlertDlgTest, InsertTextIsShownAsPlainTextWithBarsDisarmed) {
    CAlertDlg dlg(PrepareAlertMessage(9001, 0, "Cannot open %s.|00|", "a|b <b>c</b>"));
    Open(dlg);
    EXPECT_EQ(TextOf(dlg)->text(), "Cannot open a!b <b>c</b>.");
    EXPECT_EQ(TextOf(dlg)->textFormat(), Qt::PlainText);
    EXPECT_FALSE(dlg.HelpButton()->isVisible());
}

TEST(CAlertDlgTest, LineBreaksAreShownAsSuch) {
    CAlertDlg dlg(5047, 0, "");
    Open(dlg);
    EXPECT_EQ(TextOf(dlg)->text(),
              "Diskettes from this writer cannot be read directly in this system.\n"
              "Use the cable interface to read notes from the writer.");
}

// The box grows to its text at every font size: no line, and no part of a long word, is cut.
TEST(CAlertDlgTest, BoxFitsItsTextAtLargerFonts) {
    const std::string longWord = "/home/stenographer/Documents/Dictionary Quillfast/"
                                 "a-very-long-folder-name-without-any-blank-in-it-at-all/list.dqx";
    struct Case {
        const char* name;
        platform::AlertRequest request;
    } cases[] = {
        {"message 5047", PrepareAlert(5047, 0, "")},
        {"six lines",
         PrepareAlertMessage(9002, 1, "One.\r\nTwo.\r\nThree.\r\nFour.\r\nFive.\r\nSix.|01|", "")},
        {"long word", PrepareAlertMessage(9003, 0, "Cannot write %s.|00|", longWord)},
        {"one short line", PrepareAlert(5017, 255, "")},
    };
    const QFont original = QApplication::font();
    for (int points : {8, 10, 12, 16}) {
        QFont font = original;
        font.setPointSize(points);
        QApplication::setFont(font);
        for (const Case& c : cases) {
            std::string what = std::string(c.name) + " at " + std::to_string(points) + " pt";
            CAlertDlg dlg(c.request);
            Open(dlg);
            QLabel* label = TextOf(dlg);
            const QRect box = label->contentsRect();
            const QRect needed =
                QFontMetrics(label->font())
                    .boundingRect(QRect(0, 0, box.width(), 100000),
                                  Qt::TextWordWrap | Qt::AlignHCenter, label->text());
            EXPECT_LE(needed.height(), box.height()) << what << ": lines cut";
            EXPECT_LE(needed.width(), box.width()) << what << ": a word cut";
            EXPECT_TRUE(dlg.rect().contains(label->geometry())) << what;
            EXPECT_GE(dlg.Button(1)->y(), label->geometry().bottom())
                << what << ": buttons overlap";
            EXPECT_TRUE(dlg.rect().contains(dlg.HelpButton()->geometry())) << what;
            EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize()) << what << ": the frame is fixed";
            if (const char* shots = std::getenv("DQ_SHOTS"))
                dlg.grab().save(QString::fromStdString(std::string(shots) + "/alert-" + c.name +
                                                       "-" + std::to_string(points) + ".png"));
        }
    }
    QApplication::setFont(original);
}

TEST(CAlertDlgTest, UnknownIdAndUnlistedStyleCanStillBeLeft) {
    {
        CAlertDlg dlg(4999, 255, "");
        Open(dlg);
        EXPECT_EQ(TextOf(dlg)->text(), "");
        std::vector<QPushButton*> shown = VisibleButtons(dlg);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0]->text(), "OK");
        QTest::mouseClick(shown[0], Qt::LeftButton);
        EXPECT_EQ(dlg.Result(), kIdClosed);
        EXPECT_FALSE(dlg.isVisible());
    }
    for (std::uint32_t style : {2u, 7u}) {
        CAlertDlg dlg(5047, style, "");
        Open(dlg);
        EXPECT_TRUE(VisibleButtons(dlg).empty()) << style;
        dlg.OnButton(1);  // a button the style does not list changes nothing
        EXPECT_TRUE(dlg.isVisible()) << style;
        QTest::keyClick(&dlg, Qt::Key_Escape);
        EXPECT_EQ(dlg.Result(), kIdClosed) << style;
        EXPECT_FALSE(dlg.isVisible()) << style;
    }
}

TEST(CAlertDlgTest, HelpAsksForTheMessagesTopic) {
    ScriptedPresenter presenter;
    CAlertDlg dlg(5017, 255, "");
    Open(dlg);
    QTest::mouseClick(dlg.HelpButton(), Qt::LeftButton);
    EXPECT_TRUE(dlg.isVisible()) << "Help leaves the box open";
    auto asked = presenter.Asked();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].kind, ScriptedPresenter::Kind::Help);
    EXPECT_EQ(asked[0].id, 5017);
}

TEST(CAlertDlgTest, AlertBoxRunsTheRealDialogModally) {
    DialogPresenter dialogs;
    platform::Presenter* previous = platform::InstallPresenter(&dialogs);
    {
        ModalDriver driver([](QWidget* w) {
            auto* dlg = qobject_cast<CAlertDlg*>(w);
            ASSERT_NE(dlg, nullptr);
            QTest::mouseClick(dlg->Button(1), Qt::LeftButton);
        });
        EXPECT_EQ(AlertBox(5017, 255), 0);
        EXPECT_TRUE(driver.Acted());
    }
    {
        ModalDriver driver([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
        EXPECT_EQ(AlertBox(5081, 255), kIdClosed);
    }
    // Answered at once: nothing is shown, so nothing needs driving.
    EXPECT_EQ(AlertBox(5044, 0), 1);
    platform::InstallPresenter(previous);
}

}  // namespace
