#include "core/WordListText.h"

#include <cstdint>
#include <cstdio>

#include "platform/Codepage.h"

namespace {

// Decodes one UTF-8 sequence at `pos`; -1 when it is malformed (overlong forms and surrogates
// included).
long DecodeUtf8(const std::string& s, std::size_t& pos) {
    auto byte = [&](std::size_t k) { return std::uint8_t(s[k]); };
    std::uint8_t b = byte(pos);
    if (b < 0x80) {
        ++pos;
        return b;
    }
    int extra;
    long cp, min;
    if ((b & 0xE0) == 0xC0) extra = 1, cp = b & 0x1F, min = 0x80;
    else if ((b & 0xF0) == 0xE0) extra = 2, cp = b & 0x0F, min = 0x800;
    else if ((b & 0xF8) == 0xF0) extra = 3, cp = b & 0x07, min = 0x10000;
    else return -1;
    if (s.size() - pos <= std::size_t(extra)) return -1;
    for (int k = 1; k <= extra; ++k) {
        std::uint8_t c = byte(pos + std::size_t(k));
        if ((c & 0xC0) != 0x80) return -1;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
    pos += std::size_t(extra) + 1;
    return cp;
}

bool IsValidUtf8(const std::string& s) {
    for (std::size_t pos = 0; pos < s.size();)
        if (DecodeUtf8(s, pos) < 0) return false;
    return true;
}

void AppendUtf8(std::string& out, long cp) {
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xC0 | (cp >> 6)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(char(0xE0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (cp >> 18)));
        out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    }
}

std::string Hex(long value, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*lX", digits, value);
    return buf;
}

// Bytes a word list must not hold: controls (a tab is fine) and the five bytes that
// Windows-1252 leaves unassigned.
bool IsForbiddenByte(std::uint8_t b) {
    if (b < 0x20) return b != '\t';
    return b == 0x7F || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
}

}  // namespace

bool ParseWordListText(const std::string& input, WordListText& out, std::string& error) {
    out = {};
    error.clear();
    std::string text = input;
    bool bom = text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0;
    if (bom) text.erase(0, 3);
    bool high = false;
    for (char c : text) high = high || std::uint8_t(c) >= 0x80;
    bool utf8 = IsValidUtf8(text);
    if (bom && !utf8) {
        error = "the text starts as UTF-8 but is not valid UTF-8";
        return false;
    }
    out.encoding = !high  ? TextEncoding::Ascii
                   : utf8 ? TextEncoding::Utf8
                          : TextEncoding::Windows1252;

    int lineNo = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        std::string raw = text.substr(pos, end - pos);
        pos = end;
        if (pos < text.size() && text[pos] == '\r') ++pos;
        if (pos < text.size() && text[pos] == '\n') ++pos;
        ++lineNo;

        std::string line;
        if (out.encoding == TextEncoding::Utf8) {
            for (std::size_t k = 0; k < raw.size();) {
                long cp = DecodeUtf8(raw, k);
                int b = cp >= 0 && cp <= 0xFFFF ? platform::UnicodeToByte(char16_t(cp)) : -1;
                if (b < 0) {
                    error = "line " + std::to_string(lineNo) + ": U+" + Hex(cp, 4) +
                            " has no Windows-1252 character";
                    return false;
                }
                line.push_back(char(b));
            }
        } else {
            line = raw;
        }
        for (char c : line) {
            auto b = std::uint8_t(c);
            if (!IsForbiddenByte(b)) continue;
            error = "line " + std::to_string(lineNo) + ": " +
                    (b < 0x20 || b == 0x7F
                         ? "the control character 0x" + Hex(b, 2) + " cannot be part of a word"
                         : "the byte 0x" + Hex(b, 2) + " is not a Windows-1252 character");
            return false;
        }
        if (!line.empty()) out.lines.push_back(std::move(line));
    }
    return true;
}

std::string FormatWordListText(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) {
        for (char c : line) AppendUtf8(out, platform::ByteToUnicode(std::uint8_t(c)));
        out.push_back('\n');
    }
    return out;
}
