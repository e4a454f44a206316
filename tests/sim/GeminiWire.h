#pragma once
// What a Gemini writer sends: one 6-byte packet per stroke, bit 7 marking the first byte.
#include <string>
#include <string_view>

namespace simwire {

// The packet of the named Gemini keys, separated by blanks: "Fn", "#1" to "#6", "S1-",
// "S2-", "T-", "K-", "P-", "W-", "H-", "R-", "A-", "O-", "*1", "*2", "res1", "res2", "pwr",
// "*3", "*4", "-E", "-U", "-F", "-R", "-P", "-B", "-L", "-G", "-T", "-S", "-D", "#7", "#8",
// "#9", "#A", "#B", "#C", "-Z". An unknown name throws std::invalid_argument.
std::string GeminiPacket(std::string_view keyNames);

}  // namespace simwire
