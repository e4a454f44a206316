#pragma once
// A level-triggered wake-up signal that a wait on a device can poll beside the device: once
// set (from any thread) every wait returns at once until it is cleared.
#include <atomic>

namespace platform {

class WakeEvent {
public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    // Callable from any thread, also from a signal handler.
    void Set();
    void Clear();
    bool IsSet() const { return set_.load(); }
    // Readable while set; -1 when no descriptor could be made (waits then look at IsSet
    // in short slices).
    int Fd() const { return fd_; }
    // Called by a wait that found the descriptor readable although the flag is clear (a Set
    // and a Clear crossed): empties it so that the wait does not spin.
    void DrainIfClear() const;

private:
    int fd_ = -1;
    std::atomic<bool> set_{false};
};

}  // namespace platform
