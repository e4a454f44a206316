#pragma once
// The realtime side of a driver whose strokes come as frames on the line: bytes are gathered
// as they arrive and handed to the protocol's framer; each whole frame becomes a stroke the
// moment its last byte is in. A frame that does not complete within its time is dropped
// whole, so a writer that stops part-way costs one stroke and never holds up the reader.
// The bytes after a dropped frame start a new candidate frame with a time of its own, so the
// rest of a frame cut by a pause is dropped in turn rather than joined to the next frame.
// Times are passed in (monotonic milliseconds), so the logic runs without a port.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "writers/FrameStep.h"

class FramedReader {
public:
    using Framer = FrameStep (*)(std::string_view bytes);
    using FrameHandler = std::function<void(std::string_view frame)>;

    // What the frame time counts from: a fixed-size frame must be whole within its time of its
    // first byte; a frame of any length must never fall silent for that long between bytes.
    enum class FrameTime { FromFirstByte, BetweenBytes };

    // idleWaitMs: the wait for input while no frame is under way; frameTimeoutMs: how long a
    // frame may take (from its first byte, or between two of its bytes).
    FramedReader(Framer framer, int idleWaitMs, int frameTimeoutMs,
                 FrameTime frameTime = FrameTime::FromFirstByte);

    // How long the next wait for input may last at `nowMs`.
    int WaitMs(std::int64_t nowMs) const;
    // Bytes that arrived at `nowMs`; each whole frame goes to `onFrame`.
    void Add(std::string_view bytes, std::int64_t nowMs, const FrameHandler& onFrame);
    // A wait ended at `nowMs` without input: a frame past its time is dropped.
    void NoInput(std::int64_t nowMs);
    // Forgets everything under way (the line was reopened or reset).
    void Reset() { pending_.clear(); }

    // Bytes of an unfinished frame.
    const std::string& Pending() const { return pending_; }

private:
    Framer framer_;
    int idleWaitMs_;
    int frameTimeoutMs_;
    FrameTime frameTime_;
    std::string pending_;
    std::int64_t frameClockMs_ = 0;  // when the pending frame's time started
};
