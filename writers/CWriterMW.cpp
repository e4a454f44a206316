#include "writers/CWriterMW.h"

#include <algorithm>

#include "core/AlertBox.h"
#include "platform/Clock.h"
#include "platform/WaitDialog.h"
#include "writers/MwProtocol.h"
#include "writers/RequestPacer.h"
#include "writers/TransferSupport.h"

namespace {

constexpr int kIdleWaitMs = 100;
constexpr int kCharGapMs = 200;      // between the characters of the realtime command
constexpr int kAnswerWaitMs = 100;   // for an answer to the wake-up or "JOBS\r"
constexpr int kAttempts = 10;
constexpr int kCommandGapMs = 100;
constexpr int kBeforeNotesMs = 2000;
constexpr int kCommandSettleMs = 1000;  // after the erase/format and init commands
constexpr int kNextRecordWaitMs = 50;   // after each "U"
constexpr int kSilentProgressMs = 500;  // the wait window keeps answering while the writer is silent
constexpr int kSliceMs = 50;
constexpr int kProgressRange = 10000;
constexpr int kProgressInterval = 16;
const char* const kCaptureBase = "MWNotes";
const char* const kCapturePattern = "MWNotes.*";

}  // namespace

CWriterMW::CWriterMW(platform::WindowHandle owner)
    : FramedSerialWriter(owner, mw::FrameStroke, mw::FrameKeys, kIdleWaitMs, mw::kStrokeTimeoutMs,
                         mw::kStrokeResumeMs) {}

CWriterMW::~CWriterMW() { StopReaderThread(); }

void CWriterMW::Start(unsigned argument) {
    CWriter::Start(argument);
    switch (mode) {
        case kModeNotesCable:
            ReadNotes();
            break;
        case kModeRealtime:
            StartRealtime();
            break;
        case kModeErase:
            EraseOrFormat();
            break;
        default:
            break;
    }
}

void CWriterMW::Send(std::string_view command) { port.WriteString(std::string(command)); }

bool CWriterMW::StartRealtime() {
    while (!RealtimeExchange()) {
        if (!AskRetry()) return false;
    }
    ResumeReaderThread();
    return true;
}

bool CWriterMW::RealtimeExchange() {
    // One character at a time, paced: the writer takes its commands slowly.
    WritePaced(mw::kRealtimeOn, kCharGapMs);
    if (!WaitForInput(0)) return false;
    port.FlushInput();
    ResetFrames();
    return true;
}

bool CWriterMW::WakeUp() {
    for (;;) {
        for (int i = 0; i < kAttempts; ++i) {
            Send(mw::kWakeUp);
            if (WaitForInput(kAnswerWaitMs)) return true;
        }
        if (!AskRetry()) return false;
    }
}

// ---- stored notes over the cable ----------------------------------------------------------

void CWriterMW::ReadNotes() {
    if (stopRequested != 0) return;  // the port did not open
    if (!WakeUp()) return;
    port.FlushInput();
    std::unique_ptr<platform::WaitDialog> wait = OpenWaitDialog();
    wait->SetRange(0, kProgressRange, kProgressInterval);
    if (!captureFile.Create(CaptureFilePath(CaptureFileName(kCaptureBase, 0)))) {
        wait->Close();
        captureFile.ReportFailure();
        return;
    }
    if (AskForNotes(*wait)) ReceiveRecords(*wait);
    // The capture file starts empty: what this transfer brought, if anything, is all it holds,
    // and no file of an earlier transfer is left to pass for this one's notes.
    const bool saved = captureFile.Close();
    DeleteCaptureFilesFrom(GetTempDir(), kCaptureBase, saved ? 1 : 0);
    ListCaptureFiles(kCapturePattern, CaptureDate::Created);
    wait->Close();
    if (!saved) captureFile.ReportFailure();
}

bool CWriterMW::AskForNotes(platform::WaitDialog& wait) {
    Send(mw::kJobs);
    for (int i = 0; i < kAttempts; ++i) {
        Send(mw::kJobs);
        if (InputAnswering(wait, kAnswerWaitMs)) break;
        if (wait.IsCancelled()) return false;
    }
    std::uint8_t b = 0;
    for (int i = 0; i <= mw::kJobsEchoBytes; ++i)  // the echo, then one byte more
        if (!ReadByteAnswering(wait, b)) return false;
    Send(mw::kPosition);
    if (!PauseAnswering(wait, kCommandGapMs)) return false;
    std::string echo;
    ReadWaiting(echo, mw::kPosition.size());
    if (!PauseAnswering(wait, kBeforeNotesMs)) return false;
    Send(mw::kSendNotes);
    return PauseAnswering(wait, kCommandGapMs);
}

void CWriterMW::ReceiveRecords(platform::WaitDialog& wait) {
    int count = 0;
    for (;;) {
        wait.SetProgress(count % kProgressRange, {});
        if (!AwaitSync(wait, count)) break;
        std::string keys;
        std::uint8_t b = 0;
        while (keys.size() < mw::kKeyBytes && ReadByteAnswering(wait, b)) keys.push_back(char(b));
        // A record cut short is never written: its bytes could only make a wrong stroke.
        if (keys.size() < mw::kKeyBytes) break;
        const std::string record = mw::MirroredRecord(keys);
        if (!captureFile.Write(record)) break;  // reported when the file is closed
        ++count;
        if (record == mw::kEndRecord || wait.IsCancelled()) break;
    }
}

bool CWriterMW::AwaitSync(platform::WaitDialog& wait, int recordCount) {
    const std::int64_t start = platform::MonotonicMs();
    std::int64_t lastProgress = start;
    // "Send U and sleep 50 ms" stays a pace: a writer that answers at once (or echoes the "U")
    // is read the moment it does, but asked no more often than that.
    RequestPacer asks(kNextRecordWaitMs);
    for (;;) {
        if (wait.IsCancelled() || !PumpMessages() || !port.IsUsable()) return false;
        const std::int64_t now = platform::MonotonicMs();
        // A writer that went silent, or a line of noise with no sync byte, ends the transfer.
        if (now - start >= recordWaitMs) return false;
        std::string byte;
        if (ReadWaiting(byte, 1) == 1) {
            if (std::uint8_t(byte[0]) == mw::kLead) return true;
            continue;  // bytes before the sync byte are skipped
        }
        if (asks.Due(now)) {
            Send(mw::kNextRecord);
            asks.Sent(now);
        }
        WaitForInput(std::min(asks.WaitMs(platform::MonotonicMs()), kSliceMs));
        if (now - lastProgress >= kSilentProgressMs) {
            wait.SetProgress(recordCount % kProgressRange, {});
            lastProgress = now;
        }
    }
}

bool CWriterMW::InputAnswering(platform::WaitDialog& wait, int ms) {
    const std::int64_t deadline = platform::MonotonicMs() + ms;
    for (;;) {
        if (wait.IsCancelled() || !PumpMessages()) return false;
        const std::int64_t left = deadline - platform::MonotonicMs();
        if (left <= 0) return false;
        if (WaitForInput(int(std::min<std::int64_t>(left, kSliceMs)))) return true;
    }
}

bool CWriterMW::PauseAnswering(platform::WaitDialog& wait, int ms) {
    const std::int64_t deadline = platform::MonotonicMs() + ms;
    for (;;) {
        if (wait.IsCancelled() || !PumpMessages()) return false;
        const std::int64_t left = deadline - platform::MonotonicMs();
        if (left <= 0) return true;
        if (!PauseMs(int(std::min<std::int64_t>(left, kSliceMs)))) return false;
    }
}

bool CWriterMW::ReadByteAnswering(platform::WaitDialog& wait, std::uint8_t& byte) {
    std::string got;
    if (!InputAnswering(wait, byteWaitMs) || ReadWaiting(got, 1) != 1) return false;
    byte = std::uint8_t(got[0]);
    return true;
}

// ---- erase or format ----------------------------------------------------------------------

void CWriterMW::EraseOrFormat() {
    if (!WakeUp()) return;
    port.FlushInput();
    const int answer = AlertBox(kMessageEraseOrFormat, 255);
    if (answer != 0 && answer != 1) return;  // closed without a choice
    Send(answer == 0 ? mw::kErase : mw::kFormat);
    PauseMs(kCommandSettleMs);
    port.FlushInput();
    Send(mw::kInit);
    PauseMs(kCommandSettleMs);
    port.FlushInput();
}
