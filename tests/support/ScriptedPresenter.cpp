#include "tests/support/ScriptedPresenter.h"

#include <gtest/gtest.h>

namespace {

const char* KindName(ScriptedPresenter::Kind kind) {
    switch (kind) {
        case ScriptedPresenter::Kind::Alert: return "AlertBox";
        case ScriptedPresenter::Kind::Prompt: return "AskFor";
        case ScriptedPresenter::Kind::MessageBox: return "message box";
        case ScriptedPresenter::Kind::FileDialog: return "file dialog";
        case ScriptedPresenter::Kind::Notice: return "notice";
        case ScriptedPresenter::Kind::Help: return "help";
    }
    return "?";
}

std::string Describe(const ScriptedPresenter::Question& q) {
    std::string out = KindName(q.kind);
    if (q.id != 0) out += " " + std::to_string(q.id);
    out += " \"" + q.text + "\"";
    if (!q.captions.empty()) {
        out += " with buttons";
        for (const std::string& c : q.captions) out += " [" + c + "]";
    }
    return out;
}

}  // namespace

std::string ScriptedPresenter::Scripted::Describe() const {
    if (file) return "a file dialog";
    if (id) return "question " + std::to_string(*id);
    return "a question showing \"" + textPart.value_or("") + "\"";
}

ScriptedPresenter::ScriptedPresenter() { previous_ = platform::InstallPresenter(this); }

ScriptedPresenter::~ScriptedPresenter() {
    platform::InstallPresenter(previous_);
    if (allowUnused_) return;
    for (const Scripted& s : script_)
        ADD_FAILURE() << "scripted answer never used: " << s.Describe();
}

ScriptedPresenter& ScriptedPresenter::Answer(int id, int result, std::optional<std::string> value) {
    std::lock_guard lock(mutex_);
    script_.push_back({id, {}, false, result, std::move(value)});
    return *this;
}

ScriptedPresenter& ScriptedPresenter::AnswerText(const std::string& textPart, int result,
                                                 std::optional<std::string> value) {
    std::lock_guard lock(mutex_);
    script_.push_back({{}, textPart, false, result, std::move(value)});
    return *this;
}

ScriptedPresenter& ScriptedPresenter::AnswerFile(const std::string& path) {
    std::lock_guard lock(mutex_);
    script_.push_back({{}, {}, true, 0, path});
    return *this;
}

std::vector<ScriptedPresenter::Question> ScriptedPresenter::Asked() const {
    std::lock_guard lock(mutex_);
    return asked_;
}

std::size_t ScriptedPresenter::Remaining() const {
    std::lock_guard lock(mutex_);
    return script_.size();
}

std::optional<ScriptedPresenter::Scripted> ScriptedPresenter::Take(const Question& q,
                                                                   bool required) {
    if (!script_.empty()) {
        const Scripted& next = script_.front();
        bool matches;
        if (next.file)
            matches = q.kind == Kind::FileDialog;
        else if (next.id)
            matches = (q.kind == Kind::Alert || q.kind == Kind::Prompt) && q.id == *next.id;
        else
            matches = q.text.find(*next.textPart) != std::string::npos;
        if (matches) {
            Scripted taken = next;
            script_.pop_front();
            return taken;
        }
        if (required)
            ADD_FAILURE() << "the program asked " << Describe(q) << " where the script expects "
                          << next.Describe() << "; answered as closed";
        return std::nullopt;
    }
    if (required) ADD_FAILURE() << "unscripted " << Describe(q) << "; answered as closed";
    return std::nullopt;
}

int ScriptedPresenter::Alert(const platform::AlertRequest& request) {
    std::lock_guard lock(mutex_);
    Question q;
    q.kind = Kind::Alert;
    q.id = request.messageId;
    q.style = request.style;
    q.text = request.text;
    for (const platform::AlertButton& b : request.buttons) q.captions.push_back(b.caption);
    q.defaultButton = request.defaultButton;
    q.helpVisible = request.helpVisible;
    q.answeredAtOnce = request.answeredAtOnce;
    if (request.answeredAtOnce) {
        q.result = request.AtOnceResult();  // never shown: no script can answer it
    } else {
        const bool okOnly = (request.style & 0xFF) == 0 && request.buttons.size() == 1;
        if (std::optional<Scripted> s = Take(q, !okOnly))
            q.result = s->result;
        else
            q.result = okOnly ? request.buttons.front().result : platform::kIdClosed;
    }
    asked_.push_back(q);
    return q.result;
}

int ScriptedPresenter::Prompt(const platform::PromptRequest& request, std::string& value) {
    std::lock_guard lock(mutex_);
    Question q;
    q.kind = Kind::Prompt;
    q.id = request.promptId;
    q.text = request.prompt;
    q.password = request.password;
    q.value = value;
    q.result = platform::kIdCancel;
    if (std::optional<Scripted> s = Take(q, true)) {
        q.result = s->result;
        if (q.result == platform::kIdOk && s->value) value = *s->value;
    }
    q.answer = value;
    asked_.push_back(q);
    return q.result;
}

int ScriptedPresenter::MessageBox(const std::string& text, const std::string& caption,
                                  unsigned style) {
    std::lock_guard lock(mutex_);
    Question q;
    q.kind = Kind::MessageBox;
    q.style = style;
    q.text = text;
    q.caption = caption;
    bool onlyOk = platform::MessageBoxButtons(style).size() == 1;
    if (std::optional<Scripted> s = Take(q, !onlyOk))
        q.result = s->result;
    else
        q.result = platform::EscapeResult(style);
    asked_.push_back(q);
    return q.result;
}

std::string ScriptedPresenter::FileDialog(const platform::FileDialogRequest& request) {
    std::lock_guard lock(mutex_);
    Question q;
    q.kind = Kind::FileDialog;
    q.text = request.title;
    q.value = request.fileName;
    if (std::optional<Scripted> s = Take(q, true)) q.answer = s->value.value_or("");
    q.result = q.answer.empty() ? platform::kIdCancel : platform::kIdOk;
    asked_.push_back(q);
    return q.answer;
}

void ScriptedPresenter::Notice(const std::string& text, const std::string& caption) {
    std::lock_guard lock(mutex_);
    Question q;
    q.kind = Kind::Notice;
    q.text = text;
    q.caption = caption;
    q.result = platform::kIdOk;
    if (std::optional<Scripted> s = Take(q, false)) q.result = s->result;
    asked_.push_back(q);
}

void ScriptedPresenter::Help(int contextId) {
    std::lock_guard lock(mutex_);
    Question q;
    q.kind = Kind::Help;
    q.id = contextId;
    asked_.push_back(q);
}
