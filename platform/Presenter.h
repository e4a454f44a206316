#pragma once
// Every question and notice of the program goes through one presenter: the program's own
// message box (AlertBox), its one-line prompt (AskFor), the plain message box, the file
// dialogs, plain notices and the help. The program installs the presenter that shows real
// dialogs (DialogPresenter, core/dialogs); tests install a scripted one. This header has no
// widgets, so the steno core and the drivers can ask questions without linking any.
//
// Threads: questions are asked on the user-interface thread, the thread that installed the
// presenter. A question asked on any other thread is never shown: it is written to standard
// error and answered at once as if the box had been closed (AlertBox -1, AskFor and a box
// with Cancel IDCANCEL; see EscapeResult), so that a reader thread can neither block on a
// dialog nor touch a widget. The same answer, also on standard error, is given while no
// presenter is installed.
//
// A thread doing work that the user-interface thread waits for in an event loop of its own (a
// writer's start-up run beside a busy window) may ask too, while it holds a
// QuestionsForUiThread: the question is shown on the user-interface thread and the asking
// thread waits for the answer.
//
// Texts are Windows-1252 bytes; file paths are the file system's own bytes.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Button results (the Windows values). AlertBox's custom buttons answer 0 to 3 instead, and
// -1 stands for a box closed without a button (Escape or the close box).
constexpr int kIdClosed = -1;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdAbort = 3;
constexpr int kIdRetry = 4;
constexpr int kIdIgnore = 5;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// Styles of the plain message box (the Windows values): buttons in the low four bits,
// the icon in the next four, the default button in 0xF00.
constexpr unsigned kMbOk = 0x00;
constexpr unsigned kMbOkCancel = 0x01;
constexpr unsigned kMbAbortRetryIgnore = 0x02;
constexpr unsigned kMbYesNoCancel = 0x03;
constexpr unsigned kMbYesNo = 0x04;
constexpr unsigned kMbRetryCancel = 0x05;
constexpr unsigned kMbButtonMask = 0x0F;
constexpr unsigned kMbIconError = 0x10;
constexpr unsigned kMbIconQuestion = 0x20;
constexpr unsigned kMbIconWarning = 0x30;
constexpr unsigned kMbIconInformation = 0x40;
constexpr unsigned kMbIconMask = 0xF0;
constexpr unsigned kMbDefButton2 = 0x100;
constexpr unsigned kMbDefButton3 = 0x200;
constexpr unsigned kMbDefMask = 0xF00;

// The caption of boxes that name none.
extern const char* const kApplicationTitle;
std::string CaptionOrTitle(const std::string& caption);

// The buttons of a plain message box style, left to right, as results.
std::vector<int> MessageBoxButtons(unsigned style);
// What Escape answers in a plain message box of that style: Cancel where there is one, the
// only button of a one-button box, else the last button (No, Ignore).
int EscapeResult(unsigned style);

struct AlertButton {
    std::string caption;  // may carry an "&" mnemonic
    int result = 0;
};

// One AlertBox question: what the caller gave, and the message prepared from its string.
struct AlertRequest {
    int messageId = 0;
    std::uint32_t style = 0;
    std::string insertText;
    std::string text;                  // the text shown
    bool answeredAtOnce = false;       // never shown, answered as by button 1
    bool helpVisible = false;
    std::vector<AlertButton> buttons;  // left to right, at most four
    int defaultButton = 0;             // index into buttons: the default, with the focus
    // What the box answers without showing anything when answeredAtOnce is set.
    int AtOnceResult() const { return buttons.empty() ? kIdClosed : buttons.front().result; }
};

// One AskFor question.
struct PromptRequest {
    int promptId = -1;
    std::string appendedText;  // appended to the prompt string
    std::string prompt;        // the whole prompt shown
    bool password = false;     // the typed text is hidden
};

struct FileDialogRequest {
    bool save = false;          // a save dialog (asks before replacing a file); else open
    std::string title;          // empty: the toolkit's own
    std::string folder;         // the folder shown first; empty: the current one
    std::string fileName;       // the name proposed
    std::string filter;         // "RTF files (*.rtf)"; several separated by ";;"
    std::string defaultSuffix;  // added to a typed name without one ("rtf")
};

class Presenter {
public:
    virtual ~Presenter() = default;
    // The program's message box: the result of the button pressed, kIdClosed when it was
    // closed without one.
    virtual int Alert(const AlertRequest& request) = 0;
    // The one-line prompt, showing `value`: kIdOk with `value` replaced by the text entered,
    // or kIdCancel with `value` unchanged.
    virtual int Prompt(const PromptRequest& request, std::string& value) = 0;
    // The plain message box: the result of the button pressed (EscapeResult on Escape).
    virtual int MessageBox(const std::string& text, const std::string& caption, unsigned style) = 0;
    // The path chosen, empty when cancelled.
    virtual std::string FileDialog(const FileDialogRequest& request) = 0;
    // A notice with an OK button only.
    virtual void Notice(const std::string& text, const std::string& caption) = 0;
    // Opens the application's help at a topic number; where there is no help, says so.
    virtual void Help(int contextId) = 0;
};

// Installs the presenter for the whole process and makes the calling thread the
// user-interface thread; returns the one installed before. Null uninstalls. The caller
// keeps ownership and reinstalls the previous presenter before destroying its own.
Presenter* InstallPresenter(Presenter* presenter);
Presenter* InstalledPresenter();

// While one lives on a thread, that thread's questions go to the user-interface thread (see
// above). Only for threads the user-interface thread waits for while it runs an event loop.
class QuestionsForUiThread {
public:
    QuestionsForUiThread();
    ~QuestionsForUiThread();
    QuestionsForUiThread(const QuestionsForUiThread&) = delete;
    QuestionsForUiThread& operator=(const QuestionsForUiThread&) = delete;

private:
    bool previous_;
};

// The questions, through the installed presenter (see the thread rule above). An empty
// caption shows kApplicationTitle.
int ShowAlert(const AlertRequest& request);
int ShowPrompt(const PromptRequest& request, std::string& value);
int ShowMessageBox(const std::string& text, const std::string& caption = {},
                   unsigned style = kMbOk);
std::string ShowFileDialog(const FileDialogRequest& request);
void ShowNotice(const std::string& text, const std::string& caption = {});
void ShowHelp(int contextId);

}  // namespace platform
