#pragma once
// The StenoRAM family's packets and stroke records, as pure functions over byte strings.
// CWriterSR owns the port and the timing.
//
// Packet (both ways, little-endian): 0 start (0x16 in requests), 1 (0x03), 2-3 (0), 4 action
// (requests 0x01; replies 0x06 status, 0x03 stroke data), 5-6 (0), 7 (0xFF), 8-9 dataLength n,
// 10-13 checksum of the data, 14-17 checksum of bytes 0-13, then n data bytes.
//
// Stroke records, by the top two bits of their first byte b:
//   10iiiiii          one byte: table A entry i
//   11jjjjjs c        two bytes: table B entry j and table C entry (c & 0x1F)
//   0xxxxxxx p q      three bytes: the keys rotated within 23 bits, or a time record
// A record giving the keys 40 00 00 is the time marker: the record after it is a time record
// (v = b*65536 + p*256 + q: hours (v / 60) % 24, minutes v % 60).
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "writers/FrameStep.h"

namespace sr {

constexpr std::size_t kHeaderSize = 18;
constexpr std::uint8_t kStartByte = 0x16;
constexpr std::uint8_t kStatusReply = 0x06;
constexpr std::uint8_t kStrokeDataReply = 0x03;
// The answer to the status request during the start-up exchange.
constexpr std::size_t kStatusAnswerSize = 21;
// The data of a stroke-data reply: 2 bytes, the stroke number L (3 bytes), 1 byte, records.
constexpr std::size_t kStrokeDataRecordsAt = 24;
// No reply to a request for at most 100 strokes comes near this; a longer declared length
// is damage, not a reply to wait for.
constexpr std::size_t kMaxDataLength = 4096;
// The highest stroke number a request can carry.
constexpr int kMaxStrokeNumber = 0xFFFFFF;

using Checksum = std::array<std::uint8_t, 4>;
using Keys = std::array<std::uint8_t, 3>;

// Four 8-bit accumulators with end-around carry; the result is B, D, C, A.
Checksum PacketChecksum(std::string_view bytes);
// Writes the data checksum into bytes 10-13 and then the header checksum into 14-17; leaves a
// packet shorter than its declared length unchanged.
void SetPacketChecksums(std::string& packet);
// The declared data length (bytes 8-9); 0 for fewer than 10 bytes.
std::size_t DataLength(std::string_view packet);
// The packet is whole (at least 18 + its declared length) and both checksums agree.
bool ChecksumsAgree(std::string_view packet);

// The 28-byte status request (its checksums are fixed).
std::string StatusRequest();
// The read request for `count` strokes from stroke number `first` (as sent: a realtime caller
// has already stepped back one stroke). Numbers outside 0..0xFFFFFF and counts outside 0..255
// are clamped.
std::string ReadRequest(int first, int count);

// What the bytes at the front of `received` are. A reply begins at its 0x16 start byte: bytes
// before it are skipped. Once its 18 header bytes are in, a header checksum that disagrees, or
// a declared length no reply has, shows a stray 0x16: that byte is skipped, and the search goes
// on from the next one. Otherwise the reply is a frame of 18 + its declared data length.
FrameStep FrameReply(std::string_view received);
// The header checksum (bytes 14-17) agrees with bytes 0-13; false for fewer than 18 bytes.
bool HeaderChecksumAgrees(std::string_view packet);

// A whole reply, checked. `valid` needs both checksums and a declared length within limits.
struct ReplyCheck {
    bool valid = false;
    std::uint8_t action = 0;
    int strokeCount = 0;   // status: bytes 18-20 (a missing byte 20 counts as 0)
    int strokeNumber = 0;  // stroke data: bytes 20-22
    bool isStatus = false;     // a valid status reply of at least 20 bytes
    bool isStrokeData = false; // a valid stroke-data reply of at least 24 bytes
};
ReplyCheck CheckReply(std::string_view reply);

// 24-bit little-endian number at `offset`; missing bytes count as 0.
int Get24(std::string_view bytes, std::size_t offset);

// ---- stroke records -------------------------------------------------------------------------
struct Record {
    enum Form { Incomplete, OneByte, TwoBytes, ThreeBytes };
    Form form = Incomplete;
    std::size_t length = 0;  // bytes the record takes
    Keys keys{};             // the key bytes 0-2 it decodes to
    int timeValue = 0;       // three-byte form: b * 65536 + p * 256 + q
};
// The record at the front of `bytes`; Incomplete (length 0) when its later bytes are missing.
Record TakeRecord(std::string_view bytes);
bool IsTimeMarker(const Keys& keys);
// Hours and minutes of a time record's value.
void TimeRecordHoursMinutes(int value, std::uint8_t& hours, std::uint8_t& minutes);

}  // namespace sr
