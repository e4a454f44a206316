#include "writers/FramedReader.h"

#include <algorithm>

namespace {

// The bytes left in an unfinished frame once `bytes` are framed.
std::size_t Unfinished(std::string bytes, FramedReader::Framer framer) {
    DrainFrames(bytes, framer, [](std::string_view) {});
    return bytes.size();
}

int WaitUntil(std::int64_t endMs, std::int64_t nowMs, int most) {
    return int(std::clamp<std::int64_t>(endMs - nowMs, 0, most));
}

}  // namespace

FramedReader::FramedReader(Framer framer, int idleWaitMs, int frameTimeoutMs, FrameTime frameTime, int resumeMs)
    : framer_(framer),
      idleWaitMs_(idleWaitMs),
      frameTimeoutMs_(frameTimeoutMs),
      frameTime_(frameTime),
      resumeMs_(resumeMs) {}

int FramedReader::WaitMs(std::int64_t nowMs) const {
    if (!gathered_.empty()) return WaitUntil(lastByteMs_ + kQuietLineMs, nowMs, idleWaitMs_);
    if (!pending_.empty()) return WaitUntil(frameClockMs_ + frameTimeoutMs_, nowMs, idleWaitMs_);
    if (!kept_.empty()) return WaitUntil(keptAtMs_ + resumeMs_, nowMs, idleWaitMs_);
    return idleWaitMs_;
}

void FramedReader::Add(std::string_view bytes, std::int64_t nowMs, const FrameHandler& onFrame) {
    onFrame_ = onFrame;
    NoInput(nowMs);  // a frame already past its time does not swallow the new bytes
    if (bytes.empty()) return;
    if (!kept_.empty()) {
        gathered_.append(bytes);
        lastByteMs_ = nowMs;
        return;
    }
    Take(bytes, nowMs);
}

void FramedReader::Take(std::string_view bytes, std::int64_t nowMs) {
    const bool wasEmpty = pending_.empty();
    pending_.append(bytes);
    // The bytes left after a frame or a skip start a new frame, which gets its own time; a
    // frame timed between its bytes starts its time again with each byte.
    const bool taken = DrainFrames(pending_, framer_, [this](std::string_view frame) {
        if (onFrame_) onFrame_(frame);
    });
    if (taken || wasEmpty || frameTime_ == FrameTime::BetweenBytes) frameClockMs_ = nowMs;
}

void FramedReader::NoInput(std::int64_t nowMs) {
    if (!gathered_.empty() && nowMs - lastByteMs_ >= kQuietLineMs) Decide();
    if (!pending_.empty() && nowMs - frameClockMs_ >= frameTimeoutMs_) {
        if (resumeMs_ > 0) {
            kept_ = std::move(pending_);
            keptAtMs_ = nowMs;
        }
        pending_.clear();
    }
    if (!kept_.empty() && gathered_.empty() && nowMs - keptAtMs_ >= resumeMs_) kept_.clear();
}

void FramedReader::Decide() {
    std::string joined = kept_ + gathered_;
    const bool resumed = Unfinished(joined, framer_) == 0 && Unfinished(gathered_, framer_) != 0;
    const std::string bytes = resumed ? std::move(joined) : std::move(gathered_);
    kept_.clear();
    gathered_.clear();
    Take(bytes, lastByteMs_);
}

void FramedReader::Reset() {
    pending_.clear();
    kept_.clear();
    gathered_.clear();
}
