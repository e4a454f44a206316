#pragma once
// The SG family's request/reply packets over a serial line, as pure functions over byte
// strings: the checksum, the request templates, the reply framer and checks, the 4-byte
// stroke record and the directory listing. CWriterSG owns the port and the timing.
//
// Requests: an 18-byte header {01, sequence, length16, action16, param1..param5 (16 bits
// each), headerCrc16 over bytes 1-15}, then, when length > 18, data and a data checksum.
// Replies: a 14-byte header {01, sequence, length (low 12 bits), 4 bytes, dataLength16,
// 2 bytes, headerCrc16 over bytes 1-11}, data, and a data checksum over bytes 14..length-3.
// Every number is little-endian.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/TextUtil.h"
#include "writers/FrameStep.h"

// CRC-16/ARC (reflected 0x8005, initial 0, no final XOR); "123456789" gives 0xBB3D.
// Also the checksum of the SG writers' USB packets.
std::uint16_t Crc16(std::string_view bytes);

// Three stroke bytes from a 4-byte stroke record: each record byte carries six keys in its
// low bits (the top two are ignored), b0's first. Stroke bytes 3 to 5 are always 0.
std::array<std::uint8_t, 3> SgStrokeKeys(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2,
                                         std::uint8_t b3);
// The record a writer sends for those three stroke bytes (the inverse, top bits clear).
std::string SgStrokeRecord(std::uint8_t k0, std::uint8_t k1, std::uint8_t k2);

namespace sg {

enum Action : std::uint16_t {
    CloseFile = 0x02,
    OpenFile = 0x0A,
    ReadRecords = 0x0B,
    Wake = 0x14,
    Disconnect = 0x15,
    ListFiles = 0x18,
    EndRealtime = 0x19,
};

constexpr std::uint8_t kStartByte = 0x01;
constexpr std::size_t kRequestHeaderSize = 18;
constexpr std::size_t kReplyHeaderSize = 14;
// The 12-bit length field: no reply is longer.
constexpr std::size_t kMaxReplySize = 0x0FFF;
// Strokes a read request can address: a 16-bit block of 128 records.
constexpr int kMaxRecordIndex = 0xFFFF * 128 + 127;
// Strokes asked for in one realtime read.
constexpr int kReadBatch = 128;

// Little-endian fields.
std::uint16_t Get16(std::string_view bytes, std::size_t offset);
std::uint32_t Get32(std::string_view bytes, std::size_t offset);
void Put16(std::string& bytes, std::size_t offset, std::uint16_t value);

// ---- requests --------------------------------------------------------------------------
// Each template is returned with its checksum bytes zero; SealRequest fills them. The Wake
// packet alone is complete as returned (its checksum 0x2222 is part of the template).
std::string WakePacket();
// param2 = 1 in realtime and erase mode, 0 when notes are read over the cable.
std::string ListFilesRequest(bool realtime);
// The file name is the data part; byte 2 carries the total length, one byte, so a name is
// cut to 235 bytes.
std::string OpenFileRequest(const std::string& name);
// `count` records from record `first` on: param3 count, param4 the 512-byte block
// (first / 128), param5 the byte offset of the first record in it ((first % 128) * 4).
// `first` is brought into 0..kMaxRecordIndex, `count` into 16 bits.
std::string ReadRecordsRequest(std::uint8_t sequence, int first, int count);
std::string CloseFileRequest();
std::string EndRealtimeRequest();
std::string DisconnectRequest();
// Puts Crc16 of bytes 1-15 into bytes 16-17 and, for a request longer than the header, the
// checksum of bytes 18..length-3 into its last two bytes. Shorter buffers are left alone.
void SealRequest(std::string& request);
// The action code of a request (0 for a buffer too short to hold one).
std::uint16_t RequestAction(std::string_view request);

// ---- replies ---------------------------------------------------------------------------
// What the bytes received so far are, from their first byte on. A reply starts with 01, so
// any other first byte is line noise and is skipped (one byte). Once the length field is in,
// the reply is a frame of that many bytes (at least 4: a length field below 4 completes after
// its first 4 bytes, and the checks then reject it).
FrameStep FrameReply(std::string_view received);
// How many more bytes may be read without reading past the reply begun in `received` (its
// length field, then its end). Line noise ahead of it only makes the count smaller.
std::size_t ReplyBytesWanted(std::string_view received);
// The expected reply length once the length field has arrived; 255 before that.
std::size_t ReplyLengthField(std::string_view received);

struct ReplyCheck {
    bool startOk = false;
    bool sequenceOk = false;
    bool headerOk = false;     // long enough for a header, and its checksum right
    bool checksumsOk = false;  // header and data checksums right
    bool dataOk = false;       // data present, lengths consistent, whole records
    std::size_t dataLength = 0;

    // A reply whose data part holds stroke records.
    bool HasRecords() const { return startOk && sequenceOk && dataOk && checksumsOk; }
    // A sound reply that says there is nothing (more) to send.
    bool IsEmpty() const { return startOk && sequenceOk && headerOk && dataLength == 0; }
};
// Checks one complete reply against the sequence byte of the request it answers.
ReplyCheck CheckReply(std::string_view reply, std::uint8_t expectedSequence);
// The data part of a reply that passed the checks (bytes 14..length-3).
std::string_view ReplyData(std::string_view reply);

// ---- directory listing -----------------------------------------------------------------
// Entries of 24 bytes from reply offset 46: a 12-byte zero-padded name, 2 bytes, the size
// (32 bits) at entry offset 14, 6 bytes.
constexpr std::size_t kListingOffset = 46;
constexpr std::size_t kListingEntrySize = 24;
// A listing shorter than this means the writer has no realtime file yet.
constexpr std::size_t kMinListingSize = 50;

struct FileEntry {
    std::string name;  // trailing zero bytes dropped
    std::uint32_t size = 0;
};
// The first entry of a listing, when the reply holds all of it (64 bytes or more) and its
// name is not empty.
std::optional<FileEntry> FirstListingEntry(std::string_view reply);
// The writer's stored files as the cable-mode list shows them: the three digits of each
// "FILE.nnn" entry, or "RTDATA" when the only file is the realtime file "REALTIME.000".
std::vector<std::string> CableFileList(std::string_view reply);
// The name the writer knows a cable-mode list entry by.
std::string CableFileName(const std::string& listEntry);

// ---- time file (notes read from a folder) ----------------------------------------------
// A 16-bit time word: hours in bits 15-11, minutes in 10-5, the minute in 32nds in 4-0.
TimeCode TimeWordToTimeCode(std::uint16_t word);

}  // namespace sg
