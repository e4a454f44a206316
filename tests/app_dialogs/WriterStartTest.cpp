// A writer started as the program starts it, with the real dialogs: the exchange runs beside
// the user interface, "Please wait" comes up, and the writer's own question, "Unable to
// communicate with steno machine.", is shown over it on the user-interface thread; its Cancel
// ends the start.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "core/AppSettings.h"
#include "core/dialogs/CAlertDlg.h"
#include "core/dialogs/DialogPresenter.h"
#include "platform/Presenter.h"
#include "tests/fakes/TestWriters.h"
#include "tests/sim/PtyPair.h"
#include "writers/CreateWriter.h"
#include "writers/StartRunner.h"
#include "writers/dialogs/CWaitDlg.h"
#include "writers/dialogs/QtStartRunner.h"

namespace {

constexpr int kMeritWriterType = 13;  // its start-up command takes a second and a half

TEST(WriterStartWithTheRealDialogs, TheNoAnswerQuestionComesUpOverThePleaseWaitWindow) {
    sim::PtyPair line(1);  // nobody answers on it
    ASSERT_TRUE(line.IsOpen()) << line.Error();
    fakes::UseLineSettings(1);
    GetSettings().writerType = kMeritWriterType;
    DialogPresenter presenter;
    platform::Presenter* previous = platform::InstallPresenter(&presenter);
    QtStartRunner::Install();

    bool waitShown = false, questionShown = false, waitStillUp = false;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->isVisible()) continue;
            if (qobject_cast<CWaitDlg*>(w)) waitShown = true;
            auto* alert = qobject_cast<CAlertDlg*>(w);
            if (!alert || questionShown) continue;
            questionShown = true;
            for (QWidget* other : QApplication::topLevelWidgets())
                waitStillUp = waitStillUp || (qobject_cast<CWaitDlg*>(other) && other->isVisible());
            alert->Button(2)->click();  // "&Cancel"
        }
    });
    look.start(20);
    std::unique_ptr<CWriter> writer(CreateWriter(GetSettings(), kModeRealtime, platform::kNoWindow, 1));
    look.stop();

    ASSERT_NE(writer, nullptr);
    EXPECT_TRUE(waitShown);
    EXPECT_TRUE(questionShown);
    EXPECT_TRUE(waitStillUp);
    EXPECT_EQ(writer->GetConnectionStatus().state, ConnectionState::NotAnswering);
    writer.reset();
    InstallStartRunner(nullptr);
    platform::InstallPresenter(previous);
}

}  // namespace
