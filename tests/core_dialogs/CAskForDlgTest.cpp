#include "core/dialogs/CAskForDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "core/AlertBox.h"
#include "core/dialogs/DialogPresenter.h"
#include "tests/support/ModalDriver.h"

namespace {

using platform::kIdCancel;
using platform::kIdOk;

QLineEdit* ValueEdit(QWidget& dlg) { return dlg.findChild<QLineEdit*>("valueEdit"); }
QLineEdit* PasswordEdit(QWidget& dlg) { return dlg.findChild<QLineEdit*>("passwordEdit"); }

void Open(CAskForDlg& dlg) {
    dlg.OnInitDialog();
    dlg.show();
    QApplication::setActiveWindow(&dlg);
}

TEST(CAskForDlgTest, ShowsPromptAndValueCancelKeepsTheValue) {
    CAskForDlg dlg(6028, nullptr);
    dlg.value = "12";
    Open(dlg);
    EXPECT_EQ(dlg.findChild<QLabel*>("promptText")->text(), "Enter starting stroke number:");
    EXPECT_EQ(ValueEdit(dlg)->text(), "12");
    EXPECT_FALSE(PasswordEdit(dlg)->isVisible());
    ValueEdit(dlg)->setText("99");
    QTest::mouseClick(dlg.findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    EXPECT_EQ(dlg.result(), kIdCancel);
    EXPECT_EQ(dlg.value, "12");
}

TEST(CAskForDlgTest, EnterTakesTheTypedValue) {
    CAskForDlg dlg(6028, nullptr);
    dlg.value = "12";
    Open(dlg);
    ValueEdit(dlg)->clear();
    QTest::keyClicks(ValueEdit(dlg), "34");
    QTest::keyClick(ValueEdit(dlg), Qt::Key_Return);
    EXPECT_EQ(dlg.result(), kIdOk);
    EXPECT_EQ(dlg.value, "34");
}

TEST(CAskForDlgTest, EscapeCancels) {
    CAskForDlg dlg(6028, nullptr);
    dlg.value = "5";
    Open(dlg);
    QTest::keyClicks(ValueEdit(dlg), "0");
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_EQ(dlg.result(), kIdCancel);
    EXPECT_EQ(dlg.value, "5");
}

TEST(CAskForDlgTest, PasswordIsTypedHiddenAndBecomesTheValue) {
    CAskForDlg dlg(6053, nullptr);
    ASSERT_TRUE(dlg.PasswordMode());
    Open(dlg);
    EXPECT_FALSE(ValueEdit(dlg)->isVisible());
    ASSERT_TRUE(PasswordEdit(dlg)->isVisible());
    EXPECT_EQ(PasswordEdit(dlg)->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dlg.focusWidget(), PasswordEdit(dlg));
    QTest::keyClicks(PasswordEdit(dlg), "s3cret");
    QTest::mouseClick(dlg.findChild<QPushButton*>("okButton"), Qt::LeftButton);
    EXPECT_EQ(dlg.result(), kIdOk);
    EXPECT_EQ(dlg.value, "s3cret");
}

TEST(CAskForDlgTest, PromptByTextForIdMinusOne) {
    CAskForDlg given(-1, "Name:");
    EXPECT_EQ(given.prompt, "Name:");
    EXPECT_FALSE(given.PasswordMode());
    CAskForDlg none(-1, nullptr);
    EXPECT_EQ(none.prompt, "");
}

TEST(CAskForDlgTest, AskForRunsTheRealDialogModally) {
    DialogPresenter dialogs;
    platform::Presenter* previous = platform::InstallPresenter(&dialogs);
    std::string value = "12";
    {
        ModalDriver driver([](QWidget* w) {
            QLineEdit* edit = ValueEdit(*w);
            ASSERT_NE(edit, nullptr);
            EXPECT_EQ(edit->text(), "12");
            edit->setText("40");
            QTest::keyClick(edit, Qt::Key_Return);
        });
        EXPECT_EQ(AskFor(6028, value, " (of 80)"), kIdOk);
    }
    EXPECT_EQ(value, "40");
    {
        ModalDriver driver([](QWidget* w) {
            EXPECT_EQ(w->findChild<QLabel*>("promptText")->text(), "Enter starting stroke number:");
            ValueEdit(*w)->setText("7");
            QTest::keyClick(w, Qt::Key_Escape);
        });
        EXPECT_EQ(AskFor(6028, value), kIdCancel);
    }
    EXPECT_EQ(value, "40");
    platform::InstallPresenter(previous);
}

}  // namespace
