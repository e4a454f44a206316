#include "writers/CWriterEZ.h"

#include <algorithm>

#include "platform/Clock.h"
#include "platform/WaitDialog.h"
#include "writers/CaptureFile.h"

namespace {

constexpr int kIdleWaitMs = 100;
constexpr int kEchoWaitMs = 10;
constexpr int kRealtimeSettleMs = 100;
constexpr int kNotesStartMs = 100;
// A pass of the notes ends after this many quiet seconds in a row.
constexpr int kQuietChecksEndingPass = 10;
constexpr int kQuietCheckMs = 1000;
// The answer to "M": after a short pause, a longer one if nothing has come.
constexpr int kCompleteAnswerMs = 10 + 500;
constexpr int kProgressRange = 10000;
constexpr int kProgressInterval = 100;
constexpr std::size_t kBlockBytes = 3000;
const char* const kCaptureName = "EZWriter.000";
const char* const kCapturePattern = "EZWriter.*";

}  // namespace

CWriterEZ::CWriterEZ(platform::WindowHandle owner)
    : FramedSerialWriter(owner, ez::FrameRealtime, ez::RealtimeStroke, kIdleWaitMs,
                         ez::kPacketTimeoutMs) {}

CWriterEZ::~CWriterEZ() { StopReaderThread(); }

void CWriterEZ::Start(unsigned argument) {
    CWriter::Start(argument);
    if (mode == kModeNotesFolder || stopRequested != 0) return;
    if (!CheckPresence()) return;  // the reader thread stays at its gate

    port.WriteString(std::string(ez::kAfterPresence));
    DropEchoAfter(kEchoWaitMs);
    if (mode == kModeNotesCable) {
        ReadNotes();
        return;
    }
    BeginRealtime();
    ResumeReaderThread();
}

void CWriterEZ::BeginRealtime() {
    port.WriteString(std::string(ez::kStartRealtime));
    DropEchoAfter(kEchoWaitMs);
    DropEchoAfter(kRealtimeSettleMs);
    ResetFrames();
}

bool CWriterEZ::RealtimeExchange() {
    if (!PresentWithin(ez::kPresenceAttempts)) return false;
    port.WriteString(std::string(ez::kAfterPresence));
    DropEchoAfter(kEchoWaitMs);
    BeginRealtime();
    return true;
}

bool CWriterEZ::CheckPresence() {
    if (PresentWithin(ez::kPresenceAttempts)) return true;
    // Retry: one more attempt, then ask again.
    for (;;) {
        if (!AskRetry()) return false;
        if (PresentWithin(1)) return true;
    }
}

bool CWriterEZ::PresentWithin(int attempts) {
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (stopRequested != 0) return false;
        port.WriteString(std::string(ez::kPresenceCheck));
        if (PresenceAnswered()) return true;
    }
    return false;
}

bool CWriterEZ::PresenceAnswered() {
    std::uint8_t answer = 0;
    return ReadByteWithin(answer, presenceWaitMs) && answer == ez::kPresenceAnswer;
}

void CWriterEZ::DropEchoAfter(int ms) {
    PauseMs(ms);
    port.FlushInput();
}

// ---- stored notes over the cable ----------------------------------------------------------

void CWriterEZ::ReadNotes() {
    notesFiles.clear();
    notesListing.clear();
    std::unique_ptr<platform::WaitDialog> wait = OpenWaitDialog();
    wait->SetRange(0, kProgressRange, kProgressInterval);

    CaptureFile capture;
    if (!capture.Create(CaptureFilePath(kCaptureName))) {
        wait->Close();
        capture.ReportFailure();
        return;
    }
    port.WriteString(std::string(ez::kSendNotes));
    DropEchoAfter(kNotesStartMs);

    ez::NotesCollector notes;
    for (;;) {
        bool anyBytes = false;
        const bool goOn = ReadNotesPass(notes, *wait, capture, anyBytes);
        notes.EndPass();
        if (!goOn) break;
        bool answered = false;
        if (NotesComplete(answered)) break;
        // A writer that neither sends nor answers has stopped talking: keep what came.
        if (!answered && !anyBytes) break;
    }

    bool saved = capture.Write(notes.Records());
    saved = capture.Close() && saved;
    wait->Close();
    if (!saved) capture.ReportFailure();
    ListCaptureFiles(kCapturePattern, CaptureDate::Created);
}

bool CWriterEZ::ReadNotesPass(ez::NotesCollector& notes, platform::WaitDialog& wait,
                              CaptureFile& capture, bool& anyBytes) {
    int quietChecks = 0;
    for (;;) {
        if (wait.IsCancelled() || !port.IsUsable()) return false;
        std::uint8_t b = 0;
        if (!ReadByteWithin(b, kQuietCheckMs)) {
            if (stopRequested != 0) return false;
            if (++quietChecks >= kQuietChecksEndingPass) return true;
            // Keeps the window answering (and Cancel seen) through a long silence.
            wait.SetProgress(int(notes.BytesTaken() % kProgressRange), {});
            continue;
        }
        quietChecks = 0;
        anyBytes = true;
        const bool passEnds = notes.Take(b);
        wait.SetProgress(int(notes.BytesTaken() % kProgressRange), {});
        if (notes.Records().size() >= kBlockBytes) {
            if (!capture.Write(notes.Records())) return false;
            notes.Records().clear();
        }
        if (passEnds) return true;
    }
}

bool CWriterEZ::NotesComplete(bool& answered) {
    port.WriteString(std::string(ez::kNotesComplete));
    answered = false;
    const std::int64_t deadline = platform::MonotonicMs() + kCompleteAnswerMs;
    for (;;) {
        const std::int64_t left = deadline - platform::MonotonicMs();
        std::uint8_t b = 0;
        if (left <= 0 || !ReadByteWithin(b, int(left))) return false;
        // Padding still on its way after the run that ended the pass is not the answer.
        if (ez::IsZeroByte(b)) continue;
        answered = true;
        return ez::IsNotesCompleteAnswer(b);
    }
}

// ---- notes files of the writer's diskette ----------------------------------------------

void CWriterEZ::ReadStrokes(int first, int count) {
    if (mode != kModeNotesFolder) {
        CWriter::ReadStrokes(first, count);
        return;
    }
    if (first >= 0)
        ReadNotesFile(std::int64_t(ez::kDisketteHeaderSize) + std::int64_t(first) * ez::kDisketteRecordSize,
                      std::int64_t(count) * ez::kDisketteRecordSize);
    else
        receiveBuffer.clear();
    DecodeBuffer();
}

void CWriterEZ::DecodeBuffer() {
    if (mode != kModeNotesFolder) {
        CWriter::DecodeBuffer();
        return;
    }
    static const WriterTime kNoTime{};
    std::size_t used = 0;
    while (receiveBuffer.size() - used >= ez::kDisketteRecordSize) {
        const auto* record = reinterpret_cast<const std::uint8_t*>(receiveBuffer.data() + used);
        AddStroke(record[1], record[2], record[3], kNoTime.data());
        ++strokeIndex;
        used += ez::kDisketteRecordSize;
    }
    receiveBuffer.erase(0, used);
}
