#pragma once
// The TranscriptorX / Lightspeed key bytes, as a pure stroke gatherer. Each byte carries one of
// four key groups in its top two bits and that group's keys in the low six; the bytes of one
// stroke come in rising groups, so a byte of the same or a lower group begins the next stroke.
//   group 0: bit j is stroke byte 0, mask 0x20 >> j      (keys 0-5)
//   group 1: bit j is stroke byte 1, mask 0x80 >> j      (keys 6-11)
//   group 2: bits 0-1 are byte 1 masks 0x02, 0x01; bits 2-5 byte 2 masks 0x80 .. 0x10
//   group 3: bits 0-3 are byte 2 masks 0x08 .. 0x01; bit 4 the number bar (byte 0, 0x40)
// Three whole bytes are no key bytes: 0x00 ends the stroke, 0x40 and 0x80 each stand for the
// stroke {0xC0, 0, 0} of their own.
#include <array>
#include <cstdint>
#include <vector>

namespace tx {

using Keys = std::array<std::uint8_t, 3>;

// A stroke pending after this many ms without a byte is complete (strictly more than).
constexpr int kSilenceMs = 500;
// The stroke that 0x40 and 0x80 stand for.
constexpr Keys kSeparatorStroke{0xC0, 0x00, 0x00};

// ORs the key bits of a key byte into `keys`.
void AddKeyBits(std::uint8_t b, Keys& keys);

// True once a stroke pending since `lastByteMs` is complete by silence at `nowMs` (both on a
// monotonic clock, so that midnight changes nothing).
constexpr bool SilenceEnds(std::int64_t lastByteMs, std::int64_t nowMs) {
    return nowMs > lastByteMs + kSilenceMs;
}

class StrokeGatherer {
public:
    // Places one byte; the strokes it completes are appended to `done`, oldest first.
    void Take(std::uint8_t b, std::vector<Keys>& done);
    // Hands on the pending stroke, if it has any key.
    void Flush(std::vector<Keys>& done);
    // Forgets the pending stroke and the last byte, as at the start.
    void Reset() { *this = StrokeGatherer(); }

    std::uint8_t LastByte() const { return lastByte_; }
    const Keys& Pending() const { return pending_; }

private:
    std::uint8_t lastByte_ = 0;  // survives flushes
    Keys pending_{};
};

}  // namespace tx
