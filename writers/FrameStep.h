#pragma once
// What a framer makes of the bytes at the front of a receive buffer: wait for more, drop
// bytes that cannot start a frame (resynchronising), or take a whole frame.
#include <cstddef>
#include <string>
#include <string_view>

struct FrameStep {
    enum Kind { NeedMore, Skip, Frame };
    Kind kind = NeedMore;
    std::size_t length = 0;  // bytes to drop (Skip) or the frame's length (Frame)

    static constexpr FrameStep More() { return {NeedMore, 0}; }
    static constexpr FrameStep SkipBytes(std::size_t n) { return {Skip, n}; }
    static constexpr FrameStep Take(std::size_t n) { return {Frame, n}; }
    friend constexpr bool operator==(const FrameStep&, const FrameStep&) = default;
};

// Runs `framer` over the front of `pending` until it needs more bytes: each whole frame goes
// to `onFrame` and is removed, skipped bytes are removed. Returns whether anything was
// removed (the bytes left then start a new candidate frame).
template <class Framer, class OnFrame>
bool DrainFrames(std::string& pending, Framer&& framer, OnFrame&& onFrame) {
    std::size_t used = 0;
    for (;;) {
        const std::string_view rest = std::string_view(pending).substr(used);
        const FrameStep step = framer(rest);
        if (step.kind == FrameStep::NeedMore || step.length == 0) break;
        if (step.kind == FrameStep::Frame) onFrame(rest.substr(0, step.length));
        used += step.length;
    }
    pending.erase(0, used);
    return used > 0;
}
