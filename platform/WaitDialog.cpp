#include "platform/WaitDialog.h"

#include <mutex>
#include <utility>

namespace platform {
namespace {

class SilentWaitDialog final : public WaitDialog {
public:
    void SetRange(int, int, int) override {}
    void SetProgress(int, const std::string&) override {}
    bool IsCancelled() const override { return false; }
    void Close() override {}
};

std::mutex gFactoryLock;
WaitDialogFactory gFactory;

}  // namespace

void InstallWaitDialogFactory(WaitDialogFactory factory) {
    std::lock_guard<std::mutex> guard(gFactoryLock);
    gFactory = std::move(factory);
}

std::unique_ptr<WaitDialog> OpenWaitDialog(int headingId, int actionId, bool allowCancel,
                                           WindowHandle parent) {
    WaitDialogFactory factory;
    {
        std::lock_guard<std::mutex> guard(gFactoryLock);
        factory = gFactory;
    }
    std::unique_ptr<WaitDialog> dialog;
    if (factory) dialog = factory(headingId, actionId, allowCancel, parent);
    if (!dialog) dialog = std::make_unique<SilentWaitDialog>();
    return dialog;
}

}  // namespace platform
