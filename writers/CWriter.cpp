#include "writers/CWriter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <system_error>

#include "core/AlertBox.h"
#include "core/ByteOrder.h"
#include "core/AppSettings.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "writers/TransferSupport.h"

namespace {

constexpr int kMaxStrokesPerRequest = 50;
constexpr int kIdleWaitMs = 100;
constexpr int kLookForDeviceMs = 100;  // how often a writer that went is looked for
constexpr int kMessageStartFrom = 5018;
constexpr int kPromptStartStroke = 6028;

std::string DateText(const platform::LocalDateTime& t) {
    return IntToString(t.month) + "/" + IntToString(t.day) + "/" + IntToString(t.year);
}

}  // namespace

WriterTime MakeWriterTime(const TimeCode& code, std::int32_t elapsedMs) {
    auto ms = static_cast<std::uint32_t>(elapsedMs);
    return {code[0],
            code[1],
            code[2],
            code[3],
            std::uint8_t(ms),
            std::uint8_t(ms >> 8),
            std::uint8_t(ms >> 16),
            std::uint8_t(ms >> 24)};
}

std::string ConnectionStatus::Text() const {
    const std::string who = device.empty() ? std::string("The writer") : device;
    switch (state) {
        case ConnectionState::Closed:
        case ConnectionState::Receiving: return {};
        case ConnectionState::Connecting: return who + ": connecting to the writer...";
        case ConnectionState::Connected:
            return who + (again ? ": open again, waiting for strokes" : ": open, waiting for strokes");
        case ConnectionState::NotAnswering: return who + ": the writer does not answer";
        case ConnectionState::Gone:
            return who + ": the writer has gone" + (reason.empty() ? "" : " (" + reason + ")") +
                   "; looking for it again...";
        case ConnectionState::Unavailable:
            return who + ": " + (reason.empty() ? std::string("cannot be opened") : reason);
    }
    return {};
}

CWriter::CWriter(platform::WindowHandle ownerWindow) : owner(ownerWindow) {
    notesFolder = std::string(1, static_cast<char>(GetSettings().notesDriveLetter)) + ":";
}

CWriter::~CWriter() {
    if (readerThread.joinable() && resumed_ && threadStopped == 0)
        std::fprintf(stderr,
                     "Dictionary Quillfast: a writer's reader thread outlived its driver "
                     "(make drivers with NewWriter)\n");
    CWriter::Stop();
}

// ---- start and stop ---------------------------------------------------------------------

std::string CWriter::BuildPortSpec(int port, int baudRate, int parity, int dataBits,
                                   int stopBits) {
    static const char* const kParity[] = {"n", "e", "o", "m"};
    std::string letter = parity >= 0 && parity <= 3 ? kParity[parity] : "";
    return "COM" + IntToString(port & 0xFF) + ":" + IntToString(baudRate) + "," + letter + "," +
           IntToString(dataBits) + "," + IntToString(stopBits);
}

void CWriter::Start(unsigned /*argument*/) {
    if (mode == kModeNotesFolder) {
        ListNotesFolder();
        return;
    }
    StopReaderThread();  // a second Start must not leave the first thread running

    const AppSettings& settings = GetSettings();
    int opened = 1;
    watchPort_ = false;
    reestablishDue_ = false;
    if (settings.usbFlag == 0) {
        std::string spec = BuildPortSpec(settings.port, settings.baudRate, settings.parity,
                                         settings.dataBits, settings.stopBits);
        opened = port.Open(spec.c_str()) ? 1 : 0;
        SetConnectionState(opened ? ConnectionState::Connecting : ConnectionState::Unavailable);
        // A port that never opened is not looked for: the Retry of a driver's exchange opens
        // it again, and a writer without one delivers nothing, as it always did.
        watchPort_ = opened != 0 && mode == kModeRealtime;
    }
    // A port that did not open ends the thread as soon as it is resumed.
    CreateReaderThread(opened != 0);
}

void CWriter::CreateReaderThread(bool ready) {
    StopReaderThread();
    // A Start cancelled meanwhile keeps its thread from ever delivering.
    if (startCancelled_) ready = false;
    stopRequested = ready ? 0 : 1;
    threadStopped = ready ? 0 : 1;
    {
        std::lock_guard<std::mutex> guard(queueLock);
        resumed_ = false;
    }
    try {
        readerThread = std::thread(ReaderThreadProc, this);
    } catch (const std::system_error& e) {
        std::fprintf(stderr, "Dictionary Quillfast: cannot start the writer's reader thread: %s\n",
                     e.what());
    }
}

unsigned CWriter::ReaderThreadProc(CWriter* writer) {
    {
        std::unique_lock<std::mutex> lock(writer->queueLock);
        writer->resumeOrStop_.wait(lock, [writer] { return writer->resumed_; });
    }
    try {
        while (writer->stopRequested == 0) {
            if (writer->ReconnectDue())
                writer->Reconnect();
            else
                writer->Poll();
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Dictionary Quillfast: the writer stopped reading: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "Dictionary Quillfast: the writer stopped reading\n");
    }
    writer->threadStopped = 1;
    return 0;
}

void CWriter::ResumeReaderThread() {
    bool connected = false;
    {
        std::lock_guard<std::mutex> guard(queueLock);
        resumed_ = true;
        if (status_.state == ConnectionState::Connecting) {
            status_.state = ConnectionState::Connected;
            connected = true;
        }
    }
    resumeOrStop_.notify_all();
    if (connected) platform::PostMessage(owner.load(), platform::kConnectionMessage);
}

void CWriter::StopReaderThread() {
    if (!readerThread.joinable()) return;
    {
        std::lock_guard<std::mutex> guard(queueLock);
        stopRequested = 1;
        resumed_ = true;  // a thread still at its gate goes through and ends without a Poll
    }
    resumeOrStop_.notify_all();
    port.Wake();
    WakeReader();
    if (readerThread.get_id() == std::this_thread::get_id()) return;
    readerThread.join();
    port.ClearWake();  // the port may still serve the closing exchange of a driver's Stop
}

void CWriter::Stop() {
    StopReaderThread();
    if (mode == kModeNotesFolder) return;
    port.Close();
    watchPort_ = false;
    reestablishDue_ = false;
    {
        std::lock_guard<std::mutex> guard(queueLock);
        status_ = ConnectionStatus{};
        receiving_ = false;
        std::deque<TrackStroke>().swap(strokeQueue);
    }
    std::string().swap(auxBuffer);
    protocolState = 0;
    strokeIndex = 0;
}

void CWriter::Poll() { WaitForInput(kIdleWaitMs); }

// ---- the connection ---------------------------------------------------------------------

ConnectionStatus CWriter::GetConnectionStatus() {
    std::lock_guard<std::mutex> guard(queueLock);
    return status_;
}

void CWriter::SetConnectionStatus(ConnectionStatus status) {
    {
        std::lock_guard<std::mutex> guard(queueLock);
        if (status_ == status) return;
        status_ = std::move(status);
        receiving_ = status_.state == ConnectionState::Receiving;
    }
    platform::PostMessage(owner.load(), platform::kConnectionMessage);
}

void CWriter::SetConnectionStatus(ConnectionState state, std::string device, std::string reason, bool again) {
    SetConnectionStatus(ConnectionStatus{state, std::move(device), std::move(reason), again});
}

void CWriter::SetConnectionState(ConnectionState state, bool again) {
    const bool failed = state == ConnectionState::Gone || state == ConnectionState::Unavailable;
    SetConnectionStatus(state, port.DeviceText(), failed ? port.OpenFailureReason() : std::string(), again);
}

void CWriter::CancelStart() {
    {
        std::lock_guard<std::mutex> guard(queueLock);
        startCancelled_ = true;
        stopRequested = 1;
    }
    resumeOrStop_.notify_all();
    port.Wake();
    WakeReader();
}

void CWriter::FinishStart() {
    if (!startCancelled_) return;
    StopReaderThread();
    ConnectionStatus status = GetConnectionStatus();
    if (status.state == ConnectionState::Connecting || status.state == ConnectionState::Connected) {
        status.state = ConnectionState::NotAnswering;
        SetConnectionStatus(std::move(status));
    }
}

bool CWriter::ReconnectDue() const { return watchPort_ && (reestablishDue_ || !port.IsUsable()); }

void CWriter::Reconnect() {
    // About once a second; at once when a new device shows behind the port's name, which is
    // looked for in short steps (a look is one stat, not an open).
    const auto paceNextTry = [this](bool lookForDevice) {
        for (;;) {
            const std::int64_t left = lastReconnectMs_ + reconnectPauseMs - platform::MonotonicMs();
            if (left <= 0 || (lookForDevice && port.NewDeviceBehindName())) break;
            if (!PauseMs(int(lookForDevice ? std::min<std::int64_t>(left, kLookForDeviceMs) : left))) return false;
        }
        lastReconnectMs_ = platform::MonotonicMs();
        return true;
    };
    if (!port.IsUsable()) {
        if (!reestablishDue_) {
            // Just noticed: whatever the driver was in the middle of is over.
            reestablishDue_ = true;
            lastReconnectMs_ = platform::MonotonicMs();
            SetConnectionState(ConnectionState::Gone);
        }
        if (!paceNextTry(true)) return;
        port.Close();
        port.OpenPort();  // COMn is resolved anew: a re-enumerated adapter is found
        // Opening clears the port's wake-up: a Stop that came meanwhile must still end waits.
        if (stopRequested != 0) {
            port.Wake();
            return;
        }
        if (!port.IsUsable()) {
            SetConnectionState(ConnectionState::Gone);
            return;
        }
        SetConnectionState(ConnectionState::Connecting);
    } else if (!paceNextTry(false)) {
        return;
    }
    if (!Reestablish()) {
        if (stopRequested == 0 && port.IsUsable()) SetConnectionState(ConnectionState::NotAnswering);
        return;
    }
    reestablishDue_ = false;
    SetConnectionState(ConnectionState::Connected, true);
}

// ---- the stroke queue -------------------------------------------------------------------

void CWriter::AddStroke(std::uint8_t k0, std::uint8_t k1, std::uint8_t k2,
                        const std::uint8_t* time8, std::uint8_t k3, std::uint8_t k4,
                        std::uint8_t k5) {
    TrackStroke stroke;
    stroke.layout = static_cast<std::uint8_t>(keyboardLayout & 0xFF);
    stroke.keys = {k0, k1, k2, k3, k4, k5};
    if (time8 && mode != kModeRealtime) {
        std::copy(time8, time8 + 4, stroke.timeCode.begin());
        stroke.elapsedMs = std::int32_t(ReadLittleEndian32(time8 + 4));
    } else {
        GetTimeCodeNow(stroke.timeCode);
        stroke.elapsedMs = time8 ? std::int32_t(ReadLittleEndian32(time8 + 4)) : 0;
    }
    {
        std::lock_guard<std::mutex> guard(queueLock);
        strokeQueue.push_back(stroke);
    }
    if (heldMessages_ >= 0) {
        ++heldMessages_;
        return;
    }
    // The registry checks that the window exists and posts under its lock, so a window being
    // destroyed is never posted to; without one the stroke waits for the next owner.
    platform::PostMessage(owner.load(), platform::kStrokeMessage);
    if (!receiving_.load(std::memory_order_relaxed)) MarkReceiving();
}

void CWriter::MarkReceiving() {
    {
        std::lock_guard<std::mutex> guard(queueLock);
        // Nothing was ever reported (a notes file, a test without a port): nothing to clear.
        if (status_.state == ConnectionState::Closed || status_.state == ConnectionState::Receiving)
            return;
        status_.state = ConnectionState::Receiving;
        status_.again = false;
        receiving_ = true;
    }
    platform::PostMessage(owner.load(), platform::kConnectionMessage);
}

WriterTime CWriter::TimeSinceFirstStroke(const TimeCode& code) {
    const int ms = TimeCodeToMs(code);
    if (firstStrokeTime == 0) firstStrokeTime = ms;
    return MakeWriterTime(code, ms - firstStrokeTime);
}

void CWriter::HoldStrokeMessages() {
    if (heldMessages_ < 0) heldMessages_ = 0;
}

void CWriter::ReleaseStrokeMessages() {
    const int held = heldMessages_;
    heldMessages_ = -1;
    for (int i = 0; i < held; ++i) platform::PostMessage(owner.load(), platform::kStrokeMessage);
    if (held > 0 && !receiving_.load(std::memory_order_relaxed)) MarkReceiving();
}

int CWriter::GetStroke(TrackStroke* out) {
    if (!out) return 0;
    std::lock_guard<std::mutex> guard(queueLock);
    if (strokeQueue.empty()) return 0;
    *out = strokeQueue.front();
    strokeQueue.pop_front();
    return 1;
}

platform::WindowHandle CWriter::SetOwner(platform::WindowHandle newOwner) {
    platform::WindowHandle previous = owner.exchange(newOwner);
    bool waiting;
    {
        std::lock_guard<std::mutex> guard(queueLock);
        waiting = !strokeQueue.empty();
    }
    if (waiting) platform::PostMessage(newOwner, platform::kStrokeMessage);
    return previous;
}

int CWriter::GetStrokesToRead() {
    int left = WriterStrokeCount() - strokeIndex;
    return std::clamp(left, 0, kMaxStrokesPerRequest);
}

// ---- stored notes -----------------------------------------------------------------------

void CWriter::ReadStrokes(int first, int count) {
    if (mode != kModeNotesCable) return;
    ReadNotesFile(static_cast<std::int64_t>(first) * 3, static_cast<std::int64_t>(count) * 3);
    DecodeBuffer();
}

void CWriter::ReadNotesFile(std::int64_t offset, std::int64_t length) {
    receiveBuffer.clear();
    if (offset < 0 || length <= 0 || !notesFile.is_open()) return;
    notesFile.clear();  // an earlier read may have hit the end
    notesFile.seekg(static_cast<std::streamoff>(offset), std::ios::beg);
    // Read in pieces so that an absurd length cannot ask for a huge buffer up front.
    char chunk[64 * 1024];
    while (length > 0 && notesFile) {
        auto piece = static_cast<std::streamsize>(std::min<std::int64_t>(length, sizeof chunk));
        notesFile.read(chunk, piece);
        std::streamsize got = notesFile.gcount();
        if (got <= 0) break;
        receiveBuffer.append(chunk, static_cast<std::size_t>(got));
        length -= got;
    }
}

void CWriter::DecodeBuffer() {
    std::size_t used = 0;
    while (receiveBuffer.size() - used >= 3) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(receiveBuffer.data() + used);
        AddStroke(p[0], p[1], p[2]);
        ++strokeIndex;
        used += 3;
    }
    receiveBuffer.erase(0, used);
}

void CWriter::SetStrokeIndex(int index) { strokeIndex = index; }

void CWriter::CloseNotesFile() {
    if (notesFile.is_open()) notesFile.close();
    notesFile.clear();
}

bool CWriter::OpenNotesFile(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= notesFiles.size()) return false;
    if (notesFile.is_open()) notesFile.close();
    notesFile.clear();
    notesFile.open(notesFiles[static_cast<std::size_t>(index)], std::ios::in | std::ios::binary);
    return notesFile.is_open();
}

std::string CWriter::NotesListingLine(const std::string& name, std::uint64_t size,
                                      std::int64_t modified) {
    platform::LocalDateTime t;
    platform::ToLocalDateTime(modified, t);

    std::string line = name;
    if (line.size() < 12) line.append(12 - line.size(), ' ');
    std::size_t shift = line.size() - 12;
    // Each field ends in its column, padded in front; one that does not fit moves the later
    // columns right instead of being split by the padding.
    auto addField = [&](const std::string& field, std::size_t column) {
        std::size_t start = line.size();
        line += field;
        std::size_t end = column + shift;
        if (line.size() < end) line.insert(start, end - line.size(), ' ');
        shift = line.size() - column;
    };
    addField(std::to_string(size / 1024) + "K", 17);
    addField(DateText(t), 28);
    addField(IntToString(t.hour) + ":" + TwoDigits(t.minute), 34);
    return line;
}

void CWriter::ListNotesFolder() {
    notesFiles.clear();
    notesListing.clear();
    for (const platform::FolderEntry& entry : platform::ListFolder(notesFolder)) {
        // Only regular files: opening a fifo or a device found here could block for ever.
        if (!entry.isRegularFile) continue;
        notesFiles.push_back(entry.path);
        notesListing.push_back(NotesListingLine(entry.name, entry.size, entry.modified));
    }
}

// ---- helpers for drivers ----------------------------------------------------------------

bool CWriter::PauseMs(int ms) {
    if (stopRequested != 0) return false;
    if (ms <= 0) return true;
    if (!platform::RealClockInstalled()) {
        platform::SleepMs(ms);
        return stopRequested == 0;
    }
    std::unique_lock<std::mutex> lock(queueLock);
    resumeOrStop_.wait_for(lock, std::chrono::milliseconds(ms),
                           [this] { return stopRequested != 0; });
    return stopRequested == 0;
}

bool CWriter::WritePaced(std::string_view bytes, int gapMs) {
    for (const char c : bytes) {
        port.Write(&c, 1);
        if (!PauseMs(gapMs)) return false;
    }
    return true;
}

bool CWriter::WaitForInput(int ms) {
    if (stopRequested != 0) return false;
    switch (port.WaitForInput(ms)) {
        case WaitResult::Ready:
            return true;
        case WaitResult::Timeout:
            return false;
        case WaitResult::Woken:
        case WaitResult::Closed:
            // Closed, vanished, or woken without a stop: wait out the time so that a Poll
            // loop over a dead port does not spin.
            PauseMs(ms);
            return false;
    }
    return false;
}

bool CWriter::ReadByte(std::uint8_t& byte) {
    if (stopRequested != 0) return false;
    return port.Read(&byte, 1) == 1;
}

bool CWriter::ReadByteWithin(std::uint8_t& byte, int ms) {
    const std::int64_t start = platform::MonotonicMs();
    if (!WaitForInput(ms)) return false;
    // The byte seen waiting may be gone by the read (a line error purges the input): the
    // read keeps what is left of the same limit.
    const std::int64_t left = std::max<std::int64_t>(ms - (platform::MonotonicMs() - start), 0);
    return stopRequested == 0 && port.ReadWithin(&byte, 1, int(left)) == 1;
}

std::size_t CWriter::ReadWaiting(std::string& pending, std::size_t limit) {
    if (limit == 0) return 0;
    const std::size_t start = pending.size();
    pending.resize(start + std::min<std::size_t>(limit, 1u << 16));
    // Never waits: what is waiting now, as much as fits.
    const unsigned got = port.ReadWaitingNow(pending.data() + start, unsigned(pending.size() - start));
    pending.resize(start + got);
    return got;
}

int CWriter::AskStartFrom(int& index, int most) {
    const int answer = AlertBox(kMessageStartFrom, 255);
    if (answer == 2) {
        std::string value = IntToString(index);
        index = AskFor(kPromptStartStroke, value) == 1 ? std::clamp(StrToInt(value), 0, most) : 0;
    }
    return answer;
}

bool CWriter::AskRetry() {
    // Cancelled while the exchange ran: that was the answer.
    if (startCancelled_) return false;
    if (GetSettings().usbFlag == 0)
        SetConnectionState(port.IsUsable() ? ConnectionState::NotAnswering
                                           : ConnectionState::Unavailable);
    if (AlertBox(kMessageNoAnswer, 255) != 0 || startCancelled_) return false;
    if (ReopenPortForRetry() || (GetSettings().usbFlag == 0 && port.IsUsable()))
        SetConnectionState(ConnectionState::Connecting);
    return true;
}

bool CWriter::ReopenPortForRetry() {
    if (GetSettings().usbFlag != 0 || port.IsUsable() || port.portSpec.empty()) return false;
    const std::string spec = port.portSpec;
    if (!port.Open(spec.c_str())) return false;
    // The reader thread still waits at its gate: with the port back it may run after all.
    stopRequested = 0;
    threadStopped = 0;
    PortReopened();
    return true;
}

std::unique_ptr<platform::WaitDialog> CWriter::OpenWaitDialog() {
    return platform::OpenWaitDialog(kReadNotesHeading, kReadingAction, true);
}

std::string CWriter::CaptureFilePath(const std::string& name) {
    std::string folder = GetTempDir();
    if (folder.empty()) return {};
    return folder + "/" + name;
}

void CWriter::ListCaptureFiles(const std::string& pattern, CaptureDate date) {
    notesFiles.clear();
    notesListing.clear();
    std::string folder = GetTempDir();
    if (folder.empty()) return;
    for (const platform::FolderEntry& entry : platform::ListFolder(folder, pattern)) {
        if (!entry.isRegularFile) continue;
        platform::LocalDateTime t;
        platform::ToLocalDateTime(date == CaptureDate::Created ? entry.created : entry.modified,
                                  t);
        notesFiles.push_back(entry.path);
        notesListing.push_back(entry.name + ": " + std::to_string(entry.size) + " " + DateText(t));
    }
}
