#include "tests/sim/PassportWire.h"

namespace simwire {

std::string PassportPacket(int number, std::string_view pressedKeys, std::string_view lightKeys) {
    constexpr std::string_view kHex = "0123456789abcdef";
    std::string packet = "<" + std::to_string(number) + "/";
    std::size_t i = 0;
    for (char key : pressedKeys) {
        packet += key;
        packet += kHex[8 + (number + i++) % 8];
    }
    for (char key : lightKeys) {
        packet += key;
        packet += kHex[(number + i++) % 8];
    }
    return packet + ">";
}

}  // namespace simwire
