// The "Please wait" window: its texts, the progress interval, Cancel, and the seam through
// which drivers open it.
#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "writers/dialogs/CWaitDlg.h"

namespace {

QString Text(const CWaitDlg& dlg, const char* label) {
    return dlg.findChild<QLabel*>(label)->text();
}

TEST(CWaitDlg, ShowsHeadingActionAndCancel) {
    CWaitDlg dlg(32771, 6041, true);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_FALSE(dlg.isModal());
    EXPECT_EQ(dlg.windowTitle(), "Please wait");
    EXPECT_EQ(Text(dlg, "headingLabel"), "Read notes from writer");  // up to the line feed
    EXPECT_EQ(Text(dlg, "actionLabel"), "Reading...");
    EXPECT_EQ(Text(dlg, "statusLabel"), "");
    auto* cancel = dlg.findChild<QPushButton*>("cancelButton");
    ASSERT_NE(cancel, nullptr);
    EXPECT_TRUE(cancel->isVisible());
    EXPECT_EQ(cancel->property("controlId").toInt(), 2);
    EXPECT_EQ(dlg.findChild<QProgressBar*>("progressBar")->property("controlId").toInt(), 1000);
}

TEST(CWaitDlg, WithoutCancelTheButtonIsHidden) {
    CWaitDlg dlg(32771, 6041, false);
    EXPECT_FALSE(dlg.findChild<QPushButton*>("cancelButton")->isVisible());
}

TEST(CWaitDlg, ProgressTakesEffectOnEveryIntervalthCall) {
    CWaitDlg dlg(32771, 6041, true);
    dlg.SetRange(0, 10000, 100);
    std::vector<int> shown;
    QString last;
    for (int call = 0; call < 250; ++call) {
        dlg.SetProgress(call, "x");
        if (Text(dlg, "statusLabel") != last) {
            last = Text(dlg, "statusLabel");
            shown.push_back(call);
        }
    }
    EXPECT_EQ(shown, (std::vector<int>{0, 100, 200}));
    EXPECT_EQ(last, "Processing...   x 200");
    EXPECT_EQ(dlg.progressBar->value(), 200);
}

TEST(CWaitDlg, ProgressBeforeARangeTakesEffectEveryTime) {
    CWaitDlg dlg(32771, 6041, false);
    dlg.SetProgress(5, "");
    EXPECT_EQ(Text(dlg, "statusLabel"), "Processing...    5");
    dlg.SetProgress(6, "");
    EXPECT_EQ(Text(dlg, "statusLabel"), "Processing...    6");
}

TEST(CWaitDlg, CancelAndEscapeAskTheTransferToStopAndTheWindowStays) {
    CWaitDlg dlg(32771, 6041, true);
    EXPECT_FALSE(dlg.IsCancelled());
    QTest::mouseClick(dlg.findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    EXPECT_TRUE(dlg.IsCancelled());
    EXPECT_TRUE(dlg.isVisible());

    CWaitDlg other(32771, 6041, true);
    QTest::keyClick(&other, Qt::Key_Escape);
    EXPECT_TRUE(other.IsCancelled());
    EXPECT_TRUE(other.isVisible());
    other.Close();
    EXPECT_FALSE(other.isVisible());
}

TEST(CWaitDlg, DriversOpenItThroughTheSeam) {
    CWaitDlg::InstallAsWaitDialog();
    auto window = platform::OpenWaitDialog(32771, 6041, true);
    auto* dlg = dynamic_cast<CWaitDlg*>(window.get());
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->isVisible());
    window->SetRange(0, 5, 1);
    window->SetProgress(3, "");
    EXPECT_EQ(dlg->progressBar->value(), 3);
    window->Close();
    platform::InstallWaitDialogFactory(nullptr);
}

}  // namespace
