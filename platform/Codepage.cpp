#include "platform/Codepage.h"

#include <array>

#include "platform/CodepageTables.h"

namespace platform {
namespace {

const char16_t* TableOf(Codepage cp) {
    return cp == Codepage::Windows1255 ? detail::kCp1255ToUnicode : detail::kCp1252ToUnicode;
}

// Reverse lookup for the upper half; the lower half is ASCII in both code pages.
struct Reverse {
    std::array<std::pair<char16_t, std::uint8_t>, 128> entries{};
    explicit Reverse(const char16_t* table) {
        for (int b = 0; b < 128; ++b) entries[b] = {table[b + 128], std::uint8_t(b + 128)};
    }
    int Find(char16_t ch) const {
        for (const auto& [u, b] : entries)
            if (u == ch) return b;
        return -1;
    }
};

}  // namespace

char16_t ByteToUnicode(std::uint8_t byte, Codepage cp) { return TableOf(cp)[byte]; }

int UnicodeToByte(char16_t ch, Codepage cp) {
    if (ch < 0x80) return ch;
    static const Reverse r1252(detail::kCp1252ToUnicode);
    static const Reverse r1255(detail::kCp1255ToUnicode);
    return (cp == Codepage::Windows1255 ? r1255 : r1252).Find(ch);
}

QString ToQString(const std::string& bytes, Codepage cp) {
    const char16_t* table = TableOf(cp);
    QString out;
    out.reserve(int(bytes.size()));
    for (unsigned char b : bytes) out.append(QChar(table[b]));
    return out;
}

std::string FromQString(const QString& text, Codepage cp, char replacement) {
    std::string out;
    out.reserve(std::size_t(text.size()));
    for (QChar ch : text) {
        int b = UnicodeToByte(ch.unicode(), cp);
        out.push_back(b < 0 ? replacement : char(b));
    }
    return out;
}

}  // namespace platform
