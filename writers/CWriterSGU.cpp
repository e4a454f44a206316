#include "writers/CWriterSGU.h"

#include <algorithm>
#include <limits>
#include <thread>

#include "core/AppSettings.h"
#include "core/ByteOrder.h"
#include "platform/Clock.h"
#include "writers/SgProtocol.h"

namespace {
constexpr int kPollPauseMs = 100;
constexpr int kRefusedWritePauseMs = 1000;
constexpr int kReconnectPauseMs = 1000;
constexpr int kRealtimeReadStrokes = 128;
constexpr const char* kRealtimeFile = "REALTIME.000";
constexpr int kDiamanteUsbType = 30;
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

std::string ActionFields(std::uint16_t action) {
    return std::string{char(action & 0xFF), char(action >> 8)};
}

std::string OpenFileFields() { return ActionFields(kOpenFile) + '\x10'; }

std::string ReadFields(int byteOffset, int byteCount) {
    std::string fields = ActionFields(kRead);
    fields.resize(6, '\0');
    AppendLittleEndian32(fields, std::uint32_t(byteOffset));
    AppendLittleEndian32(fields, std::uint32_t(byteCount));
    return fields;
}

std::optional<std::uint32_t> ReplySequence(std::string_view reply) {
    if (reply.size() < 6) return std::nullopt;
    return ReadLittleEndian32(reinterpret_cast<const std::uint8_t*>(reply.data()) + 2);
}

}  // namespace sgu

CWriterSGU::~CWriterSGU() { CWriterSGU::Stop(); }

bool CWriterSGU::OnReaderThread() const { return readerThread.get_id() == std::this_thread::get_id(); }

void CWriterSGU::SetStatus(ConnectionState state, std::string reason) {
    SetConnectionStatus(state, deviceName_, std::move(reason));
}

std::string CWriterSGU::OpenFailureReason() const {
    switch (usbChannel.LastOpenError()) {
        case platform::UsbOpenError::None: return {};
        case platform::UsbOpenError::NotFound: return "not found";
        case platform::UsbOpenError::AccessDenied:
            return "access denied: the udev rule 70-steno-usb-writers.rules is missing (see README)";
        case platform::UsbOpenError::Busy: return "in use by another program";
        case platform::UsbOpenError::Failed: break;
    }
    return "cannot be opened";
}

void CWriterSGU::WakeReader() { usbChannel.Wake(); }

void CWriterSGU::SendPacket(const std::string& payload) {
    if (usbChannel.Write(sgu::Packet(sequenceNumber, receiveBuffer, payload))) {
        awaiting_ = true;
        awaited_ = sequenceNumber;
        ++sequenceNumber;
        receiveBuffer.clear();
        return;
    }
    awaiting_ = false;
    const bool session = OnReaderThread();
    if (session && (reconnecting_ || !usbChannel.IsOpen() || usbChannel.Gone())) {
        // Unplugged: Reconnect looks for it, paced, and greets it again.
        if (!reconnecting_) SetStatus(ConnectionState::Gone);
        reconnecting_ = true;
        return;
    }
    if (session && stopRequested == 0) SetStatus(ConnectionState::NotAnswering);
    // The writer may have been unplugged and plugged back in: look for it afresh.
    if (!PauseMs(kRefusedWritePauseMs)) return;
    usbChannel.Close();
    if (!usbChannel.Open() && session) {
        SetStatus(ConnectionState::Gone, OpenFailureReason());
        reconnecting_ = true;
    }
}

void CWriterSGU::ReadReply(int timeoutMs) {
    receiveBuffer.clear();
    // After a refused write only stale replies could come.
    if (!awaiting_) return;
    awaiting_ = false;
    const std::int64_t end = platform::MonotonicMs() + timeoutMs;
    for (;;) {
        const std::int64_t left = end - platform::MonotonicMs();
        if (left <= 0 || stopRequested != 0) break;
        std::string reply = usbChannel.Read(int(left));
        if (reply.empty()) break;
        const std::optional<std::uint32_t> sequence = sgu::ReplySequence(reply);
        if (!sequence || *sequence == awaited_) {
            receiveBuffer = std::move(reply);
            break;
        }
        // The answer to an earlier request that came after its read gave up: taken for this
        // one it would deliver strokes twice.
    }
    if (!OnReaderThread() || reconnecting_ || stopRequested != 0) return;
    if (receiveBuffer.empty()) {
        if (usbChannel.IsOpen() && !usbChannel.Gone()) SetStatus(ConnectionState::NotAnswering);
    } else if (GetConnectionStatus().state == ConnectionState::NotAnswering) {
        SetStatus(ConnectionState::Connected);
    }
}

bool CWriterSGU::Contact() {
    receiveBuffer = sgu::ActionFields(sgu::kContact);
    SendPacket();
    ReadReply();
    return !receiveBuffer.empty();
}

void CWriterSGU::OpenRealtimeFile() {
    receiveBuffer = sgu::OpenFileFields();
    SendPacket(kRealtimeFile);
    protocolState = 0;
    // The first answer, bounded by time: a writer that never answers must not hold the start
    // for 500 reads of 2.5 s. Its content is not looked at.
    ReadReply(openFileWaitMs);
    receiveBuffer.clear();
}

void CWriterSGU::Start(unsigned argument) {
    reconnecting_ = false;
    deviceName_ = GetSettings().writerType == kDiamanteUsbType ? "Diamante USB" : "Stenograph USB";
    CWriter::Start(argument);
    // Mode 0 lists the notes folder only; this writer polls in every mode.
    if (!readerThread.joinable()) CreateReaderThread();
    // Stopping the previous thread woke the channel; a Cancel that came meanwhile stays.
    usbChannel.ClearWake();
    if (StartCancelled()) usbChannel.Wake();
    SetStatus(ConnectionState::Connecting);
    for (;;) {
        // A writer plugged in while the question was up answers the next Retry.
        if (!usbChannel.IsOpen()) usbChannel.Open();
        if (Contact()) break;
        if (usbChannel.IsOpen())
            SetStatus(ConnectionState::NotAnswering);
        else
            SetStatus(ConnectionState::Unavailable, OpenFailureReason());
        if (!AskRetry()) return;  // Cancel: the reader thread stays at its gate
        SetStatus(ConnectionState::Connecting);
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

    OpenRealtimeFile();
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

void CWriterSGU::Reconnect() {
    const std::int64_t left = lastReconnectMs_ + kReconnectPauseMs - platform::MonotonicMs();
    if (left > 0 && !PauseMs(int(left))) return;
    lastReconnectMs_ = platform::MonotonicMs();
    usbChannel.Close();
    if (!usbChannel.Open()) {
        SetStatus(ConnectionState::Gone, usbChannel.LastOpenError() == platform::UsbOpenError::NotFound
                                              ? std::string()
                                              : OpenFailureReason());
        return;
    }
    // A writer plugged in again has forgotten its open file; the strokes go on from the one
    // reached, so nothing is delivered twice and nothing stored meanwhile is skipped.
    reconnecting_ = false;
    SetStatus(ConnectionState::Connecting);
    if (!Contact()) {
        if (!reconnecting_ && stopRequested == 0) SetStatus(ConnectionState::NotAnswering);
        reconnecting_ = true;
        return;
    }
    OpenRealtimeFile();
    if (reconnecting_ || stopRequested != 0) return;
    SetConnectionStatus(ConnectionState::Connected, deviceName_, {}, true);
}

void CWriterSGU::ReadStrokes(int first, int count) {
    const int bytes = std::min(count * sgu::kRecordSize, sgu::kMaxReadBytes);
    receiveBuffer = sgu::ReadFields(first * sgu::kRecordSize, bytes);
    SendPacket();
    ReadReply();
    DecodeReply();
}

void CWriterSGU::DecodeReply() {
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
    receiveBuffer = sgu::ActionFields(sgu::kCloseFile);
    SendPacket();
    ReadReply();
    receiveBuffer.clear();
}

bool CWriterSGU::OpenNotesFile(int index) {
    if (index < 0 || index >= int(notesFiles.size())) return false;
    receiveBuffer = sgu::OpenFileFields();
    SendPacket(notesFiles[std::size_t(index)]);
    ReadReply();
    const bool answered = !receiveBuffer.empty();
    receiveBuffer.clear();
    return answered;
}

void CWriterSGU::Poll() {
    if (reconnecting_) {
        Reconnect();
        return;
    }
    ReadStrokes(strokeIndex, kRealtimeReadStrokes);
    PauseMs(kPollPauseMs);
}
