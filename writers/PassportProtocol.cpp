#include "writers/PassportProtocol.h"

namespace passport {

namespace {

// The stroke bit of each key of the alphabet, in alphabet order.
constexpr KeyBit kKeyBits[kKeyAlphabet.size()] = {
    {0, 0x80}, {0, 0x40}, {3, 0x80}, {3, 0x40},                        // ! # ^ +
    {0, 0x20}, {0, 0x20}, {0, 0x10}, {0, 0x08}, {0, 0x04}, {0, 0x02},  // S C T K P W
    {0, 0x01}, {1, 0x80}, {1, 0x40}, {1, 0x20}, {1, 0x10}, {1, 0x10},  // H R A O * ~
    {1, 0x08}, {1, 0x04}, {1, 0x02}, {1, 0x01},                        // E U F Q
    {2, 0x80}, {2, 0x40}, {2, 0x20}, {2, 0x10}, {2, 0x08}, {2, 0x04},  // N B L G Y X
    {2, 0x02}, {2, 0x01},                                              // D Z
};

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

// The number at the front of a packet's text: optional blanks, then decimal digits up to the
// first other character. Nothing when there are no digits or the value is too large.
std::optional<int> ParseNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i == text.size() || !IsDigit(text[i])) return std::nullopt;
    long long value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kMaxStrokeNumber) return std::nullopt;
    }
    return int(value);
}

int KeyValue(std::string_view keyText, char letter) {
    const std::size_t at = keyText.find(letter);
    if (at == std::string_view::npos || at + 1 >= keyText.size()) return 0;
    const std::size_t digit = kHexDigits.find(keyText[at + 1]);
    return digit == std::string_view::npos ? 0 : int(digit);
}

}  // namespace

void CapLineBuffer(std::string& line) {
    if (line.size() <= kLineBufferCap) return;
    const std::size_t lastStart = line.rfind('<');
    if (lastStart != std::string::npos && line.size() - lastStart <= kLineBufferCap)
        line.erase(0, lastStart);
    else
        line.clear();
}

void AppendReceived(std::string& line, std::string_view bytes) {
    for (char ch : bytes) {
        const auto byte = std::uint8_t(ch);
        if (byte >= 0x20 && byte <= 0x7F) line.push_back(ch);
    }
    CapLineBuffer(line);
}

std::optional<Packet> TakePacket(std::string& line) {
    for (;;) {
        const std::size_t end = line.find('>');
        if (end == std::string::npos) return std::nullopt;
        const std::size_t start = line.rfind('<', end);
        if (start == std::string::npos) {  // a ">" with no "<" before it
            line.erase(0, end + 1);
            continue;
        }
        const std::string_view body = std::string_view(line).substr(start + 1, end - start - 1);
        const std::optional<int> number = ParseNumber(body);
        std::optional<Packet> packet;
        if (number) {
            const std::size_t slash1 = body.find('/');
            const std::size_t from = slash1 == std::string_view::npos ? 0 : slash1;
            const std::size_t slash2 = body.find('/', from + 1);
            packet = Packet{*number, std::string(body.substr(from, slash2 == std::string_view::npos
                                                                          ? std::string_view::npos
                                                                          : slash2 - from))};
        }
        line.erase(0, end + 1);
        if (packet) return packet;
    }
}

std::string BuildKeyRecord(std::string_view keyText) {
    // Blanks first, as the writer's own records are laid out; they never reach a key's top bit.
    std::string record(kRecordSize, ' ');
    for (std::size_t i = 0; i < kKeyAlphabet.size(); ++i) {
        const int value = KeyValue(keyText, kKeyAlphabet[i]);
        const int shift = i % 2 == 0 ? 4 : 0;
        record[i / 2] = char(std::uint8_t(record[i / 2]) | (value << shift));
    }
    for (std::size_t b = kKeyBytes; b < kRecordSize; ++b) record[b] = 0;
    return record;
}

Stroke DecodeKeyRecord(std::string_view record) {
    Stroke keys{};
    for (std::size_t i = 0; i < kKeyAlphabet.size() && i / 2 < record.size(); ++i) {
        const auto byte = std::uint8_t(record[i / 2]);
        const int value = i % 2 == 0 ? byte >> 4 : byte & 0x0F;
        if (value >= 8) keys[kKeyBits[i].byteIndex] |= kKeyBits[i].mask;
    }
    return keys;
}

std::string ResendRequest(int first, int count) {
    return "<s" + std::to_string(first) + "/" + std::to_string(count) + ">";
}

std::uint64_t RecordFileTime(std::string_view record) {
    std::uint64_t value = 0;
    for (std::size_t b = kRecordSize; b-- > kRecordSize - 8;)
        value = (value << 8) | (b < record.size() ? std::uint8_t(record[b]) : 0u);
    return value;
}

TimeCode FileTimeToTimeCode(std::uint64_t fileTime) {
    // 1601-01-01 began at midnight UTC, so whole days of FILETIME are whole days of the clock.
    const std::uint64_t msOfDay = (fileTime / 10'000) % 86'400'000;
    const auto sec = unsigned(msOfDay / 1000);
    return {std::uint8_t(sec / 3600), std::uint8_t(sec / 60 % 60), std::uint8_t(sec % 60),
            std::uint8_t(msOfDay % 1000 * 30 / 1000)};
}

}  // namespace passport
