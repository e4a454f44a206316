// Starting a writer beside the user interface: the event loop keeps turning while a writer
// that does not answer is waited for, the "Please wait" window shows the connection and its
// Cancel ends the wait as the Cancel of "Unable to communicate" would, questions the start-up
// asks are answered on the user-interface thread, and a writer that is ready at once shows
// no window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <memory>
#include <string>
#include <thread>

#include "tests/fakes/FakeOwnerWindow.h"
#include "tests/fakes/TestWriters.h"
#include "tests/sim/GeminiSimulator.h"
#include "tests/sim/PtyPair.h"
#include "tests/support/ScriptedPresenter.h"
#include "writers/CWriterGM.h"
#include "writers/CWriterSR.h"
#include "writers/StartRunner.h"
#include "writers/dialogs/CWaitDlg.h"
#include "writers/dialogs/QtStartRunner.h"

namespace {

constexpr int kMessageNoAnswer = 5017;

class StartBesideTheWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(line.IsOpen()) << line.Error();
        fakes::UseLineSettings(1);
        QtStartRunner::Install();
    }
    void TearDown() override { InstallStartRunner(nullptr); }

    template <class Driver>
    std::unique_ptr<Driver> Make() {
        std::unique_ptr<Driver> writer(NewWriter<Driver>(owner.Handle()));
        writer->mode = kModeRealtime;
        return writer;
    }

    // The "Please wait" window on the screen now, if any.
    static CWaitDlg* ShownWaitWindow() {
        for (QWidget* w : QApplication::allWidgets())
            if (auto* wait = qobject_cast<CWaitDlg*>(w); wait && wait->isVisible()) return wait;
        return nullptr;
    }

    sim::PtyPair line{1};  // nobody answers on it
    fakes::FakeOwnerWindow owner;
};

TEST_F(StartBesideTheWindow, ASilentWriterKeepsTheLoopTurningAndCancelEndsTheWait) {
    auto writer = Make<CWriterSR>();  // its handshake alone would take several seconds
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);

    bool windowSeen = false, modal = false;
    QString status;
    int ticksBeforeCancel = 0;
    QElapsedTimer sinceCancel;
    QTimer::singleShot(800, [&] {
        CWaitDlg* wait = ShownWaitWindow();
        windowSeen = wait != nullptr;
        if (!wait) return;
        modal = wait->isModal();
        status = wait->findChild<QLabel*>("statusLabel")->text();
        wait->grab().save("start-connecting.png");
        QFont larger = wait->font();
        larger.setPointSize(16);
        wait->setFont(larger);
        wait->adjustSize();
        wait->grab().save("start-connecting-16pt.png");
        ticksBeforeCancel = ticks;
        sinceCancel.start();
        wait->findChild<QPushButton*>("cancelButton")->click();
    });
    RunStart(*writer, 1);
    const qint64 afterCancelMs = sinceCancel.isValid() ? sinceCancel.elapsed() : -1;

    ASSERT_TRUE(windowSeen);
    EXPECT_TRUE(modal);
    EXPECT_EQ(status.toStdString(), "COM1 = " + line.LinkPath() + ": connecting to the writer...");
    EXPECT_GE(ticksBeforeCancel, 10);  // the loop turned while Start waited
    // Ended by the Cancel, not by the exchange running out (a guard against hanging, not a
    // timing goal).
    EXPECT_GE(afterCancelMs, 0);
    EXPECT_LT(afterCancelMs, 2000);
    EXPECT_TRUE(writer->StartCancelled());
    EXPECT_EQ(writer->GetConnectionStatus().state, ConnectionState::NotAnswering);
    EXPECT_EQ(writer->threadStopped.load(), 1);  // nothing will be delivered
    EXPECT_EQ(ShownWaitWindow(), nullptr);
    // The owner hears that the status changed once the start is over.
    QApplication::processEvents();
    EXPECT_TRUE(owner.WaitForMessages(1, 1000));
}

TEST_F(StartBesideTheWindow, QuestionsOfTheStartUpAreAskedOnTheUserInterfaceThread) {
    ScriptedPresenter presenter;
    presenter.Answer(kMessageNoAnswer, 1);  // "&Cancel"
    auto writer = Make<CWriterSR>();
    writer->answerWaitMs = 10;
    writer->byteDelayStepMs = 1;
    RunStart(*writer, 1);
    const auto asked = presenter.Asked();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].id, kMessageNoAnswer);
    EXPECT_FALSE(writer->StartCancelled());
    EXPECT_EQ(writer->GetConnectionStatus().state, ConnectionState::NotAnswering);
}

TEST_F(StartBesideTheWindow, AWriterReadyAtOnceShowsNoWindow) {
    sim::GeminiSimulator sim(2);
    ASSERT_TRUE(sim.IsOpen()) << sim.Error();
    fakes::UseLineSettings(2);
    auto writer = Make<CWriterGM>();
    bool shown = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] { shown = shown || ShownWaitWindow(); });
    watch.start(5);
    RunStart(*writer, 1);
    EXPECT_FALSE(shown);
    EXPECT_EQ(writer->GetConnectionStatus().state, ConnectionState::Connected);
    // Strokes go to the real owner, not to the window that stood in during the start.
    sim.Stroke("S1-");
    EXPECT_TRUE(owner.WaitForStrokes(*writer, 1, 5000));
}

}  // namespace
