#pragma once
// CWriter: the connection to one steno writer, and the base of every driver.
//
// The base owns what all drivers share: the reader thread that calls the driver's Poll over and
// over, the stroke queue that carries strokes from that thread to the owner window's thread, the
// message (platform::kStrokeMessage, 0x402) that tells the owner a stroke is waiting, the serial
// port, the receive buffers, the notes files of the stored-notes modes and the plain Start/Stop.
//
// Writing a driver
// ----------------
//  * Make it with NewWriter<CWriterXX>(owner), never with a bare `new`: the wrapper stops the
//    reader thread before any of the driver's own members are destroyed, so Poll can never run
//    on a half-destroyed object. A driver with a destructor of its own still starts it with
//    StopReaderThread() (or its own Stop), so that a driver built on the stack is safe too.
//    Do not declare a driver class `final`.
//  * Start(argument): call CWriter::Start first (mode 0 lists the notes folder and returns; other
//    modes open the port from the settings and create the reader thread, waiting at its start
//    gate). A port that did not open leaves stopRequested set. Do the start-up exchange, then
//    ResumeReaderThread(). Without a resume (the user cancelled, the port did not open) the
//    thread never calls Poll, and Stop still ends it.
//  * Poll(): one step of reading; the thread calls it again at once until Stop. Every Poll must
//    wait by itself: use the helpers below, never a bare sleep while waiting for input.
//      "if no byte is waiting, sleep N ms and return"  ->  if (!WaitForInput(N)) return;
//      "if no further byte, sleep N ms and look again" ->  if (!WaitForInput(N)) break;
//      a pacing pause between the writes of an exchange ->  if (!PauseMs(N)) return;
//      reading one byte                                 ->  if (!ReadByte(b)) return;
//    Each returns false as soon as Stop is requested, so Stop returns at once. On a closed or
//    vanished port WaitForInput waits out its time and answers false: a Poll never spins.
//  * Queue each decoded stroke with AddStroke (any thread). Never post to the owner yourself.
//  * A writer that does not answer: `while (!exchange()) { if (!AskRetry()) return; }` shows
//    "Unable to communicate with steno machine." with Retry/Cancel (user-interface thread only;
//    return without resuming after Cancel).
//  * Long transfers of stored notes (modes 0, 1) show progress through OpenWaitDialog() and
//    stop when its IsCancelled() turns true; capture files go to CaptureFilePath(name), and
//    ListCaptureFiles fills notesFiles/notesListing from them afterwards.
//  * A driver whose Poll blocks on something other than the port (a library call, a channel of
//    its own) overrides WakeReader() to end that wait.
//  * Connection: in realtime a serial port that vanishes (unplugged, hung up) is opened again
//    by the reader thread about once a second, and at once when a new device shows behind
//    COMn (resolved anew each time); then Reestablish()
//    runs: redo the start-up exchange there without asking anything, forget half-read frames,
//    and go on from the stroke reached. The base keeps the ConnectionStatus and tells the
//    owner (platform::kConnectionMessage) when it changes; a driver that notices its writer
//    stop or start answering says so with SetConnectionState. Drivers without a serial port
//    report their own device with SetConnectionStatus.
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "core/Stroke.h"
#include "core/TextUtil.h"
#include "platform/WaitDialog.h"
#include "platform/WindowRegistry.h"
#include "writers/CSerialFile.h"
#include "writers/UsbDeviceChannel.h"

// One queued stroke: {0, layout, 6 stroke bytes} exactly as FormatStroke reads it (pass it
// unchanged), then the time code and the milliseconds since the first stored stroke.
struct TrackStroke : StrokeRecord {
    TimeCode timeCode{};
    std::int32_t elapsedMs = 0;
};
static_assert(sizeof(TrackStroke) == 16, "a TrackStroke is 16 bytes");

// Writer-supplied time as AddStroke takes it: a 4-byte time code, then the 32-bit milliseconds
// since the first stored stroke, low byte first.
using WriterTime = std::array<std::uint8_t, 8>;
WriterTime MakeWriterTime(const TimeCode& code, std::int32_t elapsedMs);

// Writer modes (the `mode` member).
constexpr int kModeNotesFolder = 0;  // notes files in a folder; no reader thread
constexpr int kModeNotesCable = 1;   // stored notes read over the cable
constexpr int kModeRealtime = 2;     // strokes as they are written (the program's own mode)
constexpr int kModeErase = 3;        // erase/format the writer's storage

// How the connection to a writer stands, as its owner window shows it in one line.
enum class ConnectionState {
    Closed,        // nothing opened yet, or stopped
    Connecting,    // the start-up exchange is running
    Connected,     // open (and answering, for writers that answer); no stroke yet
    Receiving,     // strokes flow: nothing to show
    NotAnswering,  // open, but the writer does not answer
    Gone,          // the device went away; it is looked for again about once a second
    Unavailable,   // it could not be opened
};

struct ConnectionStatus {
    ConnectionState state = ConnectionState::Closed;
    std::string device;  // what was opened: "COM1 = /dev/ttyUSB0", "Stenograph USB", ...
    std::string reason;  // why it is gone or could not be opened: "no such device", ...
    bool again = false;  // Connected after the device had gone
    // The one line the owner shows (the file system's bytes); empty for Closed and Receiving.
    std::string Text() const;
    bool operator==(const ConnectionStatus&) const = default;
};

// The message that asks whether the user wants to try again ("&Retry" 0, "&Cancel" 1).
constexpr int kMessageNoAnswer = 5017;
// Strings of the wait window of a notes transfer.
constexpr int kReadNotesHeading = 32771;
constexpr int kReadingAction = 6041;

class CWriter {
public:
    explicit CWriter(platform::WindowHandle owner);
    // Stops the reader thread (the base Stop), closes the port and the notes file.
    virtual ~CWriter();
    CWriter(const CWriter&) = delete;
    CWriter& operator=(const CWriter&) = delete;

    // ---- operations drivers override ------------------------------------------------------
    // Opens the connection for `mode` and creates the reader thread at its start gate; the
    // argument is the driver's (the base ignores it).
    virtual void Start(unsigned argument);
    // Ends and joins the reader thread whether or not it ever ran (also in mode 0 when one
    // exists); in modes 1 to 3 also closes the port, discards the queue and auxBuffer, and
    // resets protocolState and strokeIndex. Callable again; returns at once the second time.
    virtual void Stop();
    // Mode 1: reads stored strokes first .. first+count-1 (3 bytes each) from the notes file
    // into receiveBuffer (which then holds exactly the bytes read) and decodes them.
    virtual void ReadStrokes(int first, int count);
    // Queues every complete 3-byte stroke at the front of receiveBuffer, advancing
    // strokeIndex; an incomplete tail stays.
    virtual void DecodeBuffer();
    virtual void SetStrokeIndex(int index);
    virtual void CloseNotesFile();
    // Opens notesFiles[index] read-only as notesFile. An index outside the list answers false
    // (and opens nothing), as does a file that cannot be opened.
    virtual bool OpenNotesFile(int index);
    // One step of the reader thread; see "Writing a driver". The base only waits.
    virtual void Poll();

    // ---- the stroke queue -----------------------------------------------------------------
    // Queues a stroke with bytes k0..k5 and posts kStrokeMessage to the owner window if it
    // exists. `time8` (null: none) is writer time: kept whole outside realtime; in realtime the
    // time code is the local arrival time and only the milliseconds are kept. Any thread.
    void AddStroke(std::uint8_t k0, std::uint8_t k1, std::uint8_t k2,
                   const std::uint8_t* time8 = nullptr, std::uint8_t k3 = 0,
                   std::uint8_t k4 = 0, std::uint8_t k5 = 0);
    // Takes the oldest stroke: 1 with it in *out, 0 (out untouched) when the queue is empty.
    // Owners take strokes until this answers 0 on every message.
    int GetStroke(TrackStroke* out);
    // The connection as it stands now; any thread.
    ConnectionStatus GetConnectionStatus();
    // Ends a Start that is still running on another thread as the Cancel of "Unable to
    // communicate" would: its waits end at once, nothing is asked, the reader thread never
    // delivers. Any thread; FinishStart on the thread that ran Start makes it final.
    void CancelStart();
    bool StartCancelled() const { return startCancelled_.load(); }
    // After a Start that CancelStart cut short: the reader thread is ended.
    void FinishStart();

    // Exchanges the owner window and returns the previous one. If strokes are waiting, the new
    // owner is told at once, so strokes queued while no window could be told are not stranded.
    platform::WindowHandle SetOwner(platform::WindowHandle newOwner);

    // The reader thread: waits at the start gate, then calls Poll until stopRequested, then
    // sets threadStopped.
    static unsigned ReaderThreadProc(CWriter* writer);
    // The next batch to ask the writer for: its stored count minus strokeIndex, 0 to 50.
    int GetStrokesToRead();

    // "COM1:9600,n,8,1" from the line settings (parity index 0-3 -> n, e, o, m; other: none).
    static std::string BuildPortSpec(int port, int baudRate, int parity, int dataBits,
                                      int stopBits);
    // The notes listing line: name padded to 12, size "<KiB>K" ending in column 17, date
    // "m/d/yyyy" ending in 28, time "h:mm" ending in 34. A field that is too long pushes the
    // later columns right; nothing is cut or split.
    static std::string NotesListingLine(const std::string& name, std::uint64_t size,
                                        std::int64_t modified);

    // ---- members --------------------------------------------------------------------------
    std::atomic<int> stopRequested{0};
    std::atomic<int> threadStopped{0};
    std::atomic<platform::WindowHandle> owner;  // exchange it with SetOwner
    std::thread readerThread;
    std::deque<TrackStroke> strokeQueue;
    std::string auxBuffer;
    std::mutex queueLock;

    CSerialFile port;
    UsbDeviceChannel usbChannel;  // the USB writers' connection; closed with the writer
    int protocolState = 0;  // request/reply drivers: 0 stopped, 1 send, 2 awaiting, 3 complete
    int strokeIndex = 0;    // next stored stroke to read; advanced per decoded stroke
    int mode = kModeNotesFolder;
    int replyBytes = 0;
    int replyLength = 0;          // 255 until the reply's length field has come
    std::int64_t requestTime = 0;  // platform::MonotonicMs() when the last request was sent
    std::string notesFolder;       // the notes drive letter + ":"
    int modelFlag = 1;
    int firstStrokeTime = 0;  // ms since midnight of the first stored stroke; 0 = none yet
    int keyboardLayout = 0;   // its low byte goes into every TrackStroke
    std::string receiveBuffer;
    std::ifstream notesFile;
    std::vector<std::string> notesListing;
    std::vector<std::string> notesFiles;

protected:
    // ---- helpers for drivers --------------------------------------------------------------
    // Creates the reader thread at its start gate, as Start does after opening the port, for a
    // driver that reads something other than the serial port. Not `ready`: the thread ends as
    // soon as it is resumed.
    void CreateReaderThread(bool ready = true);
    // Opens the start gate: the reader thread begins calling Poll. Harmless without a thread.
    void ResumeReaderThread();
    // Sets stopRequested, wakes every wait of the reader thread, opens the gate and joins the
    // thread. Idempotent. Called on the reader thread itself it only asks (the loop ends after
    // the current Poll).
    void StopReaderThread();
    // Called by StopReaderThread after stopRequested is set: end a wait the port's wake-up
    // cannot reach.
    virtual void WakeReader() {}

    // Waits up to `ms` for a byte from the port (at once when one is waiting): true when a
    // byte is waiting; false on time-out or stop. A closed or vanished port waits out the time.
    bool WaitForInput(int ms);
    // A pacing pause: sleeps `ms` unless Stop is requested. False when stopping.
    bool PauseMs(int ms);
    // Writes `bytes` one at a time with a pause of `gapMs` after each, for writers that take
    // their commands slowly. False, the rest unsent, once Stop is requested.
    bool WritePaced(std::string_view bytes, int gapMs);
    // Reads one byte, waiting for it until it comes, the port closes or Stop is requested.
    bool ReadByte(std::uint8_t& byte);
    // A byte that comes within `ms`; never waits longer, also when the input it saw waiting is
    // discarded before the read.
    bool ReadByteWithin(std::uint8_t& byte, int ms);
    // Appends the bytes already waiting on the port, at most `limit`, to `pending` without
    // waiting; the count read (0 when none, or the port is closed or gone).
    std::size_t ReadWaiting(std::string& pending, std::size_t limit = 256);
    // The start-from question of the writers that store their strokes: "Last" (0), "First"
    // (1) or "Other" (2), which asks for a stroke number (given `index` as its text) and puts
    // it into `index`, between 0 and `most` (0 when the user cancels). Returns the answer;
    // what "Last" and "First" mean is the driver's. User-interface thread only.
    int AskStartFrom(int& index, int most);
    // Shows "Unable to communicate with steno machine." with Retry and Cancel; true for Retry.
    // On Retry a port that never opened, or whose device went, is opened again, so a writer
    // plugged back in answers. User-interface thread only (a driver's Start).
    bool AskRetry();
    // After AskRetry has opened the port again: what a fresh open needs before the exchange.
    virtual void PortReopened() {}
    // On the reader thread, after a vanished port was opened again (realtime): redo the
    // start-up exchange without asking, forget what the old line left half read, and go on
    // from the stroke reached. True when the writer answers (or has no exchange); on false it
    // is tried again about a second later, on the same port while it stays.
    virtual bool Reestablish() { return true; }
    // Changes the connection status and tells the owner when it changed. Any thread.
    void SetConnectionStatus(ConnectionStatus status);
    void SetConnectionStatus(ConnectionState state, std::string device, std::string reason = {},
                             bool again = false);
    // The same for the serial port: its device text and, for Gone and Unavailable, the reason
    // of its last failed open.
    void SetConnectionState(ConnectionState state, bool again = false);
    // How long the reader thread waits between two tries to reach a writer that has gone.
    int reconnectPauseMs = 1000;
    // The "Read notes from writer" / "Reading..." wait window with Cancel.
    std::unique_ptr<platform::WaitDialog> OpenWaitDialog();
    // GetTempDir() + "/" + name; empty when there is no temporary folder (write nothing then).
    std::string CaptureFilePath(const std::string& name);
    // Refills notesFiles and notesListing with the files in GetTempDir() matching `pattern`
    // (by name, case-insensitively), each line "<name>: <size> <m>/<d>/<yyyy>" dated by the
    // creation or the last-write time in local time.
    enum class CaptureDate { Created, LastWritten };
    void ListCaptureFiles(const std::string& pattern, CaptureDate date);
    // Replaces receiveBuffer with up to `length` bytes of notesFile from `offset` (fewer at its
    // end, none when it is not open or the arguments are negative).
    void ReadNotesFile(std::int64_t offset, std::int64_t length);
    // A batch of strokes decoded at once (a reply carrying several): AddStroke queues each but
    // keeps its message until ReleaseStrokeMessages, so the owner, woken by the first, finds
    // the whole batch. Still one message per stroke. Only on the thread that adds the strokes.
    void HoldStrokeMessages();
    void ReleaseStrokeMessages();
    // The writer-supplied time of a stored stroke from its time code: the code, and the
    // milliseconds since the first stroke that had one (which it becomes when it is the first).
    WriterTime TimeSinceFirstStroke(const TimeCode& code);
    // The count of strokes stored on the writer, as its last status reply gave it.
    virtual int WriterStrokeCount() const { return 0; }

private:
    void ListNotesFolder();
    bool ReopenPortForRetry();
    // The reader thread's part of a vanished port: due when the port went away, or when the
    // writer on a reopened port has not answered its exchange yet.
    bool ReconnectDue() const;
    void Reconnect();
    // The first stroke after a status was shown clears it.
    void MarkReceiving();

    ConnectionStatus status_;           // guarded by queueLock
    std::atomic<bool> receiving_{false};  // status_ is Receiving: AddStroke need not look
    std::atomic<bool> startCancelled_{false};
    bool watchPort_ = false;       // realtime on a port that opened: reopen it when it goes
    bool reestablishDue_ = false;  // reader thread: the reopened writer has not answered yet
    std::int64_t lastReconnectMs_ = 0;

    bool resumed_ = false;                 // guarded by queueLock
    int heldMessages_ = -1;                // messages kept back while held; -1: not held
    std::condition_variable resumeOrStop_;  // with queueLock
};

// Makes a driver whose reader thread is stopped before the driver's own members go.
template <class Driver>
class StoppedBeforeDestruction final : public Driver {
public:
    using Driver::Driver;
    ~StoppedBeforeDestruction() override { this->StopReaderThread(); }
};

template <class Driver, class... Args>
Driver* NewWriter(Args&&... args) {
    return new StoppedBeforeDestruction<Driver>(std::forward<Args>(args)...);
}
