#include "writers/CWriterPP.h"

#include <limits>

#include "platform/Clock.h"
#include "writers/PassportProtocol.h"

namespace {

constexpr int kIdleWaitMs = 100;     // the wait for a packet to begin
constexpr int kByteGapMs = 50;       // the wait for the rest of a packet
constexpr int kQuietLineMs = 1000;   // a line this quiet is asked again
constexpr int kResendCount = 100;    // strokes asked for at a time
// A writer quiet this long and then sending low numbers was reset, not repeating itself.
constexpr int kRestartPauseMs = 3000;
// Strokes remembered to tell a packet sent again from a writer numbering afresh.
constexpr std::size_t kDeliveredKept = 1024;
// Low packets in sequence that show a writer numbering afresh without a pause.
constexpr std::size_t kRestartRun = 3;

}  // namespace

CWriterPP::CWriterPP(platform::WindowHandle ownerWindow) : CSimpleWriter(ownerWindow) {
    reconnectPauseMs = 500;  // this writer's own pace
}

CWriterPP::~CWriterPP() { StopReaderThread(); }

bool CWriterPP::OpenNotesFile(int /*index*/) { return false; }

std::int32_t CWriterPP::ConvertTimestamp(std::int64_t ms) {
    if (timeStamps.empty()) timeStamps.push_back(ms);
    const std::int64_t since = ms - timeStamps.front();
    if (since <= 0) return 0;
    return since > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                            : std::int32_t(since);
}

bool CWriterPP::Reestablish() {
    // A packet the old line cut off can never be finished on the new one: its text must not
    // join what the writer sends next.
    lineBuffer.clear();
    // Ask for what the writer wrote meanwhile; one power-cycled meanwhile numbers afresh.
    if (expectedNumber != -1) lastRequestTime = kAskAtNextIdle;
    afterPause_ = true;
    return true;
}

void CWriterPP::Poll() {
    if (!WaitForInput(kIdleWaitMs)) {
        if (stopRequested != 0 || expectedNumber == -1) return;
        if (platform::MonotonicMs() > lastRequestTime + kQuietLineMs) {
            ReadStrokes(expectedNumber, kResendCount);
            lastRequestTime = platform::MonotonicMs();
        }
        return;
    }
    const std::int64_t now = platform::MonotonicMs();
    if (now - lastByteMs_ >= kRestartPauseMs) afterPause_ = true;
    for (;;) {
        std::string bytes;
        ReadWaiting(bytes);
        if (!bytes.empty()) lastByteMs_ = platform::MonotonicMs();
        passport::TakeReceived(lineBuffer, bytes, [this](const passport::Packet& packet) { TakePacket(packet); });
        // After a ">" the packet is whole; otherwise give the rest of it a moment to come.
        if (!bytes.empty() && bytes.back() == '>' && !port.IsDataAvailable()) break;
        if (!WaitForInput(kByteGapMs)) break;
    }
}

void CWriterPP::TakePacket(const passport::Packet& packet) {
    const std::int64_t now = platform::MonotonicMs();
    // A line quiet long enough to be asked again has nothing of the old numbering on its way:
    // the writer answers that request from the expected number on.
    if (now - lastPacketMs_ > kQuietLineMs) afterQuiet_ = true;
    lastPacketMs_ = now;
    if (expectedNumber == -1) expectedNumber = packet.number;
    if (packet.number < expectedNumber) {
        if (!afterPause_) {
            TakeLowPacket(packet);
            return;
        }
        // After a long pause or a reopen, low numbers are a writer that started afresh.
        expectedNumber = packet.number;
        delivered_.clear();
    }
    afterPause_ = false;
    afterQuiet_ = false;
    restartRun_.clear();
    if (packet.number == expectedNumber) {
        Deliver(packet);
    } else {
        lastRequestTime = kAskAtNextIdle;  // strokes were missed: ask at the next idle poll
    }
}

void CWriterPP::TakeLowPacket(const passport::Packet& packet) {
    // A packet sent again carries the stroke delivered under its number: it is dropped, unless
    // the line was quiet before it, when it may as well be a new job's first stroke writing
    // the same as the old one's: it is held until the run shows which.
    const auto it = delivered_.find(packet.number);
    const bool repeat = it != delivered_.end() && it->second == packet.keyText;
    if (repeat && !afterQuiet_) return;
    // Anything else low may be one damaged number; a run of them in sequence is a writer
    // numbering afresh, whose strokes are then delivered, the held ones first. After a quiet
    // line one that is no repeat shows it: a job of only a stroke or two before it could
    // never make a longer run, its numbers reaching the expected one first.
    if (!restartRun_.empty() && packet.number != restartRun_.back().number + 1) restartRun_.clear();
    restartRun_.push_back(packet);
    if (afterQuiet_ ? repeat : restartRun_.size() < kRestartRun) return;
    expectedNumber = restartRun_.front().number;
    delivered_.clear();
    afterQuiet_ = false;
    const std::vector<passport::Packet> run = std::move(restartRun_);
    restartRun_.clear();
    for (const passport::Packet& held : run) Deliver(held);
}

void CWriterPP::Deliver(const passport::Packet& packet) {
    lastRequestTime = platform::MonotonicMs();
    expectedNumber = packet.number + 1;
    delivered_[packet.number] = packet.keyText;
    if (delivered_.size() > kDeliveredKept) delivered_.erase(delivered_.begin());
    receiveBuffer = passport::BuildKeyRecord(packet.keyText);
    DecodeBuffer();
}

void CWriterPP::ReadStrokes(int first, int count) {
    if (mode == kModeRealtime) {
        const std::string request = passport::ResendRequest(first, count);
        if (port.IsUsable()) {
            port.lastError = 0;
            port.WriteString(request);
            // An input overflow seen on the way is no failure of the write.
            const int error = port.lastError;
            if (port.IsUsable() && (error == 0 || error == CSerialFile::kErrorOverflow)) return;
        }
        // The reader thread opens the port again (every 500 ms until it answers, or Stop)
        // and the request goes once the writer is back.
        port.Close();
        return;
    }
    if (mode == kModeNotesFolder) {
        // Nothing is read when no notes file is open.
        ReadNotesFile(std::int64_t(first) * std::int64_t(passport::kRecordSize),
                      std::int64_t(count) * std::int64_t(passport::kRecordSize));
        DecodeBuffer();
        return;
    }
    CSimpleWriter::ReadStrokes(first, count);
}

void CWriterPP::DecodeBuffer() {
    // Only whole records: a notes file cut short leaves its last record unread.
    while (receiveBuffer.size() >= passport::kRecordSize) {
        const std::string record = receiveBuffer.substr(0, passport::kRecordSize);
        receiveBuffer.erase(0, passport::kRecordSize);
        const Stroke k = passport::DecodeKeyRecord(record);
        if (mode == kModeNotesFolder) {
            const std::uint64_t fileTime = passport::RecordFileTime(record);
            const WriterTime time = MakeWriterTime(passport::FileTimeToTimeCode(fileTime),
                                                   ConvertTimestamp(std::int64_t(fileTime / 10'000)));
            AddStroke(k[0], k[1], k[2], time.data(), k[3], k[4], k[5]);
        } else {
            AddStroke(k[0], k[1], k[2], nullptr, k[3], k[4], k[5]);
        }
    }
}
