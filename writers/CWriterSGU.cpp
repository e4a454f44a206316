#include "writers/CWriterSGU.h"

#include <algorithm>
#include <limits>

#include "core/ByteOrder.h"
#include "platform/Clock.h"
#include "writers/SgProtocol.h"

namespace {
constexpr int kPollPauseMs = 100;
constexpr int kRefusedWritePauseMs = 1000;
constexpr int kRealtimeReadStrokes = 128;
constexpr const char* kRealtimeFile = "REALTIME.000";

std::string Action(std::uint16_t action) { return std::string{char(action), char(action >> 8)}; }
}  // namespace

namespace sgu {

std::string Packet(std::uint32_t sequence, const std::string& fields, const std::string& payload) {
    std::string packet = "SG";
    AppendLittleEndian32(packet, sequence);
    packet += fields.substr(0, kHeaderSize - 6);
    packet.resize(kHeaderSize, '\0');
    packet += payload;
    packet.resize((packet.size() + 15) / 16 * 16, '\0');
    return packet;
}

std::string ReadFields(int byteOffset, int byteCount) {
    std::string fields = Action(kRead);
    fields.resize(6, '\0');
    AppendLittleEndian32(fields, std::uint32_t(byteOffset));
    AppendLittleEndian32(fields, std::uint32_t(byteCount));
    return fields;
}

}  // namespace sgu

CWriterSGU::~CWriterSGU() { CWriterSGU::Stop(); }

void CWriterSGU::SendPacket(const std::string& payload) {
    if (usbChannel.Write(sgu::Packet(sequenceNumber, receiveBuffer, payload))) {
        ++sequenceNumber;
        receiveBuffer.clear();
        return;
    }
    // The writer may have been unplugged and plugged back in: look for it afresh.
    PauseMs(kRefusedWritePauseMs);
    usbChannel.Close();
    usbChannel.Open();
}

void CWriterSGU::ReadReply(int timeoutMs) { receiveBuffer = usbChannel.Read(timeoutMs); }

void CWriterSGU::Start(unsigned argument) {
    CWriter::Start(argument);
    // Mode 0 lists the notes folder only; this writer polls in every mode.
    if (!readerThread.joinable()) CreateReaderThread();
    for (;;) {
        // A writer plugged in while the question was up answers the next Retry.
        if (!usbChannel.IsOpen()) usbChannel.Open();
        receiveBuffer = Action(sgu::kContact);
        SendPacket();
        ReadReply();
        if (!receiveBuffer.empty()) break;
        if (!AskRetry()) return;  // Cancel: the reader thread stays at its gate
    }

    if (mode == kModeNotesCable) {
        notesListing.clear();
        notesFiles.clear();
        for (int n = 1; n <= 99; ++n) {
            notesListing.push_back("FILE " + std::to_string(n));
            char name[16];
            std::snprintf(name, sizeof name, "FILE.%03d", n);
            notesFiles.push_back(name);
        }
        return;
    }

    receiveBuffer = Action(sgu::kOpenFile) + std::string("\x00\x10", 2);
    SendPacket(kRealtimeFile);
    protocolState = 0;
    // The first answer, bounded by time: a writer that never answers must not hold the
    // user-interface thread for 500 reads of 2.5 s.
    const std::int64_t end = platform::MonotonicMs() + openFileWaitMs;
    for (;;) {
        const std::int64_t left = end - platform::MonotonicMs();
        if (left <= 0) break;
        ReadReply(int(std::min<std::int64_t>(left, UsbDeviceChannel::kReadTimeoutMs)));
        if (!receiveBuffer.empty() || !usbChannel.IsOpen()) break;
        PauseMs(10);
    }

    strokeIndex = 0;
    // "Last" skips what is stored, every other answer reads from strokeIndex.
    const bool catchUp =
        argument != 0 || AskStartFrom(strokeIndex, std::numeric_limits<int>::max()) == 0;
    if (catchUp) CatchUp();
    ResumeReaderThread();
}

void CWriterSGU::CatchUp() {
    const std::int64_t end = platform::MonotonicMs() + catchUpLimitMs;
    for (;;) {
        const int before = strokeIndex;
        receiveBuffer = sgu::ReadFields(strokeIndex * sgu::kRecordSize, sgu::kMaxReadBytes);
        SendPacket();
        ReadReply();
        // Only the data after the header holds records.
        if (receiveBuffer.size() > sgu::kHeaderSize)
            strokeIndex += int((receiveBuffer.size() - sgu::kHeaderSize) / sgu::kRecordSize);
        if (strokeIndex == before || platform::MonotonicMs() >= end) break;
    }
    receiveBuffer.clear();
}

void CWriterSGU::ReadStrokes(int first, int count) {
    const int bytes = std::min(count * sgu::kRecordSize, sgu::kMaxReadBytes);
    receiveBuffer = sgu::ReadFields(first * sgu::kRecordSize, bytes);
    SendPacket();
    ReadReply();
    if (receiveBuffer.empty()) return;
    receiveBuffer.erase(0, std::min(receiveBuffer.size(), sgu::kHeaderSize));
    // The owner, woken by the first stroke of the reply, finds all of them queued.
    HoldStrokeMessages();
    DecodeBuffer();
    ReleaseStrokeMessages();
}

void CWriterSGU::DecodeBuffer() {
    // Stored notes over the cable come as 4-byte records with no time; realtime as 8-byte ones.
    const std::size_t size = mode == kModeNotesCable ? 4 : sgu::kRecordSize;
    static const WriterTime kNoTime{};
    while (receiveBuffer.size() >= size) {
        const auto* r = reinterpret_cast<const std::uint8_t*>(receiveBuffer.data());
        const auto keys = SgStrokeKeys(r[0], r[1], r[2], r[3]);
        AddStroke(keys[0], keys[1], keys[2], mode == kModeNotesCable ? kNoTime.data() : nullptr);
        ++strokeIndex;
        receiveBuffer.erase(0, size);
    }
}

void CWriterSGU::CloseNotesFile() {
    receiveBuffer = Action(sgu::kCloseFile);
    SendPacket();
    ReadReply();
    receiveBuffer.clear();
}

bool CWriterSGU::OpenNotesFile(int index) {
    if (index < 0 || index >= int(notesFiles.size())) return false;
    receiveBuffer = Action(sgu::kOpenFile) + std::string("\x00\x10", 2);
    SendPacket(notesFiles[std::size_t(index)]);
    ReadReply();
    const bool answered = !receiveBuffer.empty();
    receiveBuffer.clear();
    return answered;
}

void CWriterSGU::Poll() {
    ReadStrokes(strokeIndex, kRealtimeReadStrokes);
    PauseMs(kPollPauseMs);
}
