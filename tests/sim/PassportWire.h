#pragma once
// What a Passport writer sends in realtime: "<" number "/" each key letter followed by its
// pressure as a lower-case hexadecimal digit ">". Pressed keys read 8 or more.
#include <string>
#include <string_view>

namespace simwire {

// The packet of stroke `number` with the given key letters pressed (each gets a digit of 8
// or more, varied so that every such digit is used) and `lightKeys` touched without being
// pressed (digits below 8).
std::string PassportPacket(int number, std::string_view pressedKeys, std::string_view lightKeys = "");

}  // namespace simwire
