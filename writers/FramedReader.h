#pragma once
// The realtime side of a driver whose strokes come as frames on the line: bytes are gathered
// as they arrive and handed to the protocol's framer; each whole frame becomes a stroke the
// moment its last byte is in. A frame that does not complete within its time is dropped
// whole, so a writer that stops part-way costs one stroke and never holds up the reader.
// The bytes after a dropped frame start a new candidate frame with a time of its own, so the
// rest of a frame cut by a pause is dropped in turn rather than joined to the next frame.
//
// A reader made with a resume time keeps a frame that fell silent aside for that long instead
// of dropping it at once, for protocols whose frames carry no mark of their start (any byte
// may begin one). The bytes that come next are gathered until the line falls quiet: when
// they finish the kept frame exactly, with nothing left over, and alone would leave a frame
// unfinished, the frame was only held up and is taken whole; otherwise it is dropped and they
// are framed on their own. So a packet paused inside gives its stroke, and a cut packet never
// joins the next one.
//
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

    // The line is quiet once no byte came for this long (a byte at 1200 baud takes 8 ms, and a
    // USB adapter may hold a few for 16 ms).
    static constexpr int kQuietLineMs = 40;

    // idleWaitMs: the wait for input while no frame is under way; frameTimeoutMs: how long a
    // frame may take (from its first byte, or between two of its bytes); resumeMs: how long a
    // frame that fell silent is kept aside (0: dropped at once).
    FramedReader(Framer framer, int idleWaitMs, int frameTimeoutMs,
                 FrameTime frameTime = FrameTime::FromFirstByte, int resumeMs = 0);

    // How long the next wait for input may last at `nowMs`.
    int WaitMs(std::int64_t nowMs) const;
    // Bytes that arrived at `nowMs`; each whole frame goes to `onFrame` (here, or in a later
    // NoInput once the line has fallen quiet after a kept frame).
    void Add(std::string_view bytes, std::int64_t nowMs, const FrameHandler& onFrame);
    // A wait ended at `nowMs` without input: a frame past its time is dropped (or kept aside),
    // and bytes gathered after a kept frame are decided on.
    void NoInput(std::int64_t nowMs);
    // Forgets everything under way (the line was reopened or reset).
    void Reset();

    // Bytes of an unfinished frame.
    const std::string& Pending() const { return pending_; }
    // Nothing under way: no frame, none kept aside, no bytes waiting for a decision.
    bool Idle() const { return pending_.empty() && kept_.empty() && gathered_.empty(); }

private:
    // The bytes gathered after the kept frame, framed with it or without it.
    void Decide();
    // Frames `bytes` after what is pending, as bytes arriving at `nowMs`.
    void Take(std::string_view bytes, std::int64_t nowMs);

    Framer framer_;
    int idleWaitMs_;
    int frameTimeoutMs_;
    FrameTime frameTime_;
    int resumeMs_;
    FrameHandler onFrame_;
    std::string pending_;
    std::int64_t frameClockMs_ = 0;  // when the pending frame's time started
    std::string kept_;               // a frame that fell silent, kept aside
    std::int64_t keptAtMs_ = 0;
    std::string gathered_;           // bytes since the kept frame, not yet decided on
    std::int64_t lastByteMs_ = 0;    // when the last of them came
};
