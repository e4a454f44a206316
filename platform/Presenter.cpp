#include "platform/Presenter.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <cstdio>
#include <thread>

#include "platform/Codepage.h"

namespace platform {

const char* const kApplicationTitle = "Dictionary Quillfast";

namespace {

std::atomic<Presenter*> gPresenter{nullptr};
std::atomic<std::thread::id> gUiThread{};

// The installed presenter when the caller may use it; else null, after writing to standard
// error what would have been shown and why it was not.
Presenter* Usable(const char* what, const std::string& text, bool question = true) {
    Presenter* p = gPresenter.load();
    const char* why = nullptr;
    if (!p)
        why = "no dialogs available";
    else if (std::this_thread::get_id() != gUiThread.load())
        why = "asked outside the user-interface thread";
    if (!why) return p;
    QByteArray shown = ToQString(text).toUtf8();
    std::fprintf(stderr, "%s: %s (%s%s): %s\n", kApplicationTitle, what, why,
                 question ? ", answered as closed" : "", shown.constData());
    return nullptr;
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

int ShowAlert(const AlertRequest& request) {
    if (request.answeredAtOnce) {
        // Nothing is shown, so any thread may have the answer; the presenter still hears of
        // it (a test records it) when it may be called.
        Presenter* p = gPresenter.load();
        bool usable = p && std::this_thread::get_id() == gUiThread.load();
        return usable ? p->Alert(request) : request.AtOnceResult();
    }
    Presenter* p = Usable("message box", request.text);
    return p ? p->Alert(request) : kIdClosed;
}

int ShowPrompt(const PromptRequest& request, std::string& value) {
    Presenter* p = Usable("prompt", request.prompt);
    return p ? p->Prompt(request, value) : kIdCancel;
}

int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style) {
    Presenter* p = Usable("message box", text);
    return p ? p->MessageBox(text, CaptionOrTitle(caption), style) : EscapeResult(style);
}

std::string ShowFileDialog(const FileDialogRequest& request) {
    Presenter* p = Usable(request.save ? "save dialog" : "open dialog", request.title);
    return p ? p->FileDialog(request) : std::string();
}

void ShowNotice(const std::string& text, const std::string& caption) {
    if (Presenter* p = Usable("notice", text, false)) p->Notice(text, CaptionOrTitle(caption));
}

void ShowHelp(int contextId) {
    if (Presenter* p = Usable("help", "topic " + std::to_string(contextId), false)) p->Help(contextId);
}

}  // namespace platform
