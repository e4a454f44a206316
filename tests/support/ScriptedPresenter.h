#pragma once
// A presenter for tests: answers the program's questions from a script, in order, and
// records everything the program asked or told. Constructing one installs it on the calling
// thread (the test's user-interface thread); destroying it puts back the one before.
//
//   ScriptedPresenter presenter;
//   presenter.Answer(5017, 0)                   // AlertBox 5017: "&Retry"
//            .Answer(5017, 1)                   // then "&Cancel"
//            .Answer(6028, platform::kIdOk, "12")  // AskFor 6028: "12" typed, OK
//            .AnswerText("Save your results?", platform::kIdYes)
//            .AnswerFile("/tmp/out.rtf");       // the next file dialog
//   ... run the code ...
//   EXPECT_EQ(presenter.Asked()[0].captions, (std::vector<std::string>{"&Retry", "&Cancel"}));
//
// Each question takes the next scripted answer, which must match it (by id, or by a part of
// its text). A question with no matching answer fails the test, naming the question, and is
// answered as if closed, so a test never blocks. Messages answered at once, notices, boxes
// with only an OK button and help requests need no script: they are recorded and answered
// with their one button (a scripted answer that matches them is still used). Answers left
// unused when the presenter is destroyed fail the test too.
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/Presenter.h"

class ScriptedPresenter final : public platform::Presenter {
public:
    enum class Kind { Alert, Prompt, MessageBox, FileDialog, Notice, Help };

    // One question or notice, as the program gave it.
    struct Question {
        Kind kind = Kind::Alert;
        int id = 0;                         // message, prompt or help topic id; 0 for the others
        std::uint32_t style = 0;            // AlertBox or message box style
        std::string text;                   // the text shown; the file dialog's title
        std::string caption;                // message box and notice caption
        std::vector<std::string> captions;  // AlertBox buttons, left to right
        int defaultButton = 0;
        bool helpVisible = false;
        bool answeredAtOnce = false;
        bool password = false;              // AskFor: typed hidden
        std::string value;                  // AskFor: the value offered
        int result = 0;                     // what was answered
        std::string answer;                 // AskFor: the value returned; file dialog: the path
    };

    ScriptedPresenter();
    ~ScriptedPresenter() override;
    ScriptedPresenter(const ScriptedPresenter&) = delete;
    ScriptedPresenter& operator=(const ScriptedPresenter&) = delete;

    // The next question is AlertBox or AskFor `id`. For AskFor, `value` is the text typed (used
    // with IDOK).
    ScriptedPresenter& Answer(int id, int result, std::optional<std::string> value = {});
    // The next question (any kind) shows a text containing `textPart`.
    ScriptedPresenter& AnswerText(const std::string& textPart, int result,
                                  std::optional<std::string> value = {});
    // The next file dialog returns `path` (empty: cancelled).
    ScriptedPresenter& AnswerFile(const std::string& path);
    // Unused answers are not a failure.
    void AllowUnused() { allowUnused_ = true; }

    std::vector<Question> Asked() const;
    std::size_t Remaining() const;

    int Alert(const platform::AlertRequest& request) override;
    int Prompt(const platform::PromptRequest& request, std::string& value) override;
    int MessageBox(const std::string& text, const std::string& caption, unsigned style) override;
    std::string FileDialog(const platform::FileDialogRequest& request) override;
    void Notice(const std::string& text, const std::string& caption) override;
    void Help(int contextId) override;

private:
    struct Scripted {
        std::optional<int> id;
        std::optional<std::string> textPart;
        bool file = false;
        int result = 0;
        std::optional<std::string> value;
        std::string Describe() const;
    };

    // The next answer when it matches; else null. `required`: a missing answer fails the test.
    std::optional<Scripted> Take(const Question& q, bool required);

    mutable std::mutex mutex_;
    std::deque<Scripted> script_;
    std::vector<Question> asked_;
    platform::Presenter* previous_ = nullptr;
    bool allowUnused_ = false;
};
