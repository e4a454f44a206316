#include "writers/CWriterSG.h"

#include <algorithm>

#include "core/AlertBox.h"
#include "platform/Clock.h"
#include "writers/SgProtocol.h"

namespace {

constexpr int kMessageNeedsAStroke = 5044;

constexpr int kWakeAttempts = 10;     // Wake packets per connection attempt
constexpr int kWakeWaitMs = 1000;     // after each Wake packet
constexpr int kConnectAttempts = 10;  // attempts before the user is asked
constexpr int kQuietMs = 100;         // the writer has finished answering a Wake
constexpr int kReplyLimitMs = 5000;   // a reply in Start and in the cable exchanges
constexpr int kCloseLimitMs = 2000;   // the reply to CloseFile, from the request
constexpr int kReplyWindowMs = 500;   // a realtime reply, from the request or its last byte
constexpr int kMissedBeforeAskingAgain = 3;  // reply windows: the read is asked again at every poll
// While reads go unanswered or come back empty, the listing is asked this often at most.
constexpr int kListingEveryMs = 2000;
// Reads unanswered this long while the writer answers its listing: the session is set up again,
// and the next time only after twice as long (a writer slow to read after an open must not
// have its delay restarted for ever).
constexpr int kReadPatienceMs = 10000;
constexpr int kMostReadPatienceMs = 160000;
// A read request and the pauses after it and after its reply: at most ten requests a second.
constexpr int kReadCycleMs = 100;
constexpr int kMaxTimeWords = 1024;   // timeWords holds this many

std::int64_t Now() { return platform::MonotonicMs(); }

// The strokes in a listed file: its size in bytes, all 32 bits of it, 4 bytes a stroke.
int StrokesIn(const sg::FileEntry& file) {
    return static_cast<int>(std::min<std::uint32_t>(file.size / 4, sg::kMaxRecordIndex));
}

}  // namespace

CWriterSG::CWriterSG(platform::WindowHandle ownerWindow) : CWriter(ownerWindow) {}

CWriterSG::~CWriterSG() { CWriterSG::Stop(); }

// ---- the line ---------------------------------------------------------------------------

void CWriterSG::LineWrite(const std::string& bytes) { port.WriteString(bytes); }
bool CWriterSG::LineInputWaiting() { return port.IsDataAvailable(); }
std::string CWriterSG::LineReadWaiting(std::size_t most) {
    std::string bytes;
    ReadWaiting(bytes, most);
    return bytes;
}
WaitResult CWriterSG::LineWait(int ms) { return port.WaitForInput(ms); }
void CWriterSG::LineFlushInput() { port.FlushInput(); }
bool CWriterSG::LineOpen() { return port.IsUsable(); }

CWriterSG::Waited CWriterSG::AwaitInput(int ms) {
    switch (LineWait(ms)) {
        case WaitResult::Ready: return Waited::Input;
        case WaitResult::Timeout: return Waited::Timeout;
        case WaitResult::Woken:
        case WaitResult::Closed: break;
    }
    return Waited::Over;
}

// ---- packets ----------------------------------------------------------------------------

void CWriterSG::SendRequest() {
    sg::SealRequest(receiveBuffer);
    lastAction_ = sg::RequestAction(receiveBuffer);
    answered_ = false;
    LineWrite(receiveBuffer);
    outstanding_ = true;
    sentMs_ = Now();
    receiveBuffer.clear();
    ++sequenceByte;
    replyBytes = 0;
    requestTime = Now();
    replyLength = 255;
    protocolState = 2;
}

void CWriterSG::ReceivePacket() {
    // At most one longest reply per call, so that a writer streaming garbage cannot keep a
    // caller here: every caller looks at its clock or the stop request between calls.
    for (std::size_t taken = 0; protocolState != 3 && taken < sg::kMaxReplySize;) {
        // Never past the end of this reply: what follows it stays on the line.
        const std::string bytes = LineReadWaiting(sg::ReplyBytesWanted(receiveBuffer));
        if (bytes.empty()) return;
        taken += bytes.size();
        receiveBuffer += bytes;
        FrameStep framing = sg::FrameReply(receiveBuffer);
        while (framing.kind == FrameStep::Skip) {
            receiveBuffer.erase(0, framing.length);
            framing = sg::FrameReply(receiveBuffer);
        }
        // Every byte of a reply restarts the reply time-out; noise that starts none does not.
        if (!receiveBuffer.empty()) requestTime = Now();
        replyBytes = static_cast<int>(receiveBuffer.size());
        replyLength = static_cast<int>(sg::ReplyLengthField(receiveBuffer));
        if (framing.kind == FrameStep::Frame) CompleteReply();
    }
}

void CWriterSG::CompleteReply() {
    missedReplies = 0;
    outstanding_ = false;
    const sg::ReplyCheck check =
        sg::CheckReply(receiveBuffer, static_cast<std::uint8_t>(sequenceByte - 1));
    // Only a reply to a read request carries strokes or says there are none left: the empty
    // reply to OpenFile must not end the catch-up. And one request is answered once: a reply
    // the writer repeats would queue its strokes twice.
    if (protocolState != 0 && lastAction_ == sg::ReadRecords && !answered_) {
        answered_ = check.HasRecords() || check.IsEmpty();
        lastReadAnswerMs_ = Now();
        readPatienceMs_ = kReadPatienceMs;
        if (answered_) lastReadEmpty_ = check.IsEmpty();
        if (check.HasRecords()) {
            receiveBuffer = std::string(sg::ReplyData(receiveBuffer));
            HoldStrokeMessages();
            DecodeBuffer();
            ReleaseStrokeMessages();
            receiveBuffer.clear();
            replyBytes = 0;
            replyLength = 255;
        } else if (check.IsEmpty()) {
            catchingUp = 0;
        }
    }
    PauseMs(50);
    protocolState = 3;
}

template <class End>
bool CWriterSG::AwaitReplyBy(End end) {
    for (;;) {
        ReceivePacket();
        if (protocolState == 3) return true;
        const std::int64_t left = end() - Now();
        if (left <= 0 || AwaitInput(static_cast<int>(left)) == Waited::Over) return false;
    }
}

bool CWriterSG::AwaitReply(int limitMs) { return AwaitReplyUntil(Now() + limitMs); }

bool CWriterSG::AwaitReplyUntil(std::int64_t end) {
    return AwaitReplyBy([end] { return end; });
}

bool CWriterSG::AwaitReplyWindow() {
    // Every byte of the reply moves requestTime.
    return AwaitReplyBy([this] { return requestTime + kReplyWindowMs; });
}

void CWriterSG::DrainUntilQuiet(int limitMs) {
    const std::int64_t end = Now() + limitMs;
    for (;;) {
        LineFlushInput();
        const std::int64_t left = end - Now();
        if (left <= 0) return;
        if (AwaitInput(static_cast<int>(std::min<std::int64_t>(kQuietMs, left))) != Waited::Input)
            return;
    }
}

// ---- start ------------------------------------------------------------------------------

void CWriterSG::Start(unsigned argument) {
    CWriter::Start(argument);
    if (mode == kModeNotesFolder) return;
    PrepareLine();
    if (mode == kModeNotesCable) {
        StartCable();
        return;
    }
    StartRealtime(argument);
}

void CWriterSG::PrepareLine() {
    port.SetRTS();
    sequenceByte = 1;
    LineWrite(std::string(sg::kRequestHeaderSize, '\0'));
    PauseMs(1000);
}

void CWriterSG::PortReopened() { PrepareLine(); }

void CWriterSG::ConnectAttempt(bool realtime) {
    bool answered = false;
    for (int wakes = 0; wakes < kWakeAttempts && !answered; ++wakes) {
        LineWrite(sg::WakePacket());
        const Waited waited = AwaitInput(kWakeWaitMs);
        if (waited == Waited::Over) break;  // no port, or it went: no answer can come
        answered = waited == Waited::Input;
    }
    if (!answered) {
        protocolState = 4;
        return;
    }
    // The whole answer to the Wake goes, not only its first bytes, or its tail would be taken
    // for the start of the listing.
    DrainUntilQuiet(kWakeWaitMs);
    receiveBuffer = sg::ListFilesRequest(realtime);
    SendRequest();
    protocolState = 0;
    if (!AwaitReply(kReplyLimitMs)) protocolState = 4;
}

bool CWriterSG::ListingIsSound() const {
    // The listing's sequence byte is the template's fixed one, so only its checksums count.
    const sg::ReplyCheck check = sg::CheckReply(receiveBuffer, 0);
    return check.startOk && check.checksumsOk && sg::FirstListingEntry(receiveBuffer).has_value();
}

void CWriterSG::StartRealtime(unsigned argument) {
    int attempts = 0;
    for (;;) {
        bool sound = false;
        do {
            ConnectAttempt(true);
            sound = protocolState == 3 && ListingIsSound();
            // A listing without a whole first entry: the writer has no realtime file yet.
            if (!sound && protocolState != 4) AlertBox(kMessageNeedsAStroke, 0);
            ++attempts;
        } while (attempts < kConnectAttempts && !sound && protocolState != 4);
        if (sound) break;
        protocolState = 4;
        if (!AskRetry()) return;  // Cancel: the reader thread stays at its gate
    }

    connected_ = true;
    reestablishing_ = false;
    const sg::FileEntry realtimeFile = *sg::FirstListingEntry(receiveBuffer);
    const int fileStrokes = StrokesIn(realtimeFile);
    strokeIndex = 0;
    // "Last" reads on from the file's end, every other answer from strokeIndex (a stroke the
    // file holds: one past its end would later look like a file started again).
    const bool fromSize = argument != 0 || AskStartFrom(strokeIndex, fileStrokes) == 0;
    if (fromSize) strokeIndex = fileStrokes;

    receiveBuffer = sg::OpenFileRequest(realtimeFile.name);
    SendRequest();
    PauseMs(10);  // the reader thread takes up the reply
    replyLength = 255;
    protocolState = 1;
    requestTime = Now();
    FileOpened(realtimeFile.name);
    // Set before the reader thread runs, so that no stroke read from the old part of the
    // file can be queued.
    if (fromSize) catchingUp = 1;
    ResumeReaderThread();
    if (!fromSize) return;

    // Bounded: this is the user-interface thread, and a writer that falls silent now must
    // not freeze it. The reader thread goes on counting until the writer says "no more".
    const std::int64_t end = Now() + kCatchUpWaitMs;
    while (catchingUp != 0 && Now() < end) {
        if (!PauseMs(10)) break;
    }
    // The catch-up ends here whatever the writer did: a stroke read from now on was written
    // after Start returned, and the user expects to see it.
    catchingUp = 0;
}

void CWriterSG::StartCable() {
    if (stopRequested != 0) return;  // the port did not open
    notesListing.clear();
    for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
        ConnectAttempt(false);
        if (protocolState == 4 || receiveBuffer.size() >= sg::kMinListingSize) break;
    }
    if (protocolState != 3 || !sg::CheckReply(receiveBuffer, 0).checksumsOk) return;
    connected_ = true;
    for (std::string& entry : sg::CableFileList(receiveBuffer)) notesListing.push_back(entry);
}

// ---- reading ----------------------------------------------------------------------------

void CWriterSG::Poll() {
    if (!LineOpen()) {
        // The writer has gone: nothing more comes, and the loop must not spin.
        PauseMs(kReplyWindowMs);
        return;
    }
    if (reestablishing_) {
        // Each try waits by itself (the pause after the zero header, the Wake packets), so a
        // writer that stays silent is not asked in a busy loop.
        if (Reestablish()) SetConnectionState(ConnectionState::Connected);
        return;
    }
    if (protocolState == 1) {
        if (outstanding_ && LineInputWaiting()) {
            receiveBuffer.clear();  // what is waiting is read as the reply
            replyBytes = 0;
            replyLength = 255;
            protocolState = 2;
        } else {
            // Nothing is asked: a byte now is no reply, and must not hold up the next request.
            if (!outstanding_) LineFlushInput();
            if (ListingDue()) {
                CheckListing();
                return;
            }
            const std::int64_t wait = lastReadSentMs_ + kReadCycleMs - Now();
            if (wait > 0 && !PauseMs(int(wait))) return;
            ReadStrokes(strokeIndex, sg::kReadBatch);
        }
    }
    if (protocolState == 2) {
        // A reply is handled the moment its last byte is in. At most one longest reply is
        // read per pass, so a line that streams noise still reaches the time-out below.
        if (!replyWaiting_) AwaitInput(100);
        replyWaiting_ = false;
        ReceivePacket();
        const std::int64_t now = Now();
        if (protocolState != 3 && now > requestTime + kReplyWindowMs) {
            ++missedReplies;
            requestTime = now;
            // Replies lost: from now on the read is asked again at every poll.
            if (missedReplies >= kMissedBeforeAskingAgain) protocolState = 1;
        }
    }
    if (protocolState == 3) protocolState = 1;
}

void CWriterSG::FileOpened(const std::string& name) {
    openName_ = name;
    lastReadEmpty_ = false;
    lastListingMs_ = lastReadAnswerMs_ = Now();
    if (readPatienceMs_ == 0) readPatienceMs_ = kReadPatienceMs;
}

bool CWriterSG::OpenRealtimeFile(const sg::FileEntry& file) {
    receiveBuffer = sg::OpenFileRequest(file.name);
    SendRequest();
    protocolState = 0;
    const bool opened = AwaitReplyWindow();
    receiveBuffer.clear();
    replyLength = 255;
    protocolState = 1;
    if (opened) FileOpened(file.name);
    return opened;
}

bool CWriterSG::IsNewFile(const sg::FileEntry& file) const {
    return file.name != openName_ || StrokesIn(file) < strokeIndex;
}

bool CWriterSG::ListingDue() const {
    if (Now() - lastListingMs_ < kListingEveryMs) return false;
    return missedReplies >= kMissedBeforeAskingAgain || lastReadEmpty_;
}

void CWriterSG::CheckListing() {
    const int missed = missedReplies;
    const bool readsUnanswered = missed >= kMissedBeforeAskingAgain;
    // A late reply to a read must not be taken for the listing.
    if (readsUnanswered)
        DrainUntilQuiet(kReplyWindowMs);
    else
        LineFlushInput();
    receiveBuffer = sg::ListFilesRequest(true);
    const std::uint8_t listingSequence = std::uint8_t(receiveBuffer[1]);
    SendRequest();
    protocolState = 0;
    std::optional<sg::FileEntry> file;
    if (AwaitReplyWindow() && ListingIsSound() && sg::CheckReply(receiveBuffer, listingSequence).sequenceOk)
        file = sg::FirstListingEntry(receiveBuffer);
    lastListingMs_ = Now();
    receiveBuffer.clear();
    replyLength = 255;
    protocolState = 1;
    // The listing is no answer to the reads: they go on being asked again at every poll.
    missedReplies = missed;
    if (stopRequested != 0) return;
    if (!file) {
        // A writer that answers its reads but not this is left alone; one that answers
        // neither has stopped answering.
        if (readsUnanswered) StoppedAnswering();
        return;
    }
    if (IsNewFile(*file)) {
        // A new file: read from its start. Its strokes were written after those delivered.
        if (file->name != openName_ && !OpenRealtimeFile(*file)) {
            StoppedAnswering();
            return;
        }
        strokeIndex = 0;
        lastReadEmpty_ = false;
    }
    if (readsUnanswered && Now() - lastReadAnswerMs_ > readPatienceMs_) {
        // It lists its files but has not read for a long while: it may have lost its open
        // file. Set up again, and be more patient the next time.
        readPatienceMs_ = std::min(2 * readPatienceMs_, kMostReadPatienceMs);
        StoppedAnswering();
    }
}

void CWriterSG::StoppedAnswering() {
    connected_ = false;
    reestablishing_ = true;
    SetConnectionState(ConnectionState::NotAnswering);
}

bool CWriterSG::Reestablish() {
    connected_ = false;
    // Every stroke on the writer past the read position is delivered.
    catchingUp = 0;
    receiveBuffer.clear();
    PrepareLine();
    ConnectAttempt(true);
    std::optional<sg::FileEntry> file;
    if (stopRequested == 0 && protocolState == 3 && ListingIsSound()) file = sg::FirstListingEntry(receiveBuffer);
    receiveBuffer.clear();
    replyLength = 255;
    protocolState = 1;
    if (!file) return false;
    const bool newFile = IsNewFile(*file);
    if (!OpenRealtimeFile(*file)) return false;
    if (newFile) strokeIndex = 0;
    missedReplies = 0;
    outstanding_ = false;
    connected_ = true;
    reestablishing_ = false;
    return true;
}

void CWriterSG::ReadStrokes(int first, int count) {
    if (mode == kModeNotesFolder) {
        count = std::clamp(count, 0, kMaxTimeWords);
        ReadNotesFile(std::int64_t(first) * 4, std::int64_t(count) * 4);
        if (timeFile && first >= 0) {
            timeWords.fill(0);  // a time file shorter than the notes gives no times, not stale ones
            timeFile->clear();
            timeFile->seekg(std::int64_t(first) * 2, std::ios::beg);
            timeFile->read(reinterpret_cast<char*>(timeWords.data()), std::streamsize(count) * 2);
        }
        DecodeBuffer();
        return;
    }
    receiveBuffer = sg::ReadRecordsRequest(sequenceByte, first, count);
    SendRequest();
    lastReadSentMs_ = sentMs_;
    // The reply's first bytes are taken at once, not after a second look at the line.
    replyWaiting_ = AwaitInput(50) == Waited::Input;
    if (mode == kModeNotesCable) AwaitReply(kReplyLimitMs);
}

void CWriterSG::DecodeBuffer() {
    std::size_t used = 0;
    int word = 0;
    while (receiveBuffer.size() - used >= 4) {
        const auto* r = reinterpret_cast<const std::uint8_t*>(receiveBuffer.data() + used);
        const auto keys = SgStrokeKeys(r[0], r[1], r[2], r[3]);
        WriterTime time{};
        const bool timed = timeFile != nullptr;
        if (timed) {
            const std::uint16_t value =
                word < kMaxTimeWords ? std::uint16_t(timeWords[2 * word] | timeWords[2 * word + 1] << 8)
                                     : 0;
            ++word;
            time = TimeSinceFirstStroke(sg::TimeWordToTimeCode(value));
        }
        if (catchingUp == 0) AddStroke(keys[0], keys[1], keys[2], timed ? time.data() : nullptr);
        ++strokeIndex;
        used += 4;
    }
    receiveBuffer.erase(0, used);
}

// ---- stored notes -----------------------------------------------------------------------

bool CWriterSG::OpenNotesFile(int index) {
    if (mode == kModeNotesFolder) {
        timeFile.reset();
        if (!CWriter::OpenNotesFile(index)) return false;
        const std::string& path = notesFiles[static_cast<std::size_t>(index)];
        // FILE.003 keeps its times in TEXT/FILE003.HMS beside it.
        const std::string timePath = GetFolderPart(path) + "TEXT/" + GetFileTitlePart(path) +
                                     GetExtensionPart(path) + ".HMS";
        if (FileExists(timePath)) {
            auto file = std::make_unique<std::ifstream>(timePath, std::ios::in | std::ios::binary);
            if (file->is_open()) timeFile = std::move(file);
        }
        return true;
    }
    if (mode != kModeNotesCable) return false;
    if (index < 0 || static_cast<std::size_t>(index) >= notesListing.size()) return false;
    receiveBuffer = sg::OpenFileRequest(sg::CableFileName(notesListing[std::size_t(index)]));
    SendRequest();
    bool opened = AwaitReply(kReplyLimitMs);
    if (opened) {
        // The reply echoes the template's sequence byte: its header is what can be checked.
        const sg::ReplyCheck check = sg::CheckReply(receiveBuffer, 0);
        opened = check.startOk && check.headerOk;
    }
    protocolState = 1;
    replyLength = 255;
    requestTime = Now();
    receiveBuffer.clear();
    return opened;
}

void CWriterSG::CloseNotesFile() {
    if (mode == kModeNotesFolder) {
        CWriter::CloseNotesFile();
        timeFile.reset();
        return;
    }
    CloseWriterFile();
}

bool CWriterSG::WriterAnswers() const {
    if (!connected_ || missedReplies > 0) return false;
    return !outstanding_ || Now() - sentMs_ < kReplyWindowMs;
}

void CWriterSG::CloseWriterFile() {
    // A writer that never connected, or left its last request unanswered, is not waited for.
    const bool await = WriterAnswers();
    receiveBuffer = sg::CloseFileRequest();
    SendRequest();
    protocolState = 0;
    if (!await) return;
    // One limit from the request: bytes that keep coming (noise, another device on the line)
    // must not keep the user-interface thread here.
    AwaitReplyUntil(sentMs_ + kCloseLimitMs);
}

// ---- stop -------------------------------------------------------------------------------

void CWriterSG::Stop() {
    StopReaderThread();
    // A writer that has gone gets no goodbye: Stop returns at once.
    if (mode != kModeNotesFolder && LineOpen()) {
        if (mode != kModeNotesCable) CloseNotesFile();
        receiveBuffer = mode == kModeRealtime ? sg::EndRealtimeRequest() : sg::DisconnectRequest();
        SendRequest();  // no reply is awaited
        protocolState = 0;
    }
    connected_ = false;
    CWriter::Stop();
}
