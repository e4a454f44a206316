#pragma once
// Byte strings written as hexadecimal in tests: Hex("7E 20 00 00").
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <string_view>

inline std::string Hex(std::string_view text) {
    std::string bytes;
    std::istringstream in{std::string(text)};
    std::string word;
    while (in >> word) bytes.push_back(char(std::stoi(word, nullptr, 16)));
    return bytes;
}

inline std::string ToHex(std::string_view bytes) {
    std::string text;
    char buf[4];
    for (char c : bytes) {
        std::snprintf(buf, sizeof buf, text.empty() ? "%02X" : " %02X", unsigned(std::uint8_t(c)));
        text += buf;
    }
    return text;
}
