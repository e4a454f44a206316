#include "writers/dialogs/QtStartRunner.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProgressBar>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <exception>
#include <memory>
#include <thread>

#include "platform/Presenter.h"
#include "platform/QtMessageWindow.h"
#include "writers/CWriter.h"
#include "writers/dialogs/CWaitDlg.h"

namespace {

const char* const kHeading = "Connecting to the writer";

// The writer's owner while it starts: strokes stay queued for the real owner, the status goes
// to the window.
class StartingOwner final : public QObject {
public:
    explicit StartingOwner(CWriter& writer) : writer_(writer) {}
    ~StartingOwner() override { messageWindow_.Unregister(); }

    platform::WindowHandle Handle() const { return messageWindow_.Handle(); }
    void Show(CWaitDlg* window) {
        window_ = window;
        ShowStatus();
    }

protected:
    bool event(QEvent* e) override {
        if (const auto* m = platform::WindowMessageEvent::From(e)) {
            if (m->Message() == platform::kConnectionMessage) ShowStatus();
            return true;
        }
        return QObject::event(e);
    }

private:
    void ShowStatus() {
        if (window_) window_->SetStatusLine(writer_.GetConnectionStatus().Text());
    }

    CWriter& writer_;
    CWaitDlg* window_ = nullptr;
    platform::QtMessageWindow messageWindow_{this};
};

}  // namespace

void QtStartRunner::Install() {
    static QtStartRunner runner;
    InstallStartRunner(&runner);
}

void QtStartRunner::Run(CWriter& writer, unsigned argument) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        writer.Start(argument);
        return;
    }
    StartingOwner starting(writer);
    const platform::WindowHandle owner = writer.SetOwner(starting.Handle());

    QEventLoop loop;
    std::atomic<bool> done{false};
    std::exception_ptr failure;
    std::thread worker([&] {
        platform::QuestionsForUiThread questions;
        try {
            writer.Start(argument);
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
        // By name: the call event is then Qt's own from end to end.
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });

    // A writer that is ready at once shows no window; meanwhile input waits.
    QTimer showTimer;
    showTimer.setSingleShot(true);
    QObject::connect(&showTimer, &QTimer::timeout, &loop, &QEventLoop::quit);
    showTimer.start(kShowAfterMs);
    loop.exec(QEventLoop::ExcludeUserInputEvents);

    std::unique_ptr<CWaitDlg> window;
    if (!done) {
        window = std::make_unique<CWaitDlg>(kHeading, std::string(), true);
        window->setWindowModality(Qt::ApplicationModal);
        window->progressBar->setRange(0, 0);  // busy, with no end to show
        window->onCancel = [&writer] { writer.CancelStart(); };
        starting.Show(window.get());
        // The worker's quit is an event: one posted before this loop runs still ends it.
        if (!done) loop.exec();
    }
    worker.join();
    window.reset();
    writer.SetOwner(owner);
    // The owner has heard nothing of the start-up: it reads the status now.
    platform::PostMessage(owner, platform::kConnectionMessage);
    if (failure) std::rethrow_exception(failure);
}
