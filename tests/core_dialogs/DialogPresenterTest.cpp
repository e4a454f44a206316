#include "core/dialogs/DialogPresenter.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFontInfo>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <cstdlib>

#include "tests/support/ModalDriver.h"
#include "tests/support/TestEnvironment.h"

namespace {

using namespace platform;

// The file dialog's model reads folders on a thread of Qt's own, which ThreadSanitizer cannot
// see into: it reports Qt's internal hand-over as a race.
#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadSanitizer = true;
#else
constexpr bool kThreadSanitizer = false;
#endif

// Shows real dialogs, except that notices and the desktop's browser are recorded.
class RecordingPresenter : public DialogPresenter {
public:
    std::vector<std::string> notices;
    std::vector<std::pair<std::string, int>> opened;
    bool openSucceeds = true;

    void Notice(const std::string& text, const std::string&) override { notices.push_back(text); }

protected:
    bool OpenUrl(const std::string& fileName, int contextId) override {
        opened.emplace_back(fileName, contextId);
        return openSucceeds;
    }
};

struct BoxCase {
    const char* name;
    unsigned style;
    QMessageBox::StandardButton press;  // NoButton: Escape
    int expected;
};
void PrintTo(const BoxCase& c, std::ostream* os) { *os << c.name; }

class MessageBoxTest : public testing::TestWithParam<BoxCase> {};

TEST_P(MessageBoxTest, ButtonGivesItsResult) {
    const BoxCase& c = GetParam();
    DialogPresenter presenter;
    ModalDriver driver([&c](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), "Save your results?");
        if (c.press == QMessageBox::NoButton) {
            QTest::keyClick(box, Qt::Key_Escape);
            return;
        }
        ASSERT_NE(box->button(c.press), nullptr);
        box->button(c.press)->click();
    });
    EXPECT_EQ(presenter.MessageBox("Save your results?", "Dictionary Quillfast", c.style), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Styles, MessageBoxTest,
    testing::Values(BoxCase{"Ok", kMbOk, QMessageBox::Ok, kIdOk},
                    BoxCase{"OkEscape", kMbOk, QMessageBox::NoButton, kIdOk},
                    BoxCase{"OkCancel", kMbOkCancel, QMessageBox::Cancel, kIdCancel},
                    BoxCase{"AbortRetryIgnore", kMbAbortRetryIgnore, QMessageBox::Retry, kIdRetry},
                    BoxCase{"YesNoCancelYes", kMbYesNoCancel | kMbIconQuestion, QMessageBox::Yes, kIdYes},
                    BoxCase{"YesNoCancelEscape", kMbYesNoCancel, QMessageBox::NoButton, kIdCancel},
                    BoxCase{"YesNoNo", kMbYesNo, QMessageBox::No, kIdNo},
                    BoxCase{"YesNoEscape", kMbYesNo, QMessageBox::NoButton, kIdNo},
                    BoxCase{"RetryCancel", kMbRetryCancel, QMessageBox::Retry, kIdRetry}),
    [](const testing::TestParamInfo<BoxCase>& info) { return std::string(info.param.name); });

TEST(DialogPresenterTest, MessageBoxDefaultButtonAndPlainText) {
    DialogPresenter presenter;
    ModalDriver driver([](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        EXPECT_EQ(box->windowTitle(), "Dictionary Quillfast");
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_EQ(presenter.MessageBox("<b>Restart?</b>", "", kMbYesNo | kMbIconQuestion | kMbDefButton2),
              kIdNo);
}

// A box with a short text is still wide enough for its title and the window's own buttons.
TEST(DialogPresenterTest, ANarrowBoxIsWideEnoughForItsTitlePicture) {
    DialogPresenter presenter;
    for (int points : {8, 16}) {
        SCOPED_TRACE(points);
        QFont font = QApplication::font();
        font.setPointSize(points);
        QApplication::setFont(font);
        ModalDriver driver([](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            QFont bold = box->font();
            bold.setBold(true);
            const QFontMetrics metrics(bold);
            EXPECT_GE(box->width(), metrics.horizontalAdvance("Dictionary Quillfast") +
                                        6 * metrics.height());
            if (const char* shots = std::getenv("DQ_SHOTS"))
                box->grab().save(QString::fromLocal8Bit(shots) + "/MessageBox-narrow-" +
                                 QString::number(QFontInfo(box->font()).pointSize()) + "pt.png");
            QTest::keyClick(box, Qt::Key_Return);
        });
        presenter.MessageBox("Enter an integer.", "", kMbOk | kMbIconWarning);
        EXPECT_TRUE(driver.Acted());
    }
    QApplication::setFont(QFont());
}

TEST(DialogPresenterTest, HelpWithoutAHelpFileSaysSo) {
    RecordingPresenter presenter;
    presenter.Help(5017);
    EXPECT_TRUE(presenter.opened.empty());
    ASSERT_EQ(presenter.notices.size(), 1u);
    EXPECT_NE(presenter.notices[0].find("No help is installed"), std::string::npos);
    EXPECT_NE(presenter.notices[0].find("5017"), std::string::npos);
}

TEST(DialogPresenterTest, HelpOpensTheHelpFileAtTheTopic) {
    const std::string folder = std::string(std::getenv("XDG_DATA_HOME")) + "/dictionary-quillfast/help";
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
    const std::string file = folder + "/DictionaryQuillfast.html";
    QFile help(QString::fromStdString(file));
    ASSERT_TRUE(help.open(QIODevice::WriteOnly));
    help.write("<html><body><h1 id=\"5017\">Unable to communicate</h1></body></html>");
    help.close();

    RecordingPresenter presenter;
    presenter.Help(5017);
    ASSERT_EQ(presenter.opened.size(), 1u);
    EXPECT_EQ(presenter.opened[0], std::make_pair(file, 5017));
    EXPECT_TRUE(presenter.notices.empty());

    presenter.openSucceeds = false;
    presenter.Help(5018);
    ASSERT_EQ(presenter.notices.size(), 1u);
    EXPECT_NE(presenter.notices[0].find("could not be opened"), std::string::npos);
}

TEST(DialogPresenterTest, SaveDialogAddsTheSuffix) {
    if (kThreadSanitizer) GTEST_SKIP() << "Qt's file-system thread is not instrumented";
    const std::string folder = testenv::MakeTempDir("save");
    DialogPresenter presenter;
    ModalDriver driver([](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        dialog->selectFile("dictionary");
        static_cast<QDialog*>(dialog)->accept();  // QFileDialog hides it
    });
    FileDialogRequest request;
    request.save = true;
    request.title = "Save RTF";
    request.folder = folder;
    request.filter = "RTF files (*.rtf)";
    request.defaultSuffix = "rtf";
    EXPECT_EQ(presenter.FileDialog(request), folder + "/dictionary.rtf");
}

TEST(DialogPresenterTest, CancelledFileDialogGivesNoPath) {
    if (kThreadSanitizer) GTEST_SKIP() << "Qt's file-system thread is not instrumented";
    DialogPresenter presenter;
    ModalDriver driver([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    FileDialogRequest request;
    request.folder = testenv::MakeTempDir("open");
    EXPECT_EQ(presenter.FileDialog(request), "");
}

}  // namespace
