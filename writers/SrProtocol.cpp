#include "writers/SrProtocol.h"

#include <algorithm>

namespace sr {
namespace {

// Key bytes 0-2 of the one-byte records.
constexpr std::uint32_t kTableA[64] = {
    0x000000, 0x3502A8, 0x000900, 0x008800, 0x184140, 0x00E800, 0x024400, 0x0A8804,
    0x118000, 0x000EA8, 0x002200, 0x006C00, 0x004004, 0x152008, 0x034000, 0x000040,
    0x356000, 0x024000, 0x000CC0, 0x180000, 0x000C04, 0x006800, 0x018C00, 0x000208,
    0x0020C0, 0x200000, 0x058000, 0x000FFC, 0x152000, 0x150C00, 0x000800, 0x000004,
    0x3FE000, 0x142100, 0x152800, 0x350000, 0x020000, 0x000500, 0x002000, 0x2C0000,
    0x0A8800, 0x0040C2, 0x002800, 0x110000, 0x002100, 0x024004, 0x000002, 0x0040C0,
    0x100000, 0x0003FC, 0x000C08, 0x3F8000, 0x000010, 0x000008, 0x001000, 0x150000,
    0x000400, 0x000200, 0x000C00, 0x114000, 0x000154, 0x102000, 0x0002A8, 0x004000,
};
// Key bytes 0 and 1 of the two-byte records' first part.
constexpr std::uint16_t kTableB[32] = {
    0x0A00, 0x0980, 0x0880, 0x2800, 0x3F80, 0x1080, 0x0480, 0x3000,
    0x2080, 0x1480, 0x1180, 0x2100, 0x2A80, 0x0400, 0x1E00, 0x0580,
    0x0100, 0x0A80, 0x0180, 0x1400, 0x0600, 0x0080, 0x1800, 0x0800,
    0x0500, 0x1100, 0x1500, 0x1000, 0x0200, 0x0000, 0x2000, 0x3500,
};
// Key bytes 1 and 2 of the two-byte records' second part.
constexpr std::uint16_t kTableC[32] = {
    0x0280, 0x0140, 0x0058, 0x0024, 0x00A8, 0x0150, 0x01C0, 0x0300,
    0x00D0, 0x03FC, 0x0014, 0x0208, 0x000C, 0x00C8, 0x0054, 0x0104,
    0x0154, 0x00C4, 0x02A8, 0x0080, 0x0108, 0x0040, 0x00A0, 0x0010,
    0x0050, 0x0200, 0x0020, 0x00C0, 0x0004, 0x0100, 0x0008, 0x0000,
};

std::uint8_t AddWithCarry(std::uint8_t a, std::uint8_t b) {
    unsigned sum = unsigned(a) + unsigned(b);
    if (sum > 255) sum = (sum & 0xFF) + 1;
    return std::uint8_t(sum);
}

std::uint8_t At(std::string_view bytes, std::size_t i) { return std::uint8_t(bytes[i]); }

const std::string kStatusRequest(
    "\x16\x03\x00\x00\x01\x00\x00\xFF\x09\x00\x99\x27\x52\x26\xBD\x34\x6C\xF8"
    "\x04\x00\x00\xFF\x00\x00\x02\x01\x03\x00",
    28);

}  // namespace

Checksum PacketChecksum(std::string_view bytes) {
    std::uint8_t a = 0, b = 0, c = 0, d = 0;
    for (const char ch : bytes) {
        b ^= std::uint8_t(ch);
        d = AddWithCarry(d, b);
        c = AddWithCarry(c, d);
        a = std::uint8_t(a + c);
        b ^= std::uint8_t(a ^ c ^ d);
    }
    return {b, d, c, a};
}

std::size_t DataLength(std::string_view packet) {
    if (packet.size() < 10) return 0;
    return std::size_t(At(packet, 8)) | std::size_t(At(packet, 9)) << 8;
}

void SetPacketChecksums(std::string& packet) {
    if (packet.size() < kHeaderSize || DataLength(packet) + kHeaderSize > packet.size()) return;
    const Checksum data = PacketChecksum(std::string_view(packet).substr(kHeaderSize, DataLength(packet)));
    std::copy(data.begin(), data.end(), packet.begin() + 10);
    const Checksum header = PacketChecksum(std::string_view(packet).substr(0, 14));
    std::copy(header.begin(), header.end(), packet.begin() + 14);
}

bool ChecksumsAgree(std::string_view packet) {
    // A declared length beyond the bytes received leaves nothing to compare: not a reply.
    if (packet.size() < kHeaderSize || DataLength(packet) + kHeaderSize > packet.size()) return false;
    std::string sealed(packet);
    SetPacketChecksums(sealed);
    return sealed.compare(10, 8, packet.substr(10, 8)) == 0;
}

std::string StatusRequest() { return kStatusRequest; }

std::string ReadRequest(int first, int count) {
    first = std::clamp(first, 0, kMaxStrokeNumber);
    count = std::clamp(count, 0, 255);
    std::string packet = kStatusRequest;
    packet[18] = 0x01;
    packet[19] = char(first & 0xFF);
    packet[20] = char((first >> 8) & 0xFF);
    packet[21] = char((first >> 16) & 0xFF);
    packet[22] = char(count);
    SetPacketChecksums(packet);
    return packet;
}

int Get24(std::string_view bytes, std::size_t offset) {
    int value = 0;
    for (std::size_t i = 0; i < 3; ++i)
        if (offset + i < bytes.size()) value |= int(At(bytes, offset + i)) << (8 * i);
    return value;
}

bool HeaderChecksumAgrees(std::string_view packet) {
    if (packet.size() < kHeaderSize) return false;
    const Checksum header = PacketChecksum(packet.substr(0, 14));
    return std::equal(header.begin(), header.end(), packet.begin() + 14,
                      [](std::uint8_t a, char b) { return a == std::uint8_t(b); });
}

FrameStep FrameReply(std::string_view received) {
    if (received.empty()) return FrameStep::More();
    if (At(received, 0) != kStartByte) {
        const std::size_t start = received.find(char(kStartByte));
        return FrameStep::SkipBytes(start == std::string_view::npos ? received.size() : start);
    }
    if (received.size() < kHeaderSize) return FrameStep::More();
    if (!HeaderChecksumAgrees(received) || DataLength(received) > kMaxDataLength)
        return FrameStep::SkipBytes(1);
    const std::size_t whole = kHeaderSize + DataLength(received);
    return received.size() < whole ? FrameStep::More() : FrameStep::Take(whole);
}

ReplyCheck CheckReply(std::string_view reply) {
    ReplyCheck check;
    if (reply.size() < kHeaderSize) return check;
    check.action = At(reply, 4);
    check.valid = DataLength(reply) <= kMaxDataLength && ChecksumsAgree(reply);
    if (!check.valid) return check;
    if (check.action == kStatusReply && reply.size() >= 20) {
        check.isStatus = true;
        check.strokeCount = Get24(reply, 18);
    } else if (check.action == kStrokeDataReply && reply.size() >= kStrokeDataRecordsAt) {
        check.isStrokeData = true;
        check.strokeNumber = Get24(reply, 20);
    }
    return check;
}

Record TakeRecord(std::string_view bytes) {
    Record record;
    if (bytes.empty()) return record;
    const std::uint8_t b = At(bytes, 0);
    if ((b & 0xC0) == 0x80) {
        const std::uint32_t a = kTableA[b & 0x3F];
        record.form = Record::OneByte;
        record.length = 1;
        record.keys = {std::uint8_t(a >> 16), std::uint8_t(a >> 8), std::uint8_t(a)};
        return record;
    }
    if ((b & 0xC0) == 0xC0) {
        if (bytes.size() < 2) return record;
        const std::uint8_t c = At(bytes, 1);
        const std::uint16_t bEntry = kTableB[(b >> 1) & 0x1F];
        const std::uint16_t cEntry = kTableC[c & 0x1F];
        const unsigned s = b & 1;
        const unsigned middle = ((unsigned(c >> 1) & 0x30) | (c & 0x80)) >> 2;
        record.form = Record::TwoBytes;
        record.length = 2;
        record.keys = {std::uint8_t(bEntry >> 8),
                       std::uint8_t((bEntry & 0xFF) | (s << 6) | middle | (cEntry >> 8)),
                       std::uint8_t(cEntry & 0xFF)};
        return record;
    }
    if (bytes.size() < 3) return record;
    const std::uint8_t p = At(bytes, 1), q = At(bytes, 2);
    record.form = Record::ThreeBytes;
    record.length = 3;
    record.keys = {std::uint8_t((b >> 1) | ((q & 1) << 6)), std::uint8_t((p >> 1) | ((b & 1) << 7)),
                   std::uint8_t((q >> 1) | ((p & 1) << 7))};
    record.timeValue = int(b) * 65536 + int(p) * 256 + int(q);
    return record;
}

bool IsTimeMarker(const Keys& keys) { return keys == Keys{0x40, 0x00, 0x00}; }

void TimeRecordHoursMinutes(int value, std::uint8_t& hours, std::uint8_t& minutes) {
    hours = std::uint8_t((value / 60) % 24);
    minutes = std::uint8_t(value % 60);
}

}  // namespace sr
