#include "writers/SgProtocol.h"

#include <algorithm>

namespace {

constexpr std::array<std::uint16_t, 256> MakeCrcTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
        table[i] = std::uint16_t(crc);
    }
    return table;
}
constexpr auto kCrcTable = MakeCrcTable();

std::uint8_t At(std::string_view bytes, std::size_t i) { return std::uint8_t(bytes[i]); }

// An 18-byte request header with the given fields and zero checksum.
std::string Header(std::uint8_t sequence, std::uint16_t action,
                   std::array<std::uint16_t, 5> params) {
    std::string request(sg::kRequestHeaderSize, '\0');
    request[0] = char(sg::kStartByte);
    request[1] = char(sequence);
    sg::Put16(request, 2, std::uint16_t(sg::kRequestHeaderSize));
    sg::Put16(request, 4, action);
    for (std::size_t i = 0; i < params.size(); ++i) sg::Put16(request, 6 + 2 * i, params[i]);
    return request;
}

}  // namespace

std::uint16_t Crc16(std::string_view bytes) {
    std::uint16_t crc = 0;
    for (char c : bytes) crc = std::uint16_t((crc >> 8) ^ kCrcTable[(crc ^ std::uint8_t(c)) & 0xFF]);
    return crc;
}

std::array<std::uint8_t, 3> SgStrokeKeys(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2,
                                         std::uint8_t b3) {
    return {std::uint8_t((b0 << 2) | ((b1 >> 4) & 0x03)),
            std::uint8_t((b1 << 4) | ((b2 >> 2) & 0x0F)),
            std::uint8_t((b2 << 6) | (b3 & 0x3F))};
}

std::string SgStrokeRecord(std::uint8_t k0, std::uint8_t k1, std::uint8_t k2) {
    const char record[4] = {char(k0 >> 2), char(((k0 & 0x03) << 4) | (k1 >> 4)),
                            char(((k1 & 0x0F) << 2) | (k2 >> 6)), char(k2 & 0x3F)};
    return std::string(record, sizeof record);
}

namespace sg {

std::uint16_t Get16(std::string_view bytes, std::size_t offset) {
    return std::uint16_t(At(bytes, offset) | (At(bytes, offset + 1) << 8));
}

std::uint32_t Get32(std::string_view bytes, std::size_t offset) {
    return std::uint32_t(Get16(bytes, offset)) | (std::uint32_t(Get16(bytes, offset + 2)) << 16);
}

void Put16(std::string& bytes, std::size_t offset, std::uint16_t value) {
    bytes[offset] = char(value & 0xFF);
    bytes[offset + 1] = char(value >> 8);
}

std::string WakePacket() {
    std::string packet = Header(0, Wake, {0, 0, 0, 0, 0});
    Put16(packet, 16, 0x2222);
    return packet;
}

std::string ListFilesRequest(bool realtime) {
    std::string request = Header(1, ListFiles, {0x41, std::uint16_t(realtime ? 1 : 0), 1, 0, 0});
    request += std::string("*\0\0", 3);  // the data "*" and its checksum
    Put16(request, 2, std::uint16_t(request.size()));
    return request;
}

std::string OpenFileRequest(const std::string& name) {
    constexpr std::size_t kMaxName = 255 - kRequestHeaderSize - 2;
    std::string request = Header(2, OpenFile, {0x41, 0, 0, 0, 0});
    request += name.substr(0, kMaxName);
    request += std::string(2, '\0');
    request[2] = char(request.size());
    return request;
}

std::string ReadRecordsRequest(std::uint8_t sequence, int first, int count) {
    first = std::clamp(first, 0, kMaxRecordIndex);
    count = std::clamp(count, 0, 0xFFFF);
    return Header(sequence, ReadRecords,
                  {1, 0, std::uint16_t(count), std::uint16_t(first / 128),
                   std::uint16_t((first % 128) * 4)});
}

std::string CloseFileRequest() { return Header(0, CloseFile, {1, 0, 0, 0, 0}); }
std::string EndRealtimeRequest() { return Header(2, EndRealtime, {0, 0, 0, 0, 0}); }
std::string DisconnectRequest() { return Header(0, Disconnect, {1, 0, 0, 0, 0}); }

void SealRequest(std::string& request) {
    if (request.size() < kRequestHeaderSize) return;
    const std::string_view bytes(request);
    Put16(request, 16, Crc16(bytes.substr(1, 15)));
    if (request.size() >= kRequestHeaderSize + 2) {
        const std::size_t end = request.size() - 2;
        Put16(request, end, Crc16(bytes.substr(kRequestHeaderSize, end - kRequestHeaderSize)));
    }
}

std::uint16_t RequestAction(std::string_view request) {
    return request.size() >= 6 ? Get16(request, 4) : 0;
}

std::size_t ReplyLengthField(std::string_view received) {
    if (received.size() < 4) return 255;
    return std::size_t(At(received, 3) & 0x0F) * 256 + At(received, 2);
}

FrameStep FrameReply(std::string_view received) {
    if (received.empty()) return FrameStep::More();
    if (At(received, 0) != kStartByte) return FrameStep::SkipBytes(1);
    if (received.size() < 4) return FrameStep::More();
    const std::size_t length = std::max<std::size_t>(ReplyLengthField(received), 4);
    if (received.size() < length) return FrameStep::More();
    return FrameStep::Take(length);
}

std::size_t ReplyBytesWanted(std::string_view received) {
    if (received.size() < 4) return 4 - received.size();
    const std::size_t length = std::max<std::size_t>(ReplyLengthField(received), 4);
    return length > received.size() ? length - received.size() : 0;
}

ReplyCheck CheckReply(std::string_view reply, std::uint8_t expectedSequence) {
    ReplyCheck check;
    const std::size_t n = reply.size();
    check.startOk = n >= 1 && At(reply, 0) == kStartByte;
    check.sequenceOk = n >= 2 && At(reply, 1) == expectedSequence;
    check.dataLength = n >= 10 ? Get16(reply, 8) : 0;
    // A reply too short for its header has no header checksum to compare.
    if (n < kReplyHeaderSize) return check;
    check.headerOk = Get16(reply, 12) == Crc16(reply.substr(1, 11));
    const std::uint16_t dataCrc =
        n >= kReplyHeaderSize + 2 ? Crc16(reply.substr(kReplyHeaderSize, n - kReplyHeaderSize - 2)) : 0;
    check.checksumsOk = check.headerOk && Get16(reply, n - 2) == dataCrc;
    check.dataOk = check.dataLength != 0 && n > kReplyHeaderSize && n % 4 == 0 &&
                   check.dataLength == n - kReplyHeaderSize - 2;
    return check;
}

std::string_view ReplyData(std::string_view reply) {
    if (reply.size() < kReplyHeaderSize + 2) return {};
    return reply.substr(kReplyHeaderSize, reply.size() - kReplyHeaderSize - 2);
}

std::optional<FileEntry> FirstListingEntry(std::string_view reply) {
    // The size field ends at reply offset 64; a shorter listing has no usable first entry.
    if (reply.size() < kListingOffset + 18) return std::nullopt;
    std::string_view name = reply.substr(kListingOffset, 12);
    while (!name.empty() && name.back() == '\0') name.remove_suffix(1);
    if (name.empty()) return std::nullopt;
    return FileEntry{std::string(name), Get32(reply, kListingOffset + 14)};
}

std::vector<std::string> CableFileList(std::string_view reply) {
    std::vector<std::string> files;
    // Fields of entries inside the data part; the data checksum is never read as a name.
    const std::size_t end = reply.size() >= 2 ? reply.size() - 2 : 0;
    std::string_view first;
    for (std::size_t at = kListingOffset + 5; at + 3 <= end; at += kListingEntrySize) {
        const std::string_view field = reply.substr(at, 3);
        if (at == kListingOffset + 5) first = field;
        if (IsDigitChar(std::uint8_t(field[0]))) files.emplace_back(field);
    }
    if (files.empty() && first == "IME") files.emplace_back("RTDATA");
    return files;
}

std::string CableFileName(const std::string& listEntry) {
    return listEntry == "RTDATA" ? "REALTIME.000" : "FILE." + listEntry;
}

TimeCode TimeWordToTimeCode(std::uint16_t word) {
    return {std::uint8_t(word >> 11), std::uint8_t((word >> 5) & 0x3F),
            std::uint8_t((word & 0x1F) * 60 / 32), 0};
}

}  // namespace sg
