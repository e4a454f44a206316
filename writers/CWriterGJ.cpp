#include "writers/CWriterGJ.h"

#include "writers/GrandjeanProtocol.h"

namespace {

constexpr int kIdleWaitMs = 100;  // the wait for a stroke to begin, and the pause that ends one

}  // namespace

CWriterGJ::~CWriterGJ() { StopReaderThread(); }

void CWriterGJ::Poll() {
    if (pending_.empty() && !WaitForInput(kIdleWaitMs)) return;
    grandjean::KeySet keys;
    bool ended = false;   // a blank closed the stroke
    bool sawKey = false;  // a character other than line noise came
    for (;;) {
        if (pending_.empty()) ReadWaiting(pending_);
        std::size_t used = 0;
        while (used < pending_.size() && !ended) {
            const auto byte = std::uint8_t(pending_[used++]);
            if (byte == grandjean::kStrokeEnd) {
                ended = true;
            } else {
                sawKey = sawKey || !grandjean::IsNoise(byte);
                keys.Add(byte);
            }
        }
        pending_.erase(0, used);
        if (ended || !WaitForInput(kIdleWaitMs)) break;
    }
    // Letters cut off by a vanished writer or by Stop are not a stroke; silence ends one.
    if (stopRequested != 0 || (!ended && !port.IsUsable())) return;
    if (!ended && !sawKey) return;  // nothing but line noise
    const Stroke k = keys.ToStroke();
    AddStroke(k[0], k[1], k[2]);
}
