#pragma once
// The Grandjean letter stream: one ASCII letter per key, a blank after each stroke. Pure
// functions over bytes.
#include <cstdint>
#include <string_view>

#include "core/Stroke.h"

namespace grandjean {

constexpr std::uint8_t kStrokeEnd = 0x20;
constexpr int kKeyCount = 22;

// Key position (0..21) of a byte, or -1 for a byte that names no key. "A" to "V" and "a" to
// "v" give keys 0 to 21; other printable characters give the key of their place modulo 32
// (so "!" is key 0). Control bytes and bytes above 0x7E are line noise, never a key.
int KeyOfByte(std::uint8_t byte);
// True for the bytes KeyOfByte treats as line noise.
bool IsNoise(std::uint8_t byte);

// Collects the keys of one stroke.
class KeySet {
public:
    void Add(std::uint8_t byte);
    // Stroke bytes 0 to 2 are the key set's bits 23-16, 15-8, 7-0 (key i is bit 21 - i).
    Stroke ToStroke() const;
    void Clear() { bits_ = 0; }

private:
    std::uint32_t bits_ = 0;
};

// The stroke of a run of letters (blanks and noise name no key).
Stroke DecodeLetters(std::string_view letters);

}  // namespace grandjean
