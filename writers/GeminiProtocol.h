#pragma once
// The Gemini wire protocol: one 6-byte packet per stroke, the first byte marked by bit 7 and
// every other byte with bit 7 clear. Pure functions over byte strings.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/Stroke.h"
#include "writers/FrameStep.h"

namespace gemini {

constexpr std::size_t kPacketSize = 6;
constexpr std::uint8_t kPacketStart = 0x80;

// A packet only when its first byte has bit 7 and the next five have not; a byte with bit 7
// inside a packet starts a new one, so a lost byte costs one stroke and never gives a wrong one.
FrameStep FramePacket(std::string_view bytes);

// The stroke of a complete packet in the given keyboard layout. 36-key layouts use the
// extended packing (stroke bytes 0 to 4); 22- and 30-key layouts the steno packing (0 to 2).
Stroke DecodePacket(std::string_view packet, int keyboardLayout);

}  // namespace gemini
