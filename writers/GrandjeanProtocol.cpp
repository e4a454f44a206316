#include "writers/GrandjeanProtocol.h"

namespace grandjean {

bool IsNoise(std::uint8_t byte) { return byte < 0x20 || byte > 0x7E; }

int KeyOfByte(std::uint8_t byte) {
    if (byte == kStrokeEnd || IsNoise(byte)) return -1;
    // A true modulo: bytes below "A" wrap round to the top of the 32 places, never negative.
    const int place = ((int(byte) - 0x41) % 32 + 32) % 32;
    return place < kKeyCount ? place : -1;
}

void KeySet::Add(std::uint8_t byte) {
    const int key = KeyOfByte(byte);
    if (key >= 0) bits_ |= 1u << (kKeyCount - 1 - key);
}

Stroke KeySet::ToStroke() const {
    return {std::uint8_t(bits_ >> 16), std::uint8_t(bits_ >> 8), std::uint8_t(bits_), 0, 0, 0};
}

Stroke DecodeLetters(std::string_view letters) {
    KeySet keys;
    for (char ch : letters) keys.Add(std::uint8_t(ch));
    return keys.ToStroke();
}

}  // namespace grandjean
