#include "platform/Presenter.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QString>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>
#include <thread>

#include "platform/Codepage.h"

namespace platform {

const char* const kApplicationTitle = "Dictionary Quillfast";

namespace {

std::atomic<Presenter*> gPresenter{nullptr};
std::atomic<std::thread::id> gUiThread{};

thread_local bool tQuestionsForUiThread = false;

bool OnUiThread() { return std::this_thread::get_id() == gUiThread.load(); }

// A call waiting to run on the user-interface thread; it lives on the asking thread's stack
// until `done`. The hand-over goes through our own lock, so ThreadSanitizer sees it (Qt's
// event queue locks are invisible to it).
struct UiCall {
    const std::function<void()>* call = nullptr;
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
};

class UiCallEvent final : public QEvent {
public:
    explicit UiCallEvent(UiCall* call) : QEvent(Type()), call_(call) {}
    static QEvent::Type Type() {
        static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    UiCall* Call() const { return call_; }

private:
    UiCall* call_;
};

// Runs the calls posted to it, on the thread it lives on (the user-interface thread).
class UiCallReceiver final : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() != UiCallEvent::Type()) return QObject::event(e);
        UiCall* call = static_cast<UiCallEvent*>(e)->Call();
        {
            std::lock_guard<std::mutex> guard(call->lock);  // what the asking thread wrote
        }
        (*call->call)();
        // Told under the lock: the asking thread destroys `call` as soon as it sees `done`.
        std::lock_guard<std::mutex> guard(call->lock);
        call->done = true;
        call->finished.notify_all();
        return true;
    }
};

std::atomic<UiCallReceiver*> gUiCalls{nullptr};

// Makes the receiver on the thread that becomes the user-interface thread.
void MakeUiCallReceiver() {
    UiCallReceiver* receiver = gUiCalls.load();
    if (receiver && receiver->thread() == QThread::currentThread()) return;
    // One made on another thread is kept as it is: it cannot be destroyed from here.
    static std::vector<std::unique_ptr<UiCallReceiver>> made;
    made.push_back(std::make_unique<UiCallReceiver>());
    gUiCalls.store(made.back().get());
}

// Runs `call` on the user-interface thread's event loop and waits for it. False (nothing run)
// when there is no such loop to take it.
bool RunOnUiThread(const std::function<void()>& call) {
    UiCallReceiver* receiver = gUiCalls.load();
    if (!QCoreApplication::instance() || !receiver || receiver->thread() == QThread::currentThread())
        return false;
    UiCall pending;
    {
        std::lock_guard<std::mutex> guard(pending.lock);
        pending.call = &call;
    }
    QCoreApplication::postEvent(receiver, new UiCallEvent(&pending));
    std::unique_lock<std::mutex> lock(pending.lock);
    pending.finished.wait(lock, [&] { return pending.done; });
    return true;
}

// Calls `call` with the installed presenter where it may be used: on the user-interface
// thread, or there on behalf of a thread that holds a QuestionsForUiThread. Otherwise writes
// to standard error what would have been shown and why it was not, and returns false.
template <class Call>
bool WithPresenter(const char* what, const std::string& text, bool question, Call&& call) {
    Presenter* p = gPresenter.load();
    const char* why = nullptr;
    if (!p) {
        why = "no dialogs available";
    } else if (OnUiThread()) {
        call(*p);
        return true;
    } else if (tQuestionsForUiThread &&
               RunOnUiThread([&] {
                   if (Presenter* now = gPresenter.load()) call(*now);
               })) {
        return true;
    } else {
        why = "asked outside the user-interface thread";
    }
    QByteArray shown = ToQString(text).toUtf8();
    std::fprintf(stderr, "%s: %s (%s%s): %s\n", kApplicationTitle, what, why,
                 question ? ", answered as closed" : "", shown.constData());
    return false;
}

}  // namespace

std::string CaptionOrTitle(const std::string& caption) {
    return caption.empty() ? std::string(kApplicationTitle) : caption;
}

std::vector<int> MessageBoxButtons(unsigned style) {
    switch (style & kMbButtonMask) {
        case kMbOkCancel: return {kIdOk, kIdCancel};
        case kMbAbortRetryIgnore: return {kIdAbort, kIdRetry, kIdIgnore};
        case kMbYesNoCancel: return {kIdYes, kIdNo, kIdCancel};
        case kMbYesNo: return {kIdYes, kIdNo};
        case kMbRetryCancel: return {kIdRetry, kIdCancel};
        default: return {kIdOk};
    }
}

int EscapeResult(unsigned style) {
    std::vector<int> buttons = MessageBoxButtons(style);
    for (int b : buttons)
        if (b == kIdCancel) return b;
    return buttons.back();
}

Presenter* InstallPresenter(Presenter* presenter) {
    gUiThread.store(std::this_thread::get_id());
    MakeUiCallReceiver();
    return gPresenter.exchange(presenter);
}

Presenter* InstalledPresenter() { return gPresenter.load(); }

QuestionsForUiThread::QuestionsForUiThread() : previous_(tQuestionsForUiThread) {
    tQuestionsForUiThread = true;
}

QuestionsForUiThread::~QuestionsForUiThread() { tQuestionsForUiThread = previous_; }

int ShowAlert(const AlertRequest& request) {
    if (request.answeredAtOnce) {
        // Nothing is shown, so any thread may have the answer; the presenter still hears of
        // it (a test records it) when it may be called.
        Presenter* p = gPresenter.load();
        if (!p || (!OnUiThread() && !tQuestionsForUiThread)) return request.AtOnceResult();
    }
    int result = request.answeredAtOnce ? request.AtOnceResult() : kIdClosed;
    WithPresenter("message box", request.text, true, [&](Presenter& p) { result = p.Alert(request); });
    return result;
}

int ShowPrompt(const PromptRequest& request, std::string& value) {
    int result = kIdCancel;
    WithPresenter("prompt", request.prompt, true, [&](Presenter& p) { result = p.Prompt(request, value); });
    return result;
}

int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style) {
    int result = EscapeResult(style);
    WithPresenter("message box", text, true,
                  [&](Presenter& p) { result = p.MessageBox(text, CaptionOrTitle(caption), style); });
    return result;
}

std::string ShowFileDialog(const FileDialogRequest& request) {
    std::string path;
    WithPresenter(request.save ? "save dialog" : "open dialog", request.title, true,
                  [&](Presenter& p) { path = p.FileDialog(request); });
    return path;
}

void ShowNotice(const std::string& text, const std::string& caption) {
    WithPresenter("notice", text, false, [&](Presenter& p) { p.Notice(text, CaptionOrTitle(caption)); });
}

void ShowHelp(int contextId) {
    WithPresenter("help", "topic " + std::to_string(contextId), false, [&](Presenter& p) { p.Help(contextId); });
}

}  // namespace platform
