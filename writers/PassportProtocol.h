#pragma once
// The Passport wire protocol. In realtime the writer sends each stroke as a line of ASCII
// text, "<" number "/" key letters each followed by a hexadecimal digit ">", numbered so that
// a gap can be asked for again ("<s" first "/" count ">"). Notes files hold 24-byte key
// records. Pure functions over byte strings.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/Stroke.h"
#include "core/TextUtil.h"

namespace passport {

// Key i of the records is letter i of this alphabet.
constexpr std::string_view kKeyAlphabet = "!#^+SCTKPWHRAO*~EUFQNBLGYXDZ";
constexpr std::string_view kHexDigits = "0123456789abcdef";
constexpr std::size_t kRecordSize = 24;
constexpr std::size_t kKeyBytes = 14;  // 28 four-bit key values
// Received text never held beyond this: a packet is well under 100 characters, so a writer
// that never sends ">" cannot grow the buffer without end.
constexpr std::size_t kLineBufferCap = 4096;
// Stroke numbers above this are malformed; the next number still fits an int.
constexpr int kMaxStrokeNumber = 999'999'999;

// Appends the printable bytes (0x20 to 0x7F) of `bytes` to `line`, dropping the others, and
// keeps `line` within kLineBufferCap.
void AppendReceived(std::string& line, std::string_view bytes);
// Keeps `line` within kLineBufferCap: the text from its last "<" when that fits, else nothing.
void CapLineBuffer(std::string& line);

struct Packet {
    int number = 0;
    std::string keyText;  // from the first "/" to the packet's second "/" or its end
};
// Takes the first complete packet off the front of `line`, or nothing when `line` holds none
// yet. Text up to a ">" that has no "<" before it is dropped; a "<" whose packet has another
// "<" before its ">" lost its end and is dropped with its text, so is a packet whose number
// is missing or too long; the packets after them are kept.
std::optional<Packet> TakePacket(std::string& line);
// Appends received bytes to `line` and hands every packet they complete to `onPacket`, taking
// each packet before the cap trims the text after it: the packets are the same however the
// bytes were split into reads.
template <class OnPacket>
void TakeReceived(std::string& line, std::string_view bytes, OnPacket&& onPacket) {
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('>');
        const std::size_t piece = end == std::string_view::npos ? bytes.size() : end + 1;
        AppendReceived(line, bytes.substr(0, piece));
        bytes.remove_prefix(piece);
        while (std::optional<Packet> packet = TakePacket(line)) onPacket(*packet);
    }
}

// The 24-byte key record of a packet's key text: each key letter's first occurrence is
// followed by its 4-bit value; a letter followed by anything but a lower-case hexadecimal
// digit (or by nothing) has the value 0. Bytes 14 to 23 are 0.
std::string BuildKeyRecord(std::string_view keyText);
// The stroke of a key record (a key is pressed when its value is 8 or more). A record shorter
// than kKeyBytes counts its missing key values as 0.
Stroke DecodeKeyRecord(std::string_view record);

// The request for `count` strokes from number `first`: "<s57/100>".
std::string ResendRequest(int first, int count);

// A record's FILETIME (bytes 16 to 23, little-endian 100-ns intervals since 1601, UTC).
std::uint64_t RecordFileTime(std::string_view record);
// Hours, minutes, seconds and frames (30 a second) of a FILETIME, in UTC.
TimeCode FileTimeToTimeCode(std::uint64_t fileTime);

}  // namespace passport
