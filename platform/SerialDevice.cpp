#include "platform/SerialDevice.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/SerialBaudRate.h"
#include "platform/WakeEvent.h"

namespace platform {
namespace {

struct RateConstant {
    std::uint32_t rate;
    speed_t constant;
};

constexpr RateConstant kRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

std::uint32_t RateOfConstant(speed_t constant) {
    for (const RateConstant& r : kRates)
        if (r.constant == constant) return r.rate;
    return 0;
}

// Device waits run on the real clock: an installed test clock must not stretch a poll.
std::int64_t RealNowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Rates within 3% of each other drive the same line (what a UART tolerates).
bool CloseEnough(std::uint32_t wanted, std::uint32_t actual) {
    std::uint64_t diff = wanted > actual ? wanted - actual : actual - wanted;
    return diff * 100 <= std::uint64_t(wanted) * 3;
}

// glibc's tcsetattr reads the line back and reports EINVAL when the driver took none of the
// changes, which a pseudo-terminal does with parity and data bits (it has no line) when the
// rate stays the same. What matters, the rate, is checked by the callers.
int ApplyTermios(int fd, const termios& t) {
    if (tcsetattr(fd, TCSANOW, &t) == 0) return 0;
    return errno == EINVAL ? 0 : errno;
}

int IgnoreMissingModemSupport(int err) { return (err == ENOTTY || err == EINVAL) ? 0 : err; }

// A read or write, repeated when a signal cut it short.
template <typename Call>
long RetryInterrupted(Call call, int& err) {
    for (;;) {
        ssize_t n = call();
        if (n >= 0) {
            err = 0;
            return long(n);
        }
        if (errno != EINTR) {
            err = errno;
            return -1;
        }
    }
}

PollStatus WaitFor(int fd, short events, const WakeEvent& wake, int timeoutMs, int& err) {
    err = 0;
    const std::int64_t deadline = timeoutMs < 0 ? 0 : RealNowMs() + timeoutMs;
    for (;;) {
        if (wake.IsSet()) return PollStatus::Woken;
        int slice = -1;
        if (timeoutMs >= 0) slice = int(std::max<std::int64_t>(0, deadline - RealNowMs()));
        // Without a wake descriptor the flag is looked at in short slices instead.
        const bool wakeFd = wake.Fd() >= 0;
        if (!wakeFd && (slice < 0 || slice > 20)) slice = 20;
        pollfd fds[2] = {{fd, events, 0}, {wake.Fd(), POLLIN, 0}};
        int n = poll(fds, wakeFd ? 2 : 1, slice);
        if (n < 0) {
            if (errno == EINTR) continue;
            err = errno;
            return PollStatus::Failed;
        }
        if (fds[0].revents & POLLNVAL) {
            err = EBADF;
            return PollStatus::HungUp;
        }
        if (fds[0].revents & (POLLHUP | POLLERR)) return PollStatus::HungUp;
        if (wakeFd && (fds[1].revents & POLLIN)) {
            if (wake.IsSet()) return PollStatus::Woken;
            wake.DrainIfClear();
        }
        if (fds[0].revents & events) return PollStatus::Ready;
        if (timeoutMs >= 0 && RealNowMs() >= deadline) return PollStatus::Timeout;
    }
}

}  // namespace

termios MakeRawTermios(const termios& current) {
    termios t = current;
    cfmakeraw(&t);
    t.c_lflag &= ~(ECHOE | ECHOK | ECHOCTL | ECHOKE);
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    t.c_cflag &= ~CRTSCTS;
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return t;
}

std::uint32_t EffectiveBaudRate(std::uint32_t rate) {
    if (rate == 56000) return 57600;
    if (rate == 115000) return 115200;
    return rate;
}

bool BaudRateConstant(std::uint32_t rate, speed_t& constant) {
    rate = EffectiveBaudRate(rate);
    for (const RateConstant& r : kRates) {
        if (r.rate == rate) {
            constant = r.constant;
            return true;
        }
    }
    return false;
}

int BuildTermios(const termios& current, const LineSettings& s, termios& out, bool& customRate) {
    customRate = false;
    if (s.BaudRate == 0 || s.BaudRate > kMaxBaudRate) return EINVAL;
    if (s.ByteSize < 5 || s.ByteSize > 8) return EINVAL;
    if (s.Parity > kSpaceParity || s.StopBits > kTwoStopBits) return EINVAL;

    termios t = current;
    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= kSizes[s.ByteSize - 5] | CLOCAL | CREAD;
    switch (s.Parity) {
        case kOddParity: t.c_cflag |= PARENB | PARODD; break;
        case kEvenParity: t.c_cflag |= PARENB; break;
        case kMarkParity: t.c_cflag |= PARENB | PARODD | CMSPAR; break;
        case kSpaceParity: t.c_cflag |= PARENB | CMSPAR; break;
        default: break;
    }
    // One and a half stop bits is what the hardware makes of CSTOPB with 5 data bits.
    if (s.StopBits != kOneStopBit) t.c_cflag |= CSTOPB;
    if (s.fOutxCtsFlow || s.fOutxDsrFlow) t.c_cflag |= CRTSCTS;

    t.c_iflag &= ~(INPCK | IXON | IXOFF | IXANY);
    if (s.fParity) t.c_iflag |= INPCK;
    if (s.fOutX) t.c_iflag |= IXON;
    if (s.fInX) t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = cc_t(s.XonChar);
    t.c_cc[VSTOP] = cc_t(s.XoffChar);

    speed_t speed;
    if (BaudRateConstant(s.BaudRate, speed)) {
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
    } else {
        customRate = true;
    }
    out = t;
    return 0;
}

LineSettings LineSettingsFromTermios(const termios& t, std::uint32_t baud) {
    LineSettings s;
    s.DCBlength = sizeof(LineSettings);
    s.BaudRate = baud;
    s.fBinary = true;
    switch (t.c_cflag & CSIZE) {
        case CS5: s.ByteSize = 5; break;
        case CS6: s.ByteSize = 6; break;
        case CS7: s.ByteSize = 7; break;
        default: s.ByteSize = 8; break;
    }
    if (!(t.c_cflag & PARENB))
        s.Parity = kNoParity;
    else if (t.c_cflag & CMSPAR)
        s.Parity = (t.c_cflag & PARODD) ? kMarkParity : kSpaceParity;
    else
        s.Parity = (t.c_cflag & PARODD) ? kOddParity : kEvenParity;
    s.StopBits = (t.c_cflag & CSTOPB) ? kTwoStopBits : kOneStopBit;
    s.fParity = (t.c_iflag & INPCK) != 0;
    s.fOutxCtsFlow = s.fOutxDsrFlow = (t.c_cflag & CRTSCTS) != 0;
    s.fOutX = (t.c_iflag & IXON) != 0;
    s.fInX = (t.c_iflag & IXOFF) != 0;
    s.XonChar = char(t.c_cc[VSTART]);
    s.XoffChar = char(t.c_cc[VSTOP]);
    return s;
}

int OpenSerialDevice(const std::string& path, int& fd) {
    fd = -1;
    // Non-blocking also keeps the open from waiting for carrier on a line without CLOCAL.
    int f = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (f < 0) return errno;
    if (!isatty(f)) {
        close(f);
        return ENOTTY;
    }
    if (flock(f, LOCK_EX | LOCK_NB) != 0) {
        int err = errno;
        close(f);
        return err == EWOULDBLOCK ? EBUSY : err;
    }
    ioctl(f, TIOCEXCL);
    fd = f;
    return 0;
}

bool IdentifyDevice(int fd, DeviceIdentity& out) {
    struct stat st {};
    if (fstat(fd, &st) != 0) return false;
    out = {std::uint64_t(st.st_rdev), std::uint64_t(st.st_ino)};
    return true;
}

bool IdentifyDevice(const std::string& path, DeviceIdentity& out) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return false;
    out = {std::uint64_t(st.st_rdev), std::uint64_t(st.st_ino)};
    return true;
}

void CloseSerialDevice(int fd) {
    if (fd < 0) return;
    ioctl(fd, TIOCNXCL);
    close(fd);
}

std::string DescribeOpenError(int err) {
    switch (err) {
        case ENOENT:
        case ENXIO:
        case ENODEV: return "no such device";
        case EACCES:
        case EPERM:
            return "permission denied (add your user to the dialout group: "
                   "sudo usermod -aG dialout $USER, then log in again)";
        case EBUSY: return "in use by another program";
        case ENOTTY: return "not a serial device";
        default: return std::strerror(err);
    }
}

bool IsVanishedError(int err) { return err == EIO || err == ENXIO || err == ENODEV || err == EBADF; }

int MakeLineRaw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return errno;
    return ApplyTermios(fd, MakeRawTermios(t));
}

int SetNonBlocking(int fd) {
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0) return errno;
    if (flags & O_NONBLOCK) return 0;
    return fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0 ? 0 : errno;
}

int GetLineSettings(int fd, LineSettings& out) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return errno;
    std::uint32_t baud = 0;
    if (ReadBaudRate(fd, baud) != 0) baud = RateOfConstant(cfgetospeed(&t));
    out = LineSettingsFromTermios(t, baud);
    return 0;
}

int SetLineSettings(int fd, const LineSettings& settings) {
    termios current{};
    if (tcgetattr(fd, &current) != 0) return errno;
    termios next{};
    bool customRate = false;
    if (int err = BuildTermios(current, settings, next, customRate)) return err;
    if (int err = ApplyTermios(fd, next)) return err;
    const std::uint32_t wanted = EffectiveBaudRate(settings.BaudRate);
    if (customRate)
        if (int err = SetCustomBaudRate(fd, wanted)) return err;
    // tcsetattr succeeds when any part of the change was taken; a driver that cannot make
    // the rate keeps another one, which would garble every byte.
    std::uint32_t actual = 0;
    if (ReadBaudRate(fd, actual) != 0) {
        if (tcgetattr(fd, &next) != 0) return errno;
        actual = RateOfConstant(cfgetospeed(&next));
    }
    return CloseEnough(wanted, actual) ? 0 : EINVAL;
}

int InputQueueCount(int fd, int& count) {
    count = 0;
    return ioctl(fd, FIONREAD, &count) == 0 ? 0 : errno;
}

int OutputQueueCount(int fd, int& count) {
    count = 0;
    return ioctl(fd, TIOCOUTQ, &count) == 0 ? 0 : errno;
}

int PurgeSerialDevice(int fd) { return tcflush(fd, TCIOFLUSH) == 0 ? 0 : errno; }

int PurgeSerialInput(int fd) { return tcflush(fd, TCIFLUSH) == 0 ? 0 : errno; }

int SetModemLine(int fd, ModemLine line, bool raised) {
    int bits = line == ModemLine::Dtr ? TIOCM_DTR : TIOCM_RTS;
    if (ioctl(fd, raised ? TIOCMBIS : TIOCMBIC, &bits) == 0) return 0;
    return IgnoreMissingModemSupport(errno);
}

void RequestLowLatency(int fd) {
    serial_struct info{};
    if (ioctl(fd, TIOCGSERIAL, &info) != 0) return;
    if (info.flags & ASYNC_LOW_LATENCY) return;
    info.flags |= ASYNC_LOW_LATENCY;
    ioctl(fd, TIOCSSERIAL, &info);
}

bool ReadLineErrorCounts(int fd, LineErrorCounts& out) {
    serial_icounter_struct counts{};
    if (ioctl(fd, TIOCGICOUNT, &counts) != 0) return false;
    out.frame = std::uint32_t(counts.frame);
    out.overrun = std::uint32_t(counts.overrun);
    out.parity = std::uint32_t(counts.parity);
    out.brk = std::uint32_t(counts.brk);
    out.bufferOverrun = std::uint32_t(counts.buf_overrun);
    return true;
}

bool WaitOutputDrained(int fd, std::uint32_t baudRate) {
    int queued = 0;
    if (OutputQueueCount(fd, queued) != 0) return false;
    if (queued <= 0) return true;
    // Ten bits a byte; at least a little for the bytes to move, at most a few hundred ms.
    const std::uint32_t baud = std::max<std::uint32_t>(baudRate, 50);
    const std::int64_t needMs = std::int64_t(queued) * 10 * 1000 / baud + 20;
    const std::int64_t deadline = RealNowMs() + std::clamp<std::int64_t>(needMs, 20, 500);
    while (queued > 0 && RealNowMs() < deadline) {
        poll(nullptr, 0, 2);
        if (OutputQueueCount(fd, queued) != 0) return false;
    }
    if (queued > 0) return false;
    // The count leaves out the UART's own FIFO (16 bytes on the common chips).
    poll(nullptr, 0, int(std::min<std::int64_t>(20, 16 * 10 * 1000 / baud + 1)));
    return true;
}

long ReadDevice(int fd, void* buffer, std::size_t count, int& err) {
    return RetryInterrupted([&] { return read(fd, buffer, count); }, err);
}

long WriteDevice(int fd, const void* buffer, std::size_t count, int& err) {
    return RetryInterrupted([&] { return write(fd, buffer, count); }, err);
}

PollStatus WaitReadable(int fd, const WakeEvent& wake, int timeoutMs, int& err) {
    return WaitFor(fd, POLLIN, wake, timeoutMs, err);
}

PollStatus WaitWritable(int fd, const WakeEvent& wake, int timeoutMs, int& err) {
    return WaitFor(fd, POLLOUT, wake, timeoutMs, err);
}

}  // namespace platform
