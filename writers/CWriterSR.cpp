#include "writers/CWriterSR.h"

#include <algorithm>

#include "platform/Clock.h"
#include "platform/WaitDialog.h"
#include "writers/CaptureFile.h"
#include "writers/SrProtocol.h"

namespace {

constexpr int kHandshakeAttempts = 10;  // answered or not: a writer answering badly is asked about too
constexpr int kByteDelayLimitMs = 100;
constexpr int kBeforeAttemptMs = 100;
constexpr int kAnswerByteGapMs = 20;
constexpr int kCycleMs = 100;        // the shortest time between two status requests
constexpr int kReplyWindowMs = 750;  // a reply, from its request or its last byte
constexpr int kIdleWaitMs = 100;
// Reply windows in a row with no reply: the writer does not answer.
constexpr int kUnansweredBeforeNotice = 3;
// The handshake's answer and a few stray bytes ahead of it.
constexpr std::size_t kHandshakeReadLimit = 2 * sr::kStatusAnswerSize;

constexpr int kNotesBatch = 100;
constexpr int kBeforeNotesRequestMs = 100;
constexpr int kEmptyBatchesEnding = 5;  // a writer that keeps sending nothing has no more
const char* const kCaptureName = "StenoRAM.000";

std::int64_t Now() { return platform::MonotonicMs(); }

}  // namespace

CWriterSR::CWriterSR(platform::WindowHandle ownerWindow) : CWriter(ownerWindow) {}

CWriterSR::~CWriterSR() { StopReaderThread(); }

// ---- packets ------------------------------------------------------------------------------

void CWriterSR::SendPacket(const std::string& packet) {
    if (byteDelay == 0) {
        port.WriteString(packet);
        return;
    }
    WritePaced(packet, byteDelay);
}

void CWriterSR::SendStrokeRequest() {
    SendPacket(sr::StatusRequest());
    receiveBuffer.clear();
    protocolState = 2;
    writerStrokeCount = 0;
    replyBytes = 0;
    replyLength = 255;
    // The reply window runs from the request: bytes that come with no request outstanding are
    // dropped, so a writer slow to begin its answer must still be waited for.
    requestTime = Now();
    lastStatusAt_ = requestTime;
}

void CWriterSR::SendReadRequest(int first, int count) {
    const bool realtime = mode == kModeRealtime || mode == kModeErase;
    // From the very first stroke there is none before it to ask for (and to skip).
    skipFirst_ = realtime && first > 0;
    SendPacket(skipFirst_ ? sr::ReadRequest(first - 1, count + 1) : sr::ReadRequest(first, count));
    receiveBuffer.clear();
    replyBytes = 0;
    replyLength = 255;
    protocolState = 2;
    requestTime = Now();
}

void CWriterSR::ReadPacket() {
    // One read takes all that is waiting (a whole reply in one wake). At most a longest reply
    // is read per call, so that a line streaming noise still lets the caller see its clock.
    constexpr std::size_t kLongestReply = sr::kHeaderSize + sr::kMaxDataLength;
    for (std::size_t taken = 0; protocolState == 2 && taken < kLongestReply;) {
        const std::size_t got = ReadWaiting(receiveBuffer, kLongestReply);
        if (got == 0) return;
        taken += got;
        FrameStep step = sr::FrameReply(receiveBuffer);
        for (; step.kind == FrameStep::Skip; step = sr::FrameReply(receiveBuffer))
            receiveBuffer.erase(0, step.length);
        // Every byte of a reply restarts the reply window; noise that starts none does not.
        if (!receiveBuffer.empty()) requestTime = Now();
        replyBytes = int(receiveBuffer.size());
        if (receiveBuffer.size() >= 10) replyLength = int(sr::DataLength(receiveBuffer) + sr::kHeaderSize);
        if (step.kind != FrameStep::Frame) continue;
        // What came after the reply answers no request: it never starts the next reply.
        receiveBuffer.resize(step.length);
        CompleteReply();
    }
}

void CWriterSR::CompleteReply() {
    const sr::ReplyCheck check = sr::CheckReply(receiveBuffer);
    // A damaged or unexpected reply ends the exchange without effect; the next one asks again
    // from the same stroke.
    protocolState = 3;
    if (!check.valid) return;
    Answered();
    if (check.isStatus) {
        writerStrokeCount = check.strokeCount;
        if (mode != kModeNotesCable) {
            // Fewer strokes than were read: the writer was restarted (a new job, a power
            // cycle), and every stroke it holds now is a new one.
            if (writerStrokeCount < strokeIndex) {
                strokeIndex = 0;
                expectTimeRecord = 0;
            }
            if (strokeIndex < writerStrokeCount) {
                ReadStrokes(strokeIndex, GetStrokesToRead());
                return;
            }
        }
        receiveBuffer.clear();
        replyLength = 255;
        replyBytes = 0;
    } else if (check.isStrokeData && check.strokeNumber >= strokeIndex) {
        receiveBuffer.erase(0, sr::kStrokeDataRecordsAt);
        // A realtime reply starts again with the stroke before the first wanted, so a time
        // marker taken at the end of the last reply comes again with its time record.
        if (skipFirst_) expectTimeRecord = 0;
        if (receiveBuffer.empty()) return;
        // The owner, woken by the first stroke of the reply, finds all of them queued.
        HoldStrokeMessages();
        DecodeRecord(check.strokeNumber - strokeIndex + 2);
        ReleaseStrokeMessages();
    }
}

// ---- stroke records -----------------------------------------------------------------------

void CWriterSR::TakeTimeRecord(int value) {
    TimeCode code{recordTime[0], recordTime[1], recordTime[2], recordTime[3]};
    sr::TimeRecordHoursMinutes(value, code[0], code[1]);
    recordTime = TimeSinceFirstStroke(code);
}

void CWriterSR::DecodeRecord(int n) {
    bool skipFirst = skipFirst_;
    std::size_t used = 0;
    for (int i = 0; i < n; ++i) {
        const sr::Record record = sr::TakeRecord(std::string_view(receiveBuffer).substr(used));
        // A record cut off by the end of the reply is not made up from bytes that never came.
        if (record.form == sr::Record::Incomplete) break;
        used += record.length;
        if (expectTimeRecord != 0) {
            expectTimeRecord = 0;
            if (record.form == sr::Record::ThreeBytes) TakeTimeRecord(record.timeValue);
            if (skipFirst) --strokeIndex;
        } else if (sr::IsTimeMarker(record.keys)) {
            expectTimeRecord = 1;
            if (skipFirst) --strokeIndex;
        } else if (!skipFirst) {
            // The notes pulled over the cable go to the capture file, not through the queue:
            // an owner woken while the wait window pumps events must not take them.
            if (mode == kModeNotesCable)
                notesRecords_.append(reinterpret_cast<const char*>(record.keys.data()), 3);
            else
                AddStroke(record.keys[0], record.keys[1], record.keys[2], recordTime.data());
            ++strokeIndex;
        }
        skipFirst = false;
    }
    skipFirst_ = false;
    receiveBuffer.erase(0, used);
}

void CWriterSR::ProcessStrokeData(int n) {
    if (mode == kModeNotesCable)
        CWriter::DecodeBuffer();
    else
        DecodeRecord(n);
}

void CWriterSR::ReadStrokes(int first, int count) {
    if (mode == kModeRealtime || mode == kModeErase) {
        SendReadRequest(first, count);
        return;
    }
    if (mode == kModeNotesCable) {
        CWriter::ReadStrokes(first, count);
        return;
    }
    constexpr std::int64_t kHeaderBytes = 1024;
    constexpr std::int64_t kMostBytesPerRecord = 4;
    if (first == 0) {
        notesPosition_ = kHeaderBytes;
        strokeIndex = 0;
    }
    skipFirst_ = false;
    ReadNotesFile(notesPosition_, std::int64_t(std::max(count, 0)) * kMostBytesPerRecord);
    const std::size_t read = receiveBuffer.size();
    DecodeRecord(count);
    notesPosition_ += std::int64_t(read - receiveBuffer.size());
    receiveBuffer.clear();
}

// ---- start --------------------------------------------------------------------------------

int CWriterSR::Handshake() {
    byteDelay = 0;
    for (int attempt = 0; attempt < kHandshakeAttempts && byteDelay < kByteDelayLimitMs; ++attempt) {
        // No answer can come over a port that did not open or whose device has gone.
        if (!port.IsUsable() || !PauseMs(kBeforeAttemptMs)) return -1;
        port.FlushInput();
        SendStrokeRequest();
        if (!WaitForInput(answerWaitMs)) {
            byteDelay += byteDelayStepMs;
            continue;
        }
        const int count = TakeHandshakeAnswer();
        if (count >= 0) return count;
    }
    return -1;
}

int CWriterSR::TakeHandshakeAnswer() {
    std::string answer;
    for (std::size_t taken = 0; taken < kHandshakeReadLimit;) {
        if (!WaitForInput(kAnswerByteGapMs)) break;
        const std::size_t got = ReadWaiting(answer, kHandshakeReadLimit - taken);
        if (got == 0) break;
        taken += got;
        // Bytes ahead of the answer's start are no part of it.
        FrameStep step = sr::FrameReply(answer);
        for (; step.kind == FrameStep::Skip; step = sr::FrameReply(answer)) answer.erase(0, step.length);
        if (step.kind != FrameStep::Frame) continue;
        const std::string_view reply = std::string_view(answer).substr(0, step.length);
        return reply.size() == sr::kStatusAnswerSize && sr::ChecksumsAgree(reply) ? sr::Get24(reply, 18) : -1;
    }
    return -1;
}

void CWriterSR::Start(unsigned argument) {
    CWriter::Start(argument);
    if (mode == kModeNotesFolder) return;
    if (mode == kModeNotesCable) {
        if (stopRequested == 0) ReadNotes();
        return;
    }
    int count = -1;
    for (;;) {
        count = Handshake();
        if (count != -1) break;
        strokeIndex = 0;
        protocolState = 4;
        if (!AskRetry()) return;  // the reader thread stays at its gate
    }
    // "First" reads from the writer's first stroke; "Last" keeps the count the handshake gave;
    // "Other" is a stroke the writer holds.
    strokeIndex = count;
    if (argument == 0 && AskStartFrom(strokeIndex, count) == 1) strokeIndex = 0;
    BeginSession();
    ResumeReaderThread();
}

void CWriterSR::BeginSession() {
    writerStrokeCount = 0;
    replyLength = 255;
    replyBytes = 0;
    protocolState = 1;
    requestTime = Now();
    receiveBuffer.clear();
    expectTimeRecord = 0;
    unanswered_ = 0;
    // The handshake slowed its bytes only while nothing came back; once the writer answers, it
    // is asked at the normal pace again, and at the pace it answered should that not do.
    handshakeDelay = byteDelay;
    fallbackDelay_ = byteDelay;
    byteDelay = 0;
}

bool CWriterSR::Reestablish() {
    const int count = Handshake();
    if (count < 0) return false;
    // A writer holding fewer strokes than were read was restarted meanwhile: all are new.
    if (count < strokeIndex) strokeIndex = 0;
    BeginSession();
    return true;
}

void CWriterSR::Unanswered() {
    // A line that went is told of by the writer base, which opens it again.
    if (!port.IsUsable() || ++unanswered_ != kUnansweredBeforeNotice) return;
    SetConnectionState(ConnectionState::NotAnswering);
    if (byteDelay == 0 && fallbackDelay_ > 0) byteDelay = fallbackDelay_;
}

void CWriterSR::Answered() {
    // The normal pace works (or the slower one did): no going back to the other.
    fallbackDelay_ = 0;
    if (unanswered_ >= kUnansweredBeforeNotice) SetConnectionState(ConnectionState::Connected);
    unanswered_ = 0;
}

// ---- realtime -----------------------------------------------------------------------------

void CWriterSR::Poll() {
    if (protocolState == 1) {
        const std::int64_t early = lastStatusAt_ + kCycleMs - Now();
        if (early > 0 && !PauseMs(int(early))) return;
        // Bytes with no request outstanding (a late reply, noise) are no reply: dropped.
        port.FlushInput();
        SendStrokeRequest();
    }
    if (protocolState == 2) {
        const std::int64_t left = requestTime + kReplyWindowMs - Now();
        if (left > 0 && WaitForInput(int(std::min<std::int64_t>(left, kIdleWaitMs)))) ReadPacket();
        if (protocolState == 2 && Now() >= requestTime + kReplyWindowMs) {
            protocolState = 1;
            Unanswered();
        }
    }
    if (protocolState == 3) protocolState = 1;
}

// ---- stored notes over the cable ------------------------------------------------------------

bool CWriterSR::AwaitReply() {
    while (protocolState == 2) {
        if (!port.IsUsable()) return false;
        const std::int64_t left = requestTime + kReplyWindowMs - Now();
        if (left <= 0) return true;
        if (WaitForInput(int(std::min<std::int64_t>(left, kIdleWaitMs))))
            ReadPacket();
        else if (stopRequested != 0)
            return false;
    }
    return true;
}

void CWriterSR::ReadNotes() {
    notesFiles.clear();
    notesListing.clear();
    int count = -1;
    for (;;) {
        count = Handshake();
        if (count >= 0) break;
        if (!AskRetry()) return;  // nothing was read: an earlier capture file stays as it was
    }
    strokeIndex = 0;
    std::unique_ptr<platform::WaitDialog> wait = OpenWaitDialog();
    wait->SetRange(0, count, 1);
    const std::string path = CaptureFilePath(kCaptureName);
    CaptureFile capture;
    if (!capture.Create(path)) {
        wait->Close();
        capture.ReportFailure();
        return;
    }

    bool saved = true;
    int emptyBatches = 0;
    // Ends when every stroke the writer counted has come. Time records take places in a batch
    // too, so a batch bringing fewer strokes than asked is no sign of the end.
    while (saved && strokeIndex < count && !wait->IsCancelled()) {
        wait->SetProgress(strokeIndex, {});
        if (!PauseMs(kBeforeNotesRequestMs)) break;
        SendReadRequest(strokeIndex, kNotesBatch);
        notesRecords_.clear();
        const bool lineOk = AwaitReply();
        const bool taken = !notesRecords_.empty();
        saved = capture.Write(notesRecords_);
        notesRecords_.clear();
        if (!lineOk) break;
        emptyBatches = taken ? 0 : emptyBatches + 1;
        if (emptyBatches >= kEmptyBatchesEnding) break;
    }
    saved = capture.Close() && saved;
    wait->Close();
    if (!saved) {
        capture.ReportFailure();
        return;
    }
    notesFiles.push_back(path);
    notesListing.push_back(GetFileNamePart(path));
}
