#include "writers/CWriterTX.h"

#include <algorithm>
#include <vector>

#include "platform/Clock.h"
#include "platform/WaitDialog.h"
#include "writers/CaptureFile.h"
#include "writers/TransferSupport.h"

namespace {

constexpr int kIdleWaitMs = 50;
constexpr int kWakeTries = 100;
constexpr int kWakeWaitMs = 50;
constexpr std::uint8_t kWake = 0xFF;
constexpr std::uint8_t kSync = 0xC0;
constexpr int kNotesAnswerMs = 500;
constexpr int kFullBlock = 259;  // 256 data bytes: another block follows
constexpr int kBlockOverhead = 3;
constexpr int kClosingPairs = 5;
constexpr int kProgressSliceMs = 100;  // the wait window is kept answering this often
constexpr std::size_t kRecordsPerWrite = 3000;
const char* const kCaptureBase = "TXNotes";
const char* const kCapturePattern = "TXNotes.*";

std::int64_t Now() { return platform::MonotonicMs(); }

}  // namespace

CWriterTX::CWriterTX(platform::WindowHandle ownerWindow) : CWriter(ownerWindow) {}

CWriterTX::~CWriterTX() { StopReaderThread(); }

// ---- strokes ------------------------------------------------------------------------------

void CWriterTX::DecodeByte(std::uint8_t b) {
    std::vector<tx::Keys> done;
    gatherer_.Take(b, done);
    HandOn(done);
}

void CWriterTX::FlushStroke() {
    std::vector<tx::Keys> done;
    gatherer_.Flush(done);
    HandOn(done);
}

void CWriterTX::HandOn(const std::vector<tx::Keys>& done) {
    for (const tx::Keys& keys : done) {
        if (mode == kModeRealtime) AddStroke(keys[0], keys[1], keys[2]);
        if (mode == kModeNotesCable) records_.append(reinterpret_cast<const char*>(keys.data()), 3);
    }
    if (!capture_ || records_.size() < kRecordsPerWrite) return;
    if (!captureFailed_) captureFailed_ = !capture_->Write(records_);
    records_.clear();
}

// ---- realtime -----------------------------------------------------------------------------

void CWriterTX::Poll() {
    // While a stroke is pending, wake for the end of its silence rather than a coarse grain.
    int waitMs = kIdleWaitMs;
    const tx::Keys& pending = gatherer_.Pending();
    if (pending[0] | pending[1] | pending[2]) {
        const std::int64_t untilFlush = lastByteTime + tx::kSilenceMs + 1 - Now();
        waitMs = int(std::clamp<std::int64_t>(untilFlush, 0, kIdleWaitMs));
    }
    if (WaitForInput(waitMs)) {
        std::string bytes;
        if (ReadWaiting(bytes) == 0) return;
        lastByteTime = Now();
        for (const char c : bytes) DecodeByte(std::uint8_t(c));
        return;
    }
    // A writer that went mid-stroke left no whole stroke: the reconnect forgets it.
    if (!port.IsUsable()) return;
    if (tx::SilenceEnds(lastByteTime, Now())) FlushStroke();
}

bool CWriterTX::Reestablish() {
    gatherer_.Reset();
    return true;
}

// ---- start --------------------------------------------------------------------------------

void CWriterTX::Start(unsigned argument) {
    CWriter::Start(argument);
    if (mode == kModeNotesFolder) return;
    if (mode == kModeNotesCable) {
        if (stopRequested == 0) ReadNotes();
        return;
    }
    ResumeReaderThread();  // a port that did not open ends the thread at once
}

void CWriterTX::SendByte(std::uint8_t b) { port.WriteString(std::string(1, char(b))); }

bool CWriterTX::WakeWriter() {
    bool awake = false;
    for (int tries = 0; tries < kWakeTries && !awake; ++tries) {
        if (!port.IsUsable()) return false;
        SendByte(kWake);
        std::uint8_t answer = 0;
        if (ReadByteWithin(answer, kWakeWaitMs)) awake = answer == kWake;
        if (stopRequested != 0) return false;
    }
    if (!awake) return false;
    port.FlushInput();
    WritePaced("*T", commandGapMs);
    SendByte('*');
    return WaitForInput(kNotesAnswerMs);  // the answer itself is not read here
}

bool CWriterTX::ReadByteBounded(std::uint8_t& b, int ms, platform::WaitDialog& wait) {
    const std::int64_t end = Now() + ms;
    for (;;) {
        if (wait.IsCancelled() || !port.IsUsable() || stopRequested != 0) return false;
        const std::int64_t left = end - Now();
        if (left <= 0) return false;
        if (WaitForInput(int(std::min<std::int64_t>(left, kProgressSliceMs)))) {
            std::string got;
            if (ReadWaiting(got, 1) == 1) {
                b = std::uint8_t(got[0]);
                return true;
            }
        } else {
            wait.SetProgress(blocks_, {});  // keeps the window answering through a silence
        }
    }
}

bool CWriterTX::ReadBlock(int high, int low, platform::WaitDialog& wait) {
    WritePaced(std::string{char(high), char(kSync), char(low)}, commandGapMs);
    // The sync byte: one deadline, however many other bytes stream meanwhile.
    const std::int64_t syncEnd = Now() + syncWaitMs;
    bool synced = false;
    for (std::uint8_t b = 0; !synced;) {
        const std::int64_t left = syncEnd - Now();
        if (left <= 0 || !ReadByteBounded(b, int(left), wait)) break;
        synced = b == kSync;
    }
    if (!synced) return false;  // nothing more of this block is waited for

    // Every later byte of the block has its own limit: a writer falling silent mid-block ends
    // the transfer instead of holding it.
    std::uint8_t echo = 0;
    if (!ReadByteBounded(echo, blockByteLimitMs, wait)) return false;
    if (echo != std::uint8_t(low) && !ReadByteBounded(echo, blockByteLimitMs, wait)) return false;
    std::uint8_t lengthLow = 0, lengthHigh = 0;
    if (!ReadByteBounded(lengthLow, blockByteLimitMs, wait) || !ReadByteBounded(lengthHigh, blockByteLimitMs, wait))
        return false;
    const int length = lengthLow | lengthHigh << 8;
    PauseMs(commandGapMs);
    wait.SetProgress(++blocks_, {});
    // A length below the block's own three bytes holds no data: the transfer ends there.
    if (wait.IsCancelled() || length > kFullBlock || length < kBlockOverhead) return false;

    std::uint8_t dropped = 0;
    for (int i = 0; i < 2; ++i)
        if (!ReadByteBounded(dropped, blockByteLimitMs, wait)) return false;
    for (int i = 0; i < length - kBlockOverhead; ++i) {
        std::uint8_t b = 0;
        if (!ReadByteBounded(b, blockByteLimitMs, wait)) return false;
        DecodeByte(b);
    }
    PauseMs(commandGapMs);
    port.FlushInput();  // what the block reader does not know is dropped
    return length >= kFullBlock;
}

void CWriterTX::EndTransfer() {
    for (int i = 0; i < kClosingPairs; ++i) WritePaced(std::string{char(kSync), char(kWake)}, commandGapMs);
}

void CWriterTX::ReadNotes() {
    while (!WakeWriter()) {
        if (!AskRetry()) return;  // the reader thread stays at its gate
    }
    std::unique_ptr<platform::WaitDialog> wait = OpenWaitDialog();
    wait->SetRange(0, 100, 1);
    const std::string path = CaptureFilePath(CaptureFileName(kCaptureBase, 0));
    CaptureFile capture;
    if (!capture.Create(path)) {
        EndTransfer();  // the writer is not left waiting for a block request
        wait->Close();
        capture.ReportFailure();
        return;
    }
    capture_ = &capture;
    records_.clear();
    captureFailed_ = false;

    int high = 0, low = 1;
    blocks_ = 0;
    while (!captureFailed_ && ReadBlock(high, low, *wait)) {
        if (++low == 128) {
            ++high;
            low = 1;
        }
    }
    FlushStroke();
    bool saved = !captureFailed_ && capture.Write(records_);
    records_.clear();
    capture_ = nullptr;
    saved = capture.Close() && saved;
    EndTransfer();
    DeleteCaptureFilesFrom(GetTempDir(), kCaptureBase, 1);
    ListCaptureFiles(kCapturePattern, CaptureDate::Created);
    wait->Close();
    if (!saved) capture.ReportFailure();
}
