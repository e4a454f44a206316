#include "writers/CWriterPP.h"

#include <limits>

#include "platform/Clock.h"
#include "writers/PassportProtocol.h"

namespace {

constexpr int kIdleWaitMs = 100;     // the wait for a packet to begin
constexpr int kByteGapMs = 50;       // the wait for the rest of a packet
constexpr int kQuietLineMs = 1000;   // a line this quiet is asked again
constexpr int kResendCount = 100;    // strokes asked for at a time
constexpr int kReopenPauseMs = 500;  // the pace of reopening a port that went away

}  // namespace

CWriterPP::~CWriterPP() { StopReaderThread(); }

bool CWriterPP::OpenNotesFile(int /*index*/) { return false; }

std::int32_t CWriterPP::ConvertTimestamp(std::int64_t ms) {
    if (timeStamps.empty()) timeStamps.push_back(ms);
    const std::int64_t since = ms - timeStamps.front();
    if (since <= 0) return 0;
    return since > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                            : std::int32_t(since);
}

void CWriterPP::Poll() {
    if (!port.IsUsable()) {
        // The writer went away: keep trying to reach it, and once back ask for what it wrote
        // meanwhile.
        if (ReopenPort() && port.IsUsable() && expectedNumber != -1) lastRequestTime = kAskAtNextIdle;
        return;
    }
    if (!WaitForInput(kIdleWaitMs)) {
        if (stopRequested != 0 || expectedNumber == -1) return;
        if (platform::MonotonicMs() > lastRequestTime + kQuietLineMs) {
            ReadStrokes(expectedNumber, kResendCount);
            lastRequestTime = platform::MonotonicMs();
        }
        return;
    }
    for (;;) {
        std::string bytes;
        ReadWaiting(bytes);
        passport::AppendReceived(lineBuffer, bytes);
        TakePackets();
        // After a ">" the packet is whole; otherwise give the rest of it a moment to come.
        if (!bytes.empty() && bytes.back() == '>' && !port.IsDataAvailable()) break;
        if (!WaitForInput(kByteGapMs)) break;
    }
}

void CWriterPP::TakePackets() {
    while (std::optional<passport::Packet> packet = passport::TakePacket(lineBuffer)) {
        if (expectedNumber == -1) expectedNumber = packet->number;
        if (packet->number == expectedNumber) {
            lastRequestTime = platform::MonotonicMs();
            ++expectedNumber;
            receiveBuffer = passport::BuildKeyRecord(packet->keyText);
            DecodeBuffer();
        } else if (packet->number > expectedNumber) {
            lastRequestTime = kAskAtNextIdle;  // strokes were missed: ask at the next idle poll
        }
        // Lower numbers were already delivered.
    }
}

bool CWriterPP::ReopenPort() {
    if (!PauseMs(kReopenPauseMs)) return false;
    port.Close();
    // A packet the old line cut off can never be finished on the new one: its text must not
    // join what the writer sends next.
    lineBuffer.clear();
    port.OpenPort();
    // Opening clears the port's wake-up: a Stop that came meanwhile must still end the waits.
    if (stopRequested != 0) {
        port.Wake();
        return false;
    }
    return true;
}

void CWriterPP::ReadStrokes(int first, int count) {
    if (mode == kModeRealtime) {
        const std::string request = passport::ResendRequest(first, count);
        for (;;) {
            if (port.IsUsable()) {
                port.lastError = 0;
                port.WriteString(request);
                // An input overflow seen on the way is no failure of the write.
                const int error = port.lastError;
                if (port.IsUsable() && (error == 0 || error == CSerialFile::kErrorOverflow)) return;
            }
            if (!ReopenPort()) return;
        }
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
