#include "platform/Presenter.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QMetaObject>
#include <QString>
#include <QThread>
#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>

#include "platform/Codepage.h"

namespace platform {

const char* const kApplicationTitle = "Dictionary Quillfast";

namespace {

std::atomic<Presenter*> gPresenter{nullptr};
std::atomic<std::thread::id> gUiThread{};

thread_local bool tQuestionsForUiThread = false;

bool OnUiThread() { return std::this_thread::get_id() == gUiThread.load(); }

// Runs `call` on the user-interface thread's event loop and waits for it. False (nothing run)
// when there is no such loop to take it.
bool RunOnUiThread(const std::function<void()>& call) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || app->thread() == QThread::currentThread()) return false;
    return QMetaObject::invokeMethod(app, call, Qt::BlockingQueuedConnection);
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
