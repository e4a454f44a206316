#pragma once
// The pace of a request a protocol repeats while it waits (an idle poll, a "next record"): the
// next one goes no sooner than one cycle after the last, however soon the writer answers. The
// answer itself is handled the moment it comes; only the next request waits for its cycle.
// Times are passed in (monotonic milliseconds), so the pacing is checked without a port.
#include <algorithm>
#include <cstdint>

class RequestPacer {
public:
    explicit RequestPacer(int cycleMs) : cycleMs_(cycleMs) {}

    // How long until the next request may go at `nowMs` (0: now).
    int WaitMs(std::int64_t nowMs) const {
        if (!sent_) return 0;
        return int(std::clamp<std::int64_t>(lastMs_ + cycleMs_ - nowMs, 0, cycleMs_));
    }
    bool Due(std::int64_t nowMs) const { return WaitMs(nowMs) == 0; }
    // A request went at `nowMs`.
    void Sent(std::int64_t nowMs) {
        lastMs_ = nowMs;
        sent_ = true;
    }

private:
    int cycleMs_;
    bool sent_ = false;
    std::int64_t lastMs_ = 0;
};
