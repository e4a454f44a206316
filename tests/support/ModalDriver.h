#pragma once
// Drives a modal dialog from inside its own event loop, so that a test can run code that
// calls exec() without anyone at the keyboard:
//
//   ModalDriver driver([](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
//   EXPECT_EQ(AlertBox(5017, 255), -1);
//
// `act` runs once, on the first modal dialog that shows. A dialog still open after the guard
// time is rejected and the test fails, so a test never waits for ever.
#include <QTimer>
#include <functional>

class QWidget;

class ModalDriver {
public:
    explicit ModalDriver(std::function<void(QWidget*)> act, int guardMs = 10000);
    ~ModalDriver();
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;

    bool Acted() const { return acted_; }

private:
    void Poll();
    void Guard();

    std::function<void(QWidget*)> act_;
    QTimer poll_;
    QTimer guard_;
    bool acted_ = false;
};
