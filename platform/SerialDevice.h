#pragma once
// The serial device on a file descriptor: opening, line settings on termios, queue counts,
// modem lines, line-error counters, non-blocking reads and writes, and waits that a wake-up
// signal can end. The descriptor stays non-blocking; every wait is a poll(2).
#include <termios.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class WakeEvent;

// Values of LineSettings::Parity and ::StopBits (those of the Windows line-settings record).
constexpr std::uint8_t kNoParity = 0, kOddParity = 1, kEvenParity = 2, kMarkParity = 3, kSpaceParity = 4;
constexpr std::uint8_t kOneStopBit = 0, kOne5StopBits = 1, kTwoStopBits = 2;
// Rates above this are refused as impossible settings.
constexpr std::uint32_t kMaxBaudRate = 16'000'000;

// The fields of the Windows line-settings record that the program reads or sets, under their
// Windows names. termios has no place for fErrorChar/ErrorChar, fAbortOnError and the XON/XOFF
// limits: they travel with the record and are not applied. CTS and DSR output flow control are
// one termios flag (CRTSCTS), set when either is asked for and read back into both.
struct LineSettings {
    std::uint32_t DCBlength = 0;
    std::uint32_t BaudRate = 0;
    bool fBinary = false;
    bool fParity = false;  // check the parity of received bytes (INPCK)
    bool fOutxCtsFlow = false;
    bool fOutxDsrFlow = false;
    bool fOutX = false;  // XON/XOFF on output (IXON)
    bool fInX = false;   // XON/XOFF on input (IXOFF)
    bool fErrorChar = false;
    bool fAbortOnError = false;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = kNoParity;
    std::uint8_t StopBits = kOneStopBit;
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
};

// ---- pure termios records ---------------------------------------------------------------
// Raw line: no echo or signals, no flow control, no CR/LF or other translation, 8 bits,
// receiver on, modem status lines ignored (CLOCAL); a read is satisfied by one byte.
termios MakeRawTermios(const termios& current);
// The rate the line really runs at: the offered 56000 and 115000 are 57600 and 115200.
std::uint32_t EffectiveBaudRate(std::uint32_t rate);
// The termios constant of the effective rate; false when it has none (28800, ...).
bool BaudRateConstant(std::uint32_t rate, speed_t& constant);
// `current` with the record's fields applied. EINVAL for a rate of 0 or above kMaxBaudRate, a
// byte size outside 5-8, or an unknown parity or stop-bits value. `customRate` tells that the
// rate has no constant: the speed in `out` is then left as it was, and SetLineSettings sets it
// through termios2.
int BuildTermios(const termios& current, const LineSettings& settings, termios& out, bool& customRate);
// The record as the termios flags describe it, with `baud` as its rate.
LineSettings LineSettingsFromTermios(const termios& t, std::uint32_t baud);

// ---- the device --------------------------------------------------------------------------
// Functions returning int give 0 or the errno.

// Opens read/write, O_NOCTTY, non-blocking; ENOTTY when the file is no terminal, EBUSY when
// another program holds it (an flock on the device, plus TIOCEXCL for those that take none).
int OpenSerialDevice(const std::string& path, int& fd);
void CloseSerialDevice(int fd);
// Which device node a descriptor or a path (links followed) is: its device number and inode.
struct DeviceIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const DeviceIdentity&) const = default;
};
bool IdentifyDevice(int fd, DeviceIdentity& out);
bool IdentifyDevice(const std::string& path, DeviceIdentity& out);
// A short reason for a failed open, for a message: "no such device", "permission denied
// (...dialout group...)", "in use by another program", ...
std::string DescribeOpenError(int err);
// True for the errors of a device that is gone (hung up, unplugged, closed).
bool IsVanishedError(int err);

// Puts the line in raw mode (MakeRawTermios).
int MakeLineRaw(int fd);
// For an adopted descriptor: waits are polls, so reads and writes must not block.
int SetNonBlocking(int fd);
int GetLineSettings(int fd, LineSettings& out);
// Applies the record; EINVAL when it is impossible or the device does not take the rate.
int SetLineSettings(int fd, const LineSettings& settings);
int InputQueueCount(int fd, int& count);
int OutputQueueCount(int fd, int& count);
// Discards what is waiting in both directions.
int PurgeSerialDevice(int fd);
int PurgeSerialInput(int fd);

enum class ModemLine { Dtr, Rts };
// Raises or drops a modem control line. A device without modem lines (a pseudo-terminal
// answers ENOTTY or EINVAL) is not an error.
int SetModemLine(int fd, ModemLine line, bool raised);
// Asks the driver to hand over each received byte at once; quietly nothing where it cannot.
void RequestLowLatency(int fd);

// The driver's cumulative line-error counters.
struct LineErrorCounts {
    std::uint32_t frame = 0, overrun = 0, parity = 0, brk = 0, bufferOverrun = 0;
};
// False when the driver keeps none (pseudo-terminals, most USB adapters).
bool ReadLineErrorCounts(int fd, LineErrorCounts& out);

// Waits, at most a few hundred ms computed from the bytes queued and the rate, until the
// output queue is empty; true when it is. The bound keeps a line held by flow control from
// stalling a close.
bool WaitOutputDrained(int fd, std::uint32_t baudRate);

// One read or write without waiting: the count of bytes moved (0 from a read: the device hung
// up), or -1 with `err` set (EAGAIN: nothing waiting / no room now).
long ReadDevice(int fd, void* buffer, std::size_t count, int& err);
long WriteDevice(int fd, const void* buffer, std::size_t count, int& err);

enum class PollStatus { Ready, Timeout, Woken, HungUp, Failed };
constexpr int kWaitForever = -1;
// Waits until the device is readable (or writable), the wake event is set, the device hangs
// up, or timeoutMs (real monotonic time; 0 only looks; kWaitForever has no limit) has passed.
// A set wake event wins over a ready device. `err` is set for Failed.
PollStatus WaitReadable(int fd, const WakeEvent& wake, int timeoutMs, int& err);
PollStatus WaitWritable(int fd, const WakeEvent& wake, int timeoutMs, int& err);

}  // namespace platform
