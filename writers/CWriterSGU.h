#pragma once
// CWriterSGU: the USB writers (types 28 "Stenograph USB" and 30 "Diamante USB"). Requests are
// "SG" packets on the raw USB channel; a reply is a 32-byte header, then data. Realtime polls
// the writer's "REALTIME.000" file for the 8-byte stroke records stored after the last one
// seen. No checksums on this link; a reply echoes its request's sequence number, by which a
// late reply is told from the one awaited.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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
// The fields from offset 6 of a request without further fields (contact, close file).
std::string ActionFields(std::uint16_t action);
// The fields of an open-file request: the action, then 16 in the field at offset 8.
std::string OpenFileFields();
// The fields of a read request from offset 6: the action, then the offset and count at 12, 16.
std::string ReadFields(int byteOffset, int byteCount);
// The sequence number a reply echoes (bytes 2-5); none for a reply too short to hold one.
std::optional<std::uint32_t> ReplySequence(std::string_view reply);
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
    // channel opened afresh (a new device search); nothing else changes. On the reader thread a
    // writer that has gone is looked for about once a second instead, and greeted anew.
    void SendPacket(const std::string& payload = {});
    // The reply to the request just sent replaces receiveBuffer whole (empty when none came
    // within `timeoutMs`). Replies that echo another request's number came too late for theirs
    // and are dropped; with no request outstanding nothing is read.
    void ReadReply(int timeoutMs);
    void ReadReply() { ReadReply(replyWaitMs); }
    // A read reply in receiveBuffer: its header dropped, its records queued as strokes.
    void DecodeReply();

    std::uint32_t sequenceNumber = 0;

    // Bounds of the waits (tests shorten them).
    int replyWaitMs = UsbDeviceChannel::kReadTimeoutMs;
    int openFileWaitMs = 3000;
    int catchUpLimitMs = 30000;

protected:
    void WakeReader() override;
    // The writer's realtime file: the records stored now are skipped.
    void CatchUp();

private:
    // One contact request: true when anything answered it.
    bool Contact();
    // Opens "REALTIME.000" and waits, bounded, for the first answer (not looked at).
    void OpenRealtimeFile();
    // Reader thread: the writer went; look for it about once a second and greet it again.
    void Reconnect();
    bool OnReaderThread() const;
    void SetStatus(ConnectionState state, std::string reason = {});
    // What the last failed open of the channel tells the user.
    std::string OpenFailureReason() const;

    std::string deviceName_ = "Stenograph USB";  // as the status line names it
    bool awaiting_ = false;     // a request was taken and its reply is due
    std::uint32_t awaited_ = 0;  // its sequence number
    bool reconnecting_ = false;  // reader thread: the writer has gone
    std::int64_t lastReconnectMs_ = 0;
};
