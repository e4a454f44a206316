#pragma once
// A presenter for tests that must look at the program while a message box is open: every
// message box is answered by a function, which may also act as the dialog's event loop would
// while the box is open. The other questions are answered as if closed. Installs itself on
// construction and puts back the presenter before it on destruction.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Presenter.h"

class HookedPresenter final : public platform::Presenter {
public:
    explicit HookedPresenter(std::function<int(const std::string&, unsigned)> answer)
        : answer_(std::move(answer)), previous_(platform::InstallPresenter(this)) {}
    ~HookedPresenter() override { platform::InstallPresenter(previous_); }
    int Alert(const platform::AlertRequest&) override { return platform::kIdClosed; }
    int Prompt(const platform::PromptRequest&, std::string&) override { return platform::kIdCancel; }
    int MessageBox(const std::string& text, const std::string&, unsigned style) override {
        asked.push_back(text);
        return answer_(text, style);
    }
    std::string FileDialog(const platform::FileDialogRequest&) override { return {}; }
    void Notice(const std::string&, const std::string&) override {}
    void Help(int) override {}
    std::vector<std::string> asked;  // the message boxes' texts, in order

private:
    std::function<int(const std::string&, unsigned)> answer_;
    platform::Presenter* previous_;
};
