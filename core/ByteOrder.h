#pragma once
// The 32-bit little-endian numbers of the data files, the writers' time records and the
// stored port.
#include <cstdint>
#include <string>

inline std::uint32_t ReadLittleEndian32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

inline void AppendLittleEndian32(std::string& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(char((value >> shift) & 0xFF));
}
