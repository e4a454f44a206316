#include "writers/CWriterPT.h"

#include <algorithm>

#include "core/AppSettings.h"
#include "platform/Clock.h"
#include "writers/PtProtocol.h"

namespace {
// "Sleep 10 ms, then look for a byte" and "after the idle poll, sleep 200 ms", as waits that
// end when a byte comes. The idle poll keeps their pace, one in 210 ms at most, however soon
// the writer answers it.
constexpr int kByteWaitMs = 10;
constexpr int kIdleWaitMs = 200;
constexpr int kPollCycleMs = kByteWaitMs + kIdleWaitMs;
constexpr std::size_t kMaxReadBytes = 4096;
}  // namespace

CWriterPT::CWriterPT(platform::WindowHandle owner)
    : CWriter(owner), packets_(pt::FramePacket, kIdleWaitMs, pt::kPacketTimeoutMs, FramedReader::FrameTime::FromFirstByte,
               pt::kPacketResumeMs), polls_(kPollCycleMs) {}

CWriterPT::~CWriterPT() { StopReaderThread(); }

void CWriterPT::Start(unsigned argument) {
    CWriter::Start(argument);
    if (mode == kModeNotesFolder || mode == kModeNotesCable) return;
    WakeUp();
    ResumeReaderThread();  // a port that did not open ends the thread at once
}

void CWriterPT::WakeUp() {
    packets_.Reset();
    WritePaced(std::string_view(reinterpret_cast<const char*>(pt::kWakeUp), sizeof pt::kWakeUp),
               pt::kWakeUpGapMs);
    DrainWakeUpAnswer();
}

bool CWriterPT::Reestablish() {
    WakeUp();
    return true;
}

void CWriterPT::DrainWakeUpAnswer() {
    if (!WaitForInput(0)) return;
    const std::int64_t deadline = platform::MonotonicMs() + kDrainLimitMs;
    std::size_t drained = 0;
    std::string dropped;
    for (;;) {
        dropped.clear();
        drained += ReadWaiting(dropped, kMaxReadBytes);
        const std::int64_t left = deadline - platform::MonotonicMs();
        if (drained >= kDrainLimitBytes || left <= 0) break;
        if (!WaitForInput(int(std::min<std::int64_t>(left, kDrainQuietMs)))) break;
    }
}

void CWriterPT::QueueStroke(const Stroke& s) { AddStroke(s[0], s[1], s[2], nullptr, s[3], 0, 0); }

void CWriterPT::Poll() {
    if (WaitForInput(kByteWaitMs)) {
        std::string bytes;
        ReadWaiting(bytes, kMaxReadBytes);
        packets_.Add(bytes, platform::MonotonicMs(),
                     [this](std::string_view packet) { QueueStroke(pt::PacketStroke(packet)); });
        return;
    }
    const std::int64_t now = platform::MonotonicMs();
    packets_.NoInput(now);
    if (stopRequested != 0) return;
    if (polls_.Due(now)) {
        port.WriteString(std::string(1, char(pt::kIdlePoll)));
        polls_.Sent(now);
    }
    // The rest of the poll's cycle, less the byte wait that begins the next Poll: whatever
    // comes meanwhile is taken at once.
    const int cycleLeft = std::max(polls_.WaitMs(platform::MonotonicMs()) - kByteWaitMs, 0);
    if (!WaitForInput(std::min(cycleLeft, packets_.WaitMs(platform::MonotonicMs()))))
        packets_.NoInput(platform::MonotonicMs());
}

// ---- stored notes ---------------------------------------------------------------------------

void CWriterPT::ReadStrokes(int first, int count) {
    auxBuffer.clear();
    if (!notesFile.is_open() || count <= 0) return;
    notesFile.clear();
    if (first == 0) notesFile.seekg(0);
    std::streamsize window = std::streamsize(count) * pt::kNotesBytesPerStroke;
    for (;;) {
        notesFile.clear();
        const std::streamoff start = notesFile.tellg();
        if (start < 0) return;
        auxBuffer.assign(std::size_t(window), '\0');
        notesFile.read(auxBuffer.data(), window);
        const std::streamsize got = notesFile.gcount();
        auxBuffer.resize(std::size_t(got));
        const bool fileEnded = got < window;
        DecodeBuffer();
        notesFile.clear();
        // A record longer than the window leaves the file where it was: read it with a wider
        // window, so that every call gets on (the end of the file ends it anyway).
        if (fileEnded || notesFile.tellg() != start) return;
        window *= 2;
    }
}

bool CWriterPT::NotesFileBeforeEnd() {
    if (!notesFile.is_open()) return false;
    notesFile.clear();
    const std::streamoff position = notesFile.tellg();
    notesFile.seekg(0, std::ios::end);
    const std::streamoff end = notesFile.tellg();
    notesFile.seekg(position);
    return position >= 0 && position < end;
}

void CWriterPT::DecodeBuffer() {
    const std::uint8_t layout = std::uint8_t(GetSettings().keyboardLayout.load());
    std::size_t used = 0;
    while (used < auxBuffer.size()) {
        const pt::NotesStep step = pt::ScanNotes(std::string_view(auxBuffer).substr(used));
        if (step.kind == pt::NotesStep::Incomplete) {
            // Read again whole, from its lead byte, next time; at the end of the file it is lost.
            if (NotesFileBeforeEnd()) notesFile.seekg(-std::streamoff(step.length), std::ios::cur);
            break;
        }
        used += step.length;
        if (step.kind != pt::NotesStep::Record) continue;
        for (const Stroke& s : pt::RecordStrokes(step, layout)) {
            QueueStroke(s);
            ++strokeIndex;
        }
    }
    auxBuffer.clear();
}
