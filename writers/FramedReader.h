#pragma once
// The realtime side of a driver whose strokes come as frames on the line: bytes are gathered
// as they arrive and handed to the protocol's framer; each whole frame becomes a stroke the
// moment its last byte is in. A frame that does not complete within its time is dropped
// whole, so a writer that stops part-way costs one stroke and never holds up the reader.
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

    // idleWaitMs: the wait for input while no frame is under way; frameTimeoutMs: how long a
    // frame may take from its first byte to its last.
    FramedReader(Framer framer, int idleWaitMs, int frameTimeoutMs);

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
    std::string pending_;
    std::int64_t frameStartMs_ = 0;  // when the first byte of the pending frame came
};
