#pragma once
// The serial port of a writer. Opened from a port specification "COM2:9600,n,8,1" (device
// name, then baud rate, parity letter n/e/o/m in either case, data bits, stop bits), it reads
// and writes bytes, reports the queues and line errors, and offers the wait for input that
// every driver's polling loop uses.
//
// One thread at a time uses a port (the reader thread while it runs, the user-interface
// thread before and after); only Wake may be called from any thread at any time. A writer
// stops with Wake, joins its reader thread, then closes; an exchange after the join that
// waits for input calls ClearWake first.
// Nothing throws: failures set lastError. A device that vanishes (unplugged, hung up) makes
// the port unusable until it is opened again: no data, writes do nothing, waits say Closed.
#include <cstdint>
#include <iosfwd>
#include <string>

#include "platform/SerialDevice.h"
#include "platform/WakeEvent.h"
#include "writers/CDummyFile.h"

// What WaitForInput saw.
enum class WaitResult {
    Ready,    // a byte is waiting
    Timeout,  // nothing came within the time
    Woken,    // Wake was called (and ClearWake not yet)
    Closed,   // the port is not open, or the device has gone
};

// Queue counts of the last line check.
struct ComStat {
    unsigned cbInQue = 0;
    unsigned cbOutQue = 0;
};

// Line-error bits of the last line check (the Windows CE_ values).
constexpr unsigned CE_RXOVER = 0x0001;    // the input buffer overflowed
constexpr unsigned CE_OVERRUN = 0x0002;   // the hardware lost a byte
constexpr unsigned CE_RXPARITY = 0x0004;  // parity error
constexpr unsigned CE_FRAME = 0x0008;     // framing error
constexpr unsigned CE_BREAK = 0x0010;     // break received

class CSerialFile : public CDummyFile {
public:
    // Flag bits of SetFlowControl and GetFlowControl.
    static constexpr int kFlowXonXoff = 0x1;
    static constexpr int kFlowCtsDsr = 0x2;
    // Windows codes kept in lastError.
    static constexpr int kErrorOverflow = 1;
    static constexpr int kErrorInvalidHandle = 6;
    static constexpr int kErrorInvalidParameter = 87;

    CSerialFile();
    ~CSerialFile() override;

    // Null spec: lastError 87, false. Otherwise closes an open port, keeps spec in portSpec and
    // returns OpenPort().
    bool Open(const char* spec);
    // Opens the device named in portSpec and applies its settings: raw line, the given rate,
    // parity, data bits and stop bits, DTR raised, the wake-up cleared. On failure the port
    // stays closed, lastError tells why (87 for impossible settings, else the errno) and one
    // line on standard error names the device and the reason.
    virtual bool OpenPort();
    // Waits (bounded) for written bytes to leave, drops DTR, purges and closes. Harmless when
    // not open.
    void Close() override;

    // Reads `count` bytes, waiting for them until they have come, Wake is called, or the device
    // goes; the bytes read. 0 when not open or buffer is null. Once woken it returns at once
    // with what is already waiting.
    unsigned Read(void* buffer, unsigned count) override;
    // The bytes waiting now, at most `count`, without waiting (0 when none). The line is
    // checked for errors once per wait for input, not on every read of the same wake.
    unsigned ReadWaitingNow(void* buffer, unsigned count);
    // The same, but never waits past timeoutMs from the call (0: takes only what is waiting),
    // even when the line check discards input the caller saw waiting.
    unsigned ReadWithin(void* buffer, unsigned count, int timeoutMs);
    // Writes every byte, waiting for room while the device takes none (at most
    // writeStallLimitMs without progress, and not once woken). Failures set lastError.
    void Write(const void* buffer, unsigned count) override;
    virtual void WriteString(const std::string& text);

    // A byte is waiting (after a line check).
    virtual bool IsDataAvailable();
    virtual int GetInQueueCount();
    virtual int GetOutQueueCount();
    // Reads the queue counts into comStat and the line errors since the last check into
    // commErrors: a framing error drops what is waiting, an input overflow sets lastError 1.
    // The tag names the calling place and has no further effect.
    virtual void CheckCommError(int tag);
    // Drops what was waiting when it was called (not what keeps arriving meanwhile).
    void FlushInput();

    int IsOpen() const { return opened; }
    // Open and its device still there.
    bool IsUsable() const { return opened != 0 && commHandle != kInvalidHandle; }
    // The port as the user knows it, with the device it resolved to at the last open:
    // "COM1 = /dev/serial/by-id/usb-...". Empty before the first open.
    std::string DeviceText() const;
    // A device other than the one last opened stands behind the port's name now (a writer
    // plugged in again, an adapter enumerated anew): worth opening at once.
    bool NewDeviceBehindName() const;
    // Why the last open failed ("no such device", ...); empty after one that worked.
    const std::string& OpenFailureReason() const { return openFailureReason; }

    void SetRTS();
    void SetDTR();
    void ClearDTR();
    // kFlowCtsDsr: output flow control by CTS (and DSR); kFlowXonXoff: XON/XOFF both ways
    // (0x11/0x13). 0 leaves the line as it is.
    virtual void SetFlowControl(int flags);
    virtual int GetFlowControl();

    // Adopts an open descriptor (a serial device opened elsewhere): closes an open port,
    // purges, raises DTR. Write failures on it are reported to the user. False (lastError 6)
    // for a negative descriptor.
    virtual bool Attach(int fd);

    // Storing: the open flag (32-bit little-endian), then portSpec (32-bit little-endian length
    // and its bytes). Loading: false on a short or malformed stream, with nothing changed;
    // otherwise closes the port, takes the stored portSpec and opens it again when the flag is
    // 1 (IsOpen tells whether that worked).
    void Serialize(std::ostream& out) const;
    bool Serialize(std::istream& in);

    // Waits up to timeoutMs (<= 0 only looks) for a byte to arrive. Woken wins over Ready.
    WaitResult WaitForInput(int timeoutMs);
    // From any thread: ends the current wait or blocking Read and every later one until
    // ClearWake (or the next open).
    void Wake();
    void ClearWake();
    bool IsWoken() const { return wake.IsSet(); }

    // The fields of a specification's settings part ("9600,n,8,1") put into a record read from
    // the device; what is not named there keeps its value. The record is checked when applied.
    static void ApplySpecification(const std::string& settings, platform::LineSettings& dcb);
    // The CE_ bits for the counters that moved between two readings.
    static unsigned LineErrorBits(const platform::LineErrorCounts& before,
                                  const platform::LineErrorCounts& now);

    int opened = 0;           // 1 while the port is open
    unsigned commErrors = 0;  // CE_ bits of the last line check
    ComStat comStat;          // queue counts of the last line check
    int directIo = 0;         // 1 for a descriptor adopted with Attach
    std::string portSpec;     // the port text ("COM2:9600,n,8,1") last given to Open
    // The usable descriptor; kInvalidHandle when closed or when the device has gone (the
    // descriptor itself stays in fileHandle until Close releases it).
    int commHandle = kInvalidHandle;
    // How long a write waits for the device to take more bytes before it gives up.
    int writeStallLimitMs = 5000;

private:
    unsigned ReadUntil(void* buffer, unsigned count, int timeoutMs);
    void Adopt(int fd, int direct, std::uint32_t baudRate);
    void ReportOpenFailure(const std::string& device, const std::string& path,
                           const std::string& reason);
    void MarkVanished();
    // Records a failure of a call on the descriptor.
    void Fail(int err);
    void FailWrite(int err);

    platform::WakeEvent wake;
    platform::LineErrorCounts lineCounts;
    bool hasLineCounts = false;
    bool lineCheckedThisWake = false;  // since the last wait for input
    std::uint32_t baudRate = 0;
    std::string lastOpenFailure;  // the open failure last reported, until an open succeeds
    std::string deviceName;       // "COM1", from portSpec at the last open
    std::string devicePath;       // what it resolved to then
    std::string openFailureReason;
    platform::DeviceIdentity openedDevice;  // of the last open that worked
};
