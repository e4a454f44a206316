#include "tests/sim/GeminiWire.h"

#include <stdexcept>

namespace simwire {

namespace {

// Key names in wire order: byte 0 bit 0x40 first, byte 5 bit 0x01 last.
constexpr std::string_view kKeys[6][7] = {
    {"Fn", "#1", "#2", "#3", "#4", "#5", "#6"},
    {"S1-", "S2-", "T-", "K-", "P-", "W-", "H-"},
    {"R-", "A-", "O-", "*1", "*2", "res1", "res2"},
    {"pwr", "*3", "*4", "-E", "-U", "-F", "-R"},
    {"-P", "-B", "-L", "-G", "-T", "-S", "-D"},
    {"#7", "#8", "#9", "#A", "#B", "#C", "-Z"},
};

void SetKey(std::string& packet, std::string_view name) {
    for (int b = 0; b < 6; ++b)
        for (int bit = 0; bit < 7; ++bit)
            if (kKeys[b][bit] == name) {
                packet[std::size_t(b)] = char(std::uint8_t(packet[std::size_t(b)]) | (0x40u >> bit));
                return;
            }
    throw std::invalid_argument("no Gemini key " + std::string(name));
}

}  // namespace

std::string GeminiPacket(std::string_view keyNames) {
    std::string packet = {char(0x80), 0, 0, 0, 0, 0};
    std::size_t pos = 0;
    while (pos < keyNames.size()) {
        const std::size_t blank = keyNames.find(' ', pos);
        const std::size_t end = blank == std::string_view::npos ? keyNames.size() : blank;
        if (end > pos) SetKey(packet, keyNames.substr(pos, end - pos));
        pos = end + 1;
    }
    return packet;
}

}  // namespace simwire
