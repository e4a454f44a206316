#include "tests/fakes/WaitDialogScript.h"

#include <memory>

namespace fakes {

class WaitDialogScript::Window final : public platform::WaitDialog {
public:
    Window(WaitDialogScript& script, std::size_t index) : script_(script), index_(index) {}

    void SetRange(int low, int high, int interval) override {
        std::lock_guard<std::mutex> guard(script_.lock_);
        Record().ranges.push_back({low, high, interval});
    }
    void SetProgress(int position, const std::string& text) override {
        std::lock_guard<std::mutex> guard(script_.lock_);
        Record().progress.emplace_back(position, text);
        if (script_.progressCalls_++ == script_.cancelAt_) Record().cancelled = true;
    }
    bool IsCancelled() const override {
        std::lock_guard<std::mutex> guard(script_.lock_);
        return script_.records_[index_].cancelled;
    }
    void Close() override {
        std::lock_guard<std::mutex> guard(script_.lock_);
        Record().closed = true;
    }

private:
    WaitDialogRecord& Record() { return script_.records_[index_]; }

    WaitDialogScript& script_;
    std::size_t index_;
};

WaitDialogScript::WaitDialogScript() {
    platform::InstallWaitDialogFactory(
        [this](int headingId, int actionId, bool allowCancel, platform::WindowHandle)
            -> std::unique_ptr<platform::WaitDialog> {
            std::lock_guard<std::mutex> guard(lock_);
            WaitDialogRecord record;
            record.headingId = headingId;
            record.actionId = actionId;
            record.allowCancel = allowCancel;
            records_.push_back(record);
            return std::make_unique<Window>(*this, records_.size() - 1);
        });
}

WaitDialogScript::~WaitDialogScript() { platform::InstallWaitDialogFactory(nullptr); }

void WaitDialogScript::CancelAtProgressCall(std::size_t call) {
    std::lock_guard<std::mutex> guard(lock_);
    cancelAt_ = call;
}

std::size_t WaitDialogScript::OpenedCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return records_.size();
}

WaitDialogRecord WaitDialogScript::Dialog(std::size_t index) const {
    std::lock_guard<std::mutex> guard(lock_);
    return index < records_.size() ? records_[index] : WaitDialogRecord{};
}

}  // namespace fakes
