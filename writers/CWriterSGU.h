#pragma once
// CWriterSGU: the USB writers (types 28 "Stenograph USB" and 30 "Diamante USB"). Requests are
// "SG" packets on the raw USB channel; a reply is a 32-byte header, then data. Realtime polls
// the writer's "REALTIME.000" file for the 8-byte stroke records stored after the last one
// seen. No checksums on this link.
#include <cstdint>
#include <string>

#include "writers/CWriter.h"

namespace sgu {
constexpr std::uint16_t kContact = 0x0001;
constexpr std::uint16_t kOpenFile = 0x0011;
constexpr std::uint16_t kCloseFile = 0x0012;
constexpr std::uint16_t kRead = 0x0013;
constexpr std::size_t kHeaderSize = 32;
constexpr int kRecordSize = 8;
constexpr int kMaxReadBytes = 512;
// The whole request: "SG", the sequence number, `fields` from offset 6 (action first), zeros to
// 32 bytes, the payload, zeros to a multiple of 16.
std::string Packet(std::uint32_t sequence, const std::string& fields, const std::string& payload);
// The fields of a read request from offset 6: the action, then the offset and count at 12, 16.
std::string ReadFields(int byteOffset, int byteCount);
}  // namespace sgu

class CWriterSGU : public CWriter {
public:
    using CWriter::CWriter;
    ~CWriterSGU() override;

    void Start(unsigned argument) override;
    void ReadStrokes(int first, int count) override;
    void DecodeBuffer() override;
    void CloseNotesFile() override;
    bool OpenNotesFile(int index) override;
    void Poll() override;

    // Sends the fields that the caller put in receiveBuffer with `payload` as one packet.
    // Accepted: sequenceNumber + 1 and receiveBuffer emptied. Refused: a pause of 1 s and the
    // channel opened afresh (a new device search); nothing else changes.
    void SendPacket(const std::string& payload = {});
    // One read of the channel replaces receiveBuffer whole.
    void ReadReply(int timeoutMs = UsbDeviceChannel::kReadTimeoutMs);

    std::uint32_t sequenceNumber = 0;

    // Bounds of the start-up's waits (tests shorten them).
    int openFileWaitMs = 3000;
    int catchUpLimitMs = 30000;

protected:
    // The writer's realtime file: the records stored now are skipped.
    void CatchUp();
};
