#include "writers/FramedReader.h"

#include <algorithm>

FramedReader::FramedReader(Framer framer, int idleWaitMs, int frameTimeoutMs, FrameTime frameTime)
    : framer_(framer), idleWaitMs_(idleWaitMs), frameTimeoutMs_(frameTimeoutMs), frameTime_(frameTime) {}

int FramedReader::WaitMs(std::int64_t nowMs) const {
    if (pending_.empty()) return idleWaitMs_;
    const std::int64_t left = frameClockMs_ + frameTimeoutMs_ - nowMs;
    return int(std::clamp<std::int64_t>(left, 0, idleWaitMs_));
}

void FramedReader::Add(std::string_view bytes, std::int64_t nowMs, const FrameHandler& onFrame) {
    NoInput(nowMs);  // a frame already past its time does not swallow the new bytes
    const bool wasEmpty = pending_.empty();
    pending_.append(bytes);
    // The bytes left after a frame or a skip start a new frame, which gets its own time; a
    // frame timed between its bytes starts its time again with each byte.
    if (DrainFrames(pending_, framer_, onFrame) || wasEmpty || frameTime_ == FrameTime::BetweenBytes)
        frameClockMs_ = nowMs;
}

void FramedReader::NoInput(std::int64_t nowMs) {
    if (!pending_.empty() && nowMs - frameClockMs_ >= frameTimeoutMs_) pending_.clear();
}
