#include "writers/GeminiProtocol.h"

namespace gemini {

namespace {

// The stroke bit that one packet bit sets; mask 0 sets nothing.
struct Target {
    std::uint8_t byteIndex;
    std::uint8_t mask;
};
// [packet byte][bit], bits 0x40 down to 0x01.
using Packing = Target[kPacketSize][7];

constexpr Target kNone{0, 0};
constexpr Target kBar{0, kNumberBarFlag};

// 22- and 30-key layouts: the number keys all give the number bar; both asterisks and the
// doubled S give one key each.
constexpr Packing kStenoPacking = {
    {{0, 0x80}, kBar, kBar, kBar, kBar, kBar, kBar},
    {{0, 0x20}, {0, 0x20}, {0, 0x10}, {0, 0x08}, {0, 0x04}, {0, 0x02}, {0, 0x01}},
    {{1, 0x80}, {1, 0x40}, {1, 0x20}, {1, 0x10}, {1, 0x10}, kNone, kNone},
    {kNone, {1, 0x10}, {1, 0x10}, {1, 0x08}, {1, 0x04}, {1, 0x02}, {1, 0x01}},
    {{2, 0x80}, {2, 0x40}, {2, 0x20}, {2, 0x10}, {2, 0x08}, {2, 0x04}, {2, 0x02}},
    {kBar, kBar, kBar, kBar, kBar, kBar, {2, 0x01}},
};

// 36-key layouts: the number keys are keys of their own.
constexpr Packing kExtendedPacking = {
    {{0, 0x20}, {0, 0x40}, {0, 0x08}, {0, 0x02}, {1, 0x40}, {1, 0x08}, {2, 0x40}},
    {{0, 0x04}, {0, 0x04}, {0, 0x01}, {1, 0x80}, {1, 0x20}, {1, 0x10}, {1, 0x04}},
    {{1, 0x02}, {1, 0x01}, {2, 0x80}, {2, 0x20}, {2, 0x10}, kNone, kNone},
    {kNone, {2, 0x20}, {2, 0x10}, {2, 0x04}, {2, 0x02}, {3, 0x80}, {3, 0x40}},
    {{3, 0x10}, {3, 0x08}, {3, 0x02}, {3, 0x01}, {4, 0x40}, {4, 0x20}, {4, 0x08}},
    {{2, 0x40}, {2, 0x01}, {3, 0x20}, {3, 0x04}, {4, 0x80}, {4, 0x10}, {4, 0x04}},
};

bool IsStart(char byte) { return (std::uint8_t(byte) & kPacketStart) != 0; }

}  // namespace

FrameStep FramePacket(std::string_view bytes) {
    if (bytes.empty()) return FrameStep::More();
    if (!IsStart(bytes[0])) return FrameStep::SkipBytes(1);
    const std::size_t have = bytes.size() < kPacketSize ? bytes.size() : kPacketSize;
    for (std::size_t i = 1; i < have; ++i)
        if (IsStart(bytes[i])) return FrameStep::SkipBytes(i);
    if (have < kPacketSize) return FrameStep::More();
    return FrameStep::Take(kPacketSize);
}

Stroke DecodePacket(std::string_view packet, int keyboardLayout) {
    // Layouts are told apart by their key count, not their index: the Spanish layout (12) has
    // 22 keys and takes the steno packing. The 30-key Palantype layouts take it too, so that
    // every key lands on a position the layout shows.
    const Packing& packing = LayoutKeyCount(keyboardLayout) == 36 ? kExtendedPacking : kStenoPacking;
    Stroke keys{};
    for (std::size_t b = 0; b < kPacketSize && b < packet.size(); ++b) {
        const auto byte = std::uint8_t(packet[b]);
        for (int bit = 0; bit < 7; ++bit) {
            if ((byte & (0x40u >> bit)) == 0) continue;
            const Target& target = packing[b][bit];
            keys[target.byteIndex] |= target.mask;
        }
    }
    return keys;
}

}  // namespace gemini
