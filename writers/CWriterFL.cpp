#include "writers/CWriterFL.h"

#include "platform/WaitDialog.h"
#include "writers/CaptureFile.h"
#include "writers/FlProtocol.h"
#include "writers/TransferSupport.h"

namespace {

constexpr int kIdleWaitMs = 100;
constexpr int kCommandGapMs = 200;
constexpr int kHandshakeTestMs = 100;
constexpr int kHandshakeTests = 200;  // about 20 s
constexpr int kBeforeNotesMs = 2000;
constexpr int kFirstByteTestMs = 50;
constexpr int kFirstByteTests = 400;  // about 20 s, as long as the handshake may take
constexpr int kQuietEndMs = 1000;
constexpr int kProgressRange = 10000;
constexpr int kProgressInterval = 100;
constexpr std::size_t kBlockBytes = 3000;
const char* const kCaptureBase = "Flash";
const char* const kCapturePattern = "Flash.*";

// Positions of the handshake on its 0..5 bar.
enum HandshakeStep { kOpened = 0, kAsked = 1, kAnswered = 2, kSending = 3, kWaitingForNotes = 4 };

}  // namespace

CWriterFL::CWriterFL(platform::WindowHandle owner)
    : FramedSerialWriter(owner, fl::FrameGroup, fl::GroupStroke, kIdleWaitMs,
                         fl::kPacketTimeoutMs) {}

CWriterFL::~CWriterFL() { StopReaderThread(); }

void CWriterFL::Start(unsigned argument) {
    CWriter::Start(argument);
    if (mode == kModeNotesFolder) return;
    if (mode == kModeNotesCable) {
        if (stopRequested == 0) ReadNotes();
        return;
    }
    RealtimeExchange();
    ResumeReaderThread();  // a port that did not open ends the thread at once
}

bool CWriterFL::RealtimeExchange() {
    port.SetFlowControl(0);
    ResetFrames();
    return true;
}

// ---- stored notes over the cable ----------------------------------------------------------

void CWriterFL::ReadNotes() {
    port.SetFlowControl(0);
    notesFiles.clear();
    notesListing.clear();

    std::unique_ptr<platform::WaitDialog> wait;
    CaptureFile capture;
    for (;;) {
        wait = OpenWaitDialog();
        wait->SetRange(0, 5, 1);
        wait->SetProgress(kOpened, {});
        Outcome outcome = Handshake(*wait);
        if (outcome == Outcome::Answered) {
            if (!capture.Create(CaptureFilePath(CaptureFileName(kCaptureBase, 0)))) {
                wait->Close();
                capture.ReportFailure();
                return;
            }
            outcome = RequestNotes(*wait);
            if (outcome == Outcome::Answered) break;
        }
        // Nothing was received: the files of an earlier transfer stay as they were.
        wait->Close();
        if (outcome == Outcome::Cancelled || !AskRetry()) return;
    }

    bool failed = false;
    const int last = ReceiveNotes(*wait, capture, failed);
    // A file that failed is not written, so an earlier file of its number is stale too.
    DeleteCaptureFilesFrom(GetTempDir(), kCaptureBase, failed ? last : last + 1);
    ListCaptureFiles(kCapturePattern, CaptureDate::LastWritten);
    wait->Close();
}

CWriterFL::Outcome CWriterFL::Handshake(platform::WaitDialog& wait) {
    PauseMs(kCommandGapMs);
    port.WriteString(std::string(fl::kAttention));
    PauseMs(kCommandGapMs);
    port.WriteString(std::string(fl::kConnect));
    PauseMs(kCommandGapMs);
    wait.SetProgress(kAsked, {});

    int got = 0;
    for (int emptyTests = 0; got < fl::kHandshakeAnswerBytes && emptyTests < kHandshakeTests;) {
        if (wait.IsCancelled()) return Outcome::Cancelled;
        if (!port.IsUsable()) break;
        std::uint8_t b = 0;
        if (ReadByteWithin(b, kHandshakeTestMs)) {
            ++got;
        } else {
            ++emptyTests;
            wait.SetProgress(kAsked, {});  // keeps the window answering while the writer is silent
        }
    }
    wait.SetProgress(kAnswered, {});
    return got >= fl::kHandshakeAnswerBytes ? Outcome::Answered : Outcome::NoAnswer;
}

CWriterFL::Outcome CWriterFL::RequestNotes(platform::WaitDialog& wait) {
    PauseMs(kBeforeNotesMs);
    port.FlushInput();
    wait.SetProgress(kSending, {});
    port.WriteString(std::string(fl::kAttention));
    PauseMs(kCommandGapMs);
    port.WriteString(std::string(fl::kSendNotes));
    PauseMs(kCommandGapMs);

    for (int test = 0; test < kFirstByteTests; ++test) {
        if (wait.IsCancelled()) return Outcome::Cancelled;
        if (!port.IsUsable()) break;
        if (WaitForInput(kFirstByteTestMs)) return Outcome::Answered;
        wait.SetProgress(kWaitingForNotes, {});
    }
    return Outcome::NoAnswer;
}

int CWriterFL::ReceiveNotes(platform::WaitDialog& wait, CaptureFile& capture, bool& failed) {
    wait.SetRange(0, kProgressRange, kProgressInterval);
    fl::NotesCollector notes;
    int number = 0;
    std::size_t count = 0;
    failed = false;
    while (!failed && !wait.IsCancelled() && WaitForInput(kQuietEndMs)) {
        for (const char c : TakeWaitingBytes()) {
            ++count;
            wait.SetProgress(int(count % kProgressRange), {});
            const auto action = notes.Take(std::uint8_t(c));
            if (notes.Records().size() >= kBlockBytes || action == fl::NotesCollector::Action::SplitFile) {
                failed = !capture.Write(notes.Records());
                notes.Records().clear();
            }
            // The numbers stop at the last one: further jobs go on into that file.
            if (!failed && action == fl::NotesCollector::Action::SplitFile && number < kLastCaptureNumber) {
                failed = !capture.Close() ||
                         !capture.Create(CaptureFilePath(CaptureFileName(kCaptureBase, ++number)));
            }
            if (failed || wait.IsCancelled()) break;
        }
    }
    notes.Finish();
    if (!failed) failed = !capture.Write(notes.Records());
    failed = !capture.Close() || failed;
    if (failed) capture.ReportFailure();
    return number;
}
