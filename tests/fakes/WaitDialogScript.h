#pragma once
// A scripted wait window for driver tests of notes transfers. While a WaitDialogScript lives,
// every wait window a driver opens is a recording fake; the script can press Cancel at a
// chosen progress call.
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "platform/WaitDialog.h"

namespace fakes {

struct WaitDialogRecord {
    int headingId = 0;
    int actionId = 0;
    bool allowCancel = false;
    struct Range {
        int low, high, interval;
    };
    std::vector<Range> ranges;
    std::vector<std::pair<int, std::string>> progress;  // every SetProgress call
    bool cancelled = false;
    bool closed = false;
};

class WaitDialogScript {
public:
    WaitDialogScript();   // installs the fake for the whole process
    ~WaitDialogScript();  // back to the silent window
    WaitDialogScript(const WaitDialogScript&) = delete;
    WaitDialogScript& operator=(const WaitDialogScript&) = delete;

    // Cancel is pressed during the SetProgress call number `call` (0-based, counted over all
    // windows): IsCancelled is true from that call on.
    void CancelAtProgressCall(std::size_t call);

    std::size_t OpenedCount() const;
    // A copy of what window `index` (in opening order) was asked to do.
    WaitDialogRecord Dialog(std::size_t index) const;

private:
    class Window;
    mutable std::mutex lock_;
    std::vector<WaitDialogRecord> records_;
    std::size_t progressCalls_ = 0;
    std::size_t cancelAt_ = static_cast<std::size_t>(-1);
};

}  // namespace fakes
