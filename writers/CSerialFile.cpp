#include "writers/CSerialFile.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <istream>
#include <ostream>

#include "core/ByteOrder.h"
#include "core/TextUtil.h"
#include "platform/Clock.h"
#include "platform/Presenter.h"
#include "platform/SerialPortNames.h"
#include "writers/CDeviceControlBlock.h"

namespace {

// The plain notices of an adopted port: a message box on the user-interface thread; from the
// reader thread the presenter writes them to standard error instead.
void ShowPortMessage(const std::string& text) { platform::ShowMessageBox(text); }

int WindowsCode(int err) {
    if (err == EINVAL) return CSerialFile::kErrorInvalidParameter;
    if (platform::IsVanishedError(err)) return CSerialFile::kErrorInvalidHandle;
    return err;
}

std::string Field(const std::string& text, std::size_t index) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < index; ++i) {
        start = text.find(',', start);
        if (start == std::string::npos) return "";
        ++start;
    }
    return text.substr(start, text.find(',', start) - start);
}

void PutU32(std::ostream& out, std::uint32_t value) {
    std::string bytes;
    AppendLittleEndian32(bytes, value);
    out.write(bytes.data(), 4);
}

bool GetU32(std::istream& in, std::uint32_t& value) {
    unsigned char bytes[4];
    if (!in.read(reinterpret_cast<char*>(bytes), 4)) return false;
    value = ReadLittleEndian32(bytes);
    return true;
}

constexpr std::uint32_t kMaxStoredSpec = 4096;

}  // namespace

CSerialFile::CSerialFile() = default;

CSerialFile::~CSerialFile() { Close(); }

bool CSerialFile::Open(const char* spec) {
    if (!spec) {
        lastError = kErrorInvalidParameter;
        return false;
    }
    if (opened) Close();
    portSpec = spec;
    return OpenPort();
}

void CSerialFile::ApplySpecification(const std::string& settings, platform::LineSettings& dcb) {
    // Values out of range become 0, which applying the record refuses.
    const int baud = StrToInt(Field(settings, 0));
    const int bits = StrToInt(Field(settings, 2));
    const std::string parity = Field(settings, 1);
    dcb.BaudRate = baud > 0 ? std::uint32_t(baud) : 0;
    dcb.ByteSize = bits > 0 && bits < 256 ? std::uint8_t(bits) : 0;
    if (parity == "E" || parity == "e")
        dcb.Parity = platform::kEvenParity;
    else if (parity == "O" || parity == "o")
        dcb.Parity = platform::kOddParity;
    else if (parity == "M" || parity == "m")
        dcb.Parity = platform::kMarkParity;
    else
        dcb.Parity = platform::kNoParity;
    dcb.StopBits = Field(settings, 3) == "2" ? platform::kTwoStopBits : platform::kOneStopBit;
    dcb.fBinary = true;
    dcb.fErrorChar = false;
    dcb.fAbortOnError = true;
    dcb.ErrorChar = 0x20;
}

bool CSerialFile::OpenPort() {
    if (opened) Close();
    // Settings never hold a ":", a device path may (by-path names do).
    const std::size_t colon = portSpec.rfind(':');
    const std::string device = portSpec.substr(0, colon);
    const std::string settings = colon == std::string::npos ? "" : portSpec.substr(colon + 1);
    const std::string path = platform::ResolveSerialDevice(device);
    deviceName = device;
    devicePath = path;

    int fd = kInvalidHandle;
    if (int err = platform::OpenSerialDevice(path, fd)) {
        lastError = err == EINVAL ? kErrorInvalidParameter : err;
        ReportOpenFailure(device, path, platform::DescribeOpenError(err));
        return false;
    }
    // Every failure from here releases the descriptor.
    auto fail = [&](int err, const std::string& reason) {
        platform::CloseSerialDevice(fd);
        lastError = WindowsCode(err);
        ReportOpenFailure(device, path, reason);
        return false;
    };
    platform::PurgeSerialDevice(fd);
    CDeviceControlBlock dcb;
    int err = platform::MakeLineRaw(fd);
    if (!err) err = platform::GetLineSettings(fd, dcb);
    if (err) return fail(err, platform::DescribeOpenError(err));
    ApplySpecification(settings, dcb);
    if ((err = platform::SetLineSettings(fd, dcb)) != 0) {
        if (err == EINVAL) return fail(err, "the line settings \"" + settings + "\" cannot be used");
        return fail(err, platform::DescribeOpenError(err));
    }
    platform::RequestLowLatency(fd);
    if ((err = platform::SetModemLine(fd, platform::ModemLine::Dtr, true)) != 0)
        return fail(err, platform::DescribeOpenError(err));
    Adopt(fd, 0, platform::EffectiveBaudRate(dcb.BaudRate));
    platform::IdentifyDevice(fd, openedDevice);
    lastOpenFailure.clear();
    openFailureReason.clear();
    return true;
}

bool CSerialFile::NewDeviceBehindName() const {
    if (deviceName.empty()) return false;
    platform::DeviceIdentity now;
    return platform::IdentifyDevice(platform::ResolveSerialDevice(deviceName), now) && !(now == openedDevice);
}

std::string CSerialFile::DeviceText() const {
    if (deviceName.empty() || deviceName == devicePath) return devicePath;
    return deviceName + " = " + devicePath;
}

// One line for a user who started the program from a terminal and wonders why the writer
// does not answer; a driver that keeps reopening a missing port repeats it only when the
// reason changes.
void CSerialFile::ReportOpenFailure(const std::string& device, const std::string& path,
                                    const std::string& reason) {
    openFailureReason = reason;
    const std::string where = device == path ? device : device + " (" + path + ")";
    std::string line = "cannot open serial port " + where + ": " + reason;
    if (line == lastOpenFailure) return;
    std::fprintf(stderr, "Dictionary Quillfast: %s\n", line.c_str());
    lastOpenFailure = std::move(line);
}

bool CSerialFile::Attach(int fd) {
    if (opened) Close();
    if (fd < 0) {
        lastError = kErrorInvalidHandle;
        return false;
    }
    platform::SetNonBlocking(fd);
    platform::PurgeSerialDevice(fd);
    platform::SetModemLine(fd, platform::ModemLine::Dtr, true);
    platform::LineSettings line;
    Adopt(fd, 1, platform::GetLineSettings(fd, line) == 0 ? line.BaudRate : 0);
    return true;
}

void CSerialFile::Adopt(int fd, int direct, std::uint32_t rate) {
    commHandle = fileHandle = fd;
    opened = 1;
    directIo = direct;
    baudRate = rate;
    commErrors = 0;
    comStat = ComStat{};
    hasLineCounts = platform::ReadLineErrorCounts(fd, lineCounts);
    wake.Clear();
}

void CSerialFile::Close() {
    if (!opened) return;
    if (commHandle != kInvalidHandle) CheckCommError(0);
    if (commHandle != kInvalidHandle) {
        // A last request to the writer must not be cut off by the purge. Output is purged only
        // when it did not drain: a pseudo-terminal counts none but would drop what the far
        // side has not read yet.
        const bool drained = platform::WaitOutputDrained(commHandle, baudRate);
        platform::SetModemLine(commHandle, platform::ModemLine::Dtr, false);
        if (drained)
            platform::PurgeSerialInput(commHandle);
        else
            platform::PurgeSerialDevice(commHandle);
    }
    // Also releases the descriptor of a device that has gone.
    CDummyFile::Close();
    commHandle = kInvalidHandle;
    opened = 0;
    directIo = 0;
}

void CSerialFile::MarkVanished() {
    lastError = kErrorInvalidHandle;
    commHandle = kInvalidHandle;
    comStat = ComStat{};
}

void CSerialFile::Fail(int err) {
    if (platform::IsVanishedError(err))
        MarkVanished();
    else
        lastError = WindowsCode(err);
}

void CSerialFile::FailWrite(int err) {
    Fail(err);
    if (directIo) ShowPortMessage("Modem output error: " + std::to_string(lastError));
}

void CSerialFile::CheckCommError(int /*tag*/) {
    if (commHandle == kInvalidHandle) {
        lastError = kErrorInvalidHandle;
        return;
    }
    int in = 0, out = 0;
    if (int err = platform::InputQueueCount(commHandle, in)) return Fail(err);
    // An adopted descriptor may have no output count; that is no line error.
    if (int err = platform::OutputQueueCount(commHandle, out); err && err != ENOTTY && err != EINVAL)
        return Fail(err);
    comStat.cbInQue = unsigned(std::max(in, 0));
    comStat.cbOutQue = unsigned(std::max(out, 0));
    commErrors = 0;
    platform::LineErrorCounts now;
    if (hasLineCounts && platform::ReadLineErrorCounts(commHandle, now)) {
        commErrors = LineErrorBits(lineCounts, now);
        lineCounts = now;
    }
    if (commErrors & CE_FRAME) {
        platform::PurgeSerialInput(commHandle);
        comStat.cbInQue = 0;
    }
    if (commErrors & CE_RXOVER) lastError = kErrorOverflow;
}

unsigned CSerialFile::LineErrorBits(const platform::LineErrorCounts& before,
                                    const platform::LineErrorCounts& now) {
    unsigned bits = 0;
    if (now.bufferOverrun != before.bufferOverrun) bits |= CE_RXOVER;
    if (now.overrun != before.overrun) bits |= CE_OVERRUN;
    if (now.parity != before.parity) bits |= CE_RXPARITY;
    if (now.frame != before.frame) bits |= CE_FRAME;
    if (now.brk != before.brk) bits |= CE_BREAK;
    return bits;
}

unsigned CSerialFile::Read(void* buffer, unsigned count) {
    return ReadUntil(buffer, count, platform::kWaitForever);
}

unsigned CSerialFile::ReadWaitingNow(void* buffer, unsigned count) {
    if (!opened || !buffer || count == 0 || commHandle == kInvalidHandle) return 0;
    if (!lineCheckedThisWake) CheckCommError(1);
    lineCheckedThisWake = true;
    if (commHandle == kInvalidHandle) return 0;
    int err = 0;
    const long n = platform::ReadDevice(commHandle, buffer, count, err);
    if (n > 0) return unsigned(n);
    if (n == 0)
        MarkVanished();  // a hung-up terminal reads as the end of the file
    else if (err != EAGAIN)
        Fail(err);
    return 0;
}

unsigned CSerialFile::ReadWithin(void* buffer, unsigned count, int timeoutMs) {
    return ReadUntil(buffer, count, std::max(timeoutMs, 0));
}

unsigned CSerialFile::ReadUntil(void* buffer, unsigned count, int timeoutMs) {
    if (!opened || !buffer || commHandle == kInvalidHandle) return 0;
    // The limit runs from here, whatever the line check below does to the input: a framing
    // error purges what a caller saw waiting, and the read must not then wait for ever.
    using Steady = std::chrono::steady_clock;
    const auto deadline = Steady::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    CheckCommError(1);
    char* out = static_cast<char*>(buffer);
    unsigned got = 0;
    while (got < count && commHandle != kInvalidHandle) {
        int err = 0;
        long n = platform::ReadDevice(commHandle, out + got, count - got, err);
        if (n > 0) {
            got += unsigned(n);
            continue;
        }
        if (n == 0) {  // a hung-up terminal reads as the end of the file
            MarkVanished();
            break;
        }
        if (err != EAGAIN) {
            Fail(err);
            break;
        }
        int wait = platform::kWaitForever;
        if (timeoutMs != platform::kWaitForever) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Steady::now());
            if (left.count() <= 0) break;
            wait = int(left.count());
        }
        platform::PollStatus status = platform::WaitReadable(commHandle, wake, wait, err);
        if (status == platform::PollStatus::HungUp) MarkVanished();
        if (status == platform::PollStatus::Failed) Fail(err);
        if (status != platform::PollStatus::Ready) break;
    }
    return got;
}

void CSerialFile::Write(const void* buffer, unsigned count) {
    if (!opened || !buffer || commHandle == kInvalidHandle) return;
    CheckCommError(2);
    if (commHandle == kInvalidHandle) {  // the check found the device gone
        if (directIo) ShowPortMessage("Modem output error: " + std::to_string(lastError));
        return;
    }
    const char* in = static_cast<const char*>(buffer);
    unsigned sent = 0;
    while (sent < count && commHandle != kInvalidHandle) {
        int err = 0;
        long n = platform::WriteDevice(commHandle, in + sent, count - sent, err);
        if (n > 0) {
            sent += unsigned(n);
            continue;
        }
        if (n < 0 && err != EAGAIN) return FailWrite(err);
        // The device takes nothing now (a full queue, or flow control holding the line).
        switch (platform::WaitWritable(commHandle, wake, writeStallLimitMs, err)) {
            case platform::PollStatus::Ready: break;
            case platform::PollStatus::Woken: lastError = ECANCELED; return;
            case platform::PollStatus::Timeout:
                lastError = ETIMEDOUT;
                if (directIo) ShowPortMessage("Output error timeout.");
                return;
            case platform::PollStatus::HungUp: return FailWrite(EIO);
            case platform::PollStatus::Failed: return FailWrite(err);
        }
    }
}

void CSerialFile::WriteString(const std::string& text) {
    if (opened) Write(text.data(), unsigned(text.size()));
}

bool CSerialFile::IsDataAvailable() {
    if (!opened || commHandle == kInvalidHandle) return false;
    CheckCommError(3);
    return commHandle != kInvalidHandle && comStat.cbInQue > 0;
}

int CSerialFile::GetInQueueCount() {
    if (commHandle == kInvalidHandle) return 0;
    CheckCommError(4);
    return int(comStat.cbInQue);
}

int CSerialFile::GetOutQueueCount() {
    if (commHandle == kInvalidHandle) return 0;
    CheckCommError(5);
    return int(comStat.cbOutQue);
}

void CSerialFile::FlushInput() {
    if (!IsDataAvailable()) return;
    unsigned left = comStat.cbInQue;
    char scratch[256];
    while (left > 0 && commHandle != kInvalidHandle) {
        int err = 0;
        long n = platform::ReadDevice(commHandle, scratch, std::min<std::size_t>(left, sizeof scratch), err);
        if (n > 0) {
            left -= unsigned(n);
        } else {
            if (n == 0) MarkVanished();
            if (n < 0 && err != EAGAIN) Fail(err);
            break;
        }
    }
}

void CSerialFile::SetRTS() {
    if (opened && commHandle != kInvalidHandle)
        if (int err = platform::SetModemLine(commHandle, platform::ModemLine::Rts, true)) Fail(err);
}

void CSerialFile::SetDTR() {
    if (opened && commHandle != kInvalidHandle)
        if (int err = platform::SetModemLine(commHandle, platform::ModemLine::Dtr, true)) Fail(err);
}

void CSerialFile::ClearDTR() {
    if (opened && commHandle != kInvalidHandle)
        if (int err = platform::SetModemLine(commHandle, platform::ModemLine::Dtr, false)) Fail(err);
}

void CSerialFile::SetFlowControl(int flags) {
    if (flags == 0 || commHandle == kInvalidHandle) return;
    CDeviceControlBlock dcb;
    if (int err = platform::GetLineSettings(commHandle, dcb)) return Fail(err);
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = (flags & kFlowCtsDsr) != 0;
    const bool xonXoff = (flags & kFlowXonXoff) != 0;
    dcb.fOutX = dcb.fInX = xonXoff;
    dcb.XonChar = xonXoff ? 0x11 : 0;
    dcb.XoffChar = xonXoff ? 0x13 : 0;
    dcb.XonLim = dcb.XoffLim = xonXoff ? 100 : 0;
    if (int err = platform::SetLineSettings(commHandle, dcb)) Fail(err);
}

int CSerialFile::GetFlowControl() {
    if (commHandle == kInvalidHandle) return 0;
    CDeviceControlBlock dcb;
    if (int err = platform::GetLineSettings(commHandle, dcb)) {
        Fail(err);
        return 0;
    }
    int flags = 0;
    if (dcb.fOutX && dcb.fInX) flags |= kFlowXonXoff;
    if (dcb.fOutxCtsFlow && dcb.fOutxDsrFlow) flags |= kFlowCtsDsr;
    return flags;
}

void CSerialFile::Serialize(std::ostream& out) const {
    PutU32(out, std::uint32_t(opened));
    PutU32(out, std::uint32_t(portSpec.size()));
    out.write(portSpec.data(), std::streamsize(portSpec.size()));
}

bool CSerialFile::Serialize(std::istream& in) {
    std::uint32_t flag = 0, length = 0;
    if (!GetU32(in, flag) || !GetU32(in, length) || length > kMaxStoredSpec) return false;
    std::string spec(length, '\0');
    if (length && !in.read(spec.data(), std::streamsize(length))) return false;
    // A port that was open is closed, never left open behind a stored flag of 0.
    Close();
    portSpec = spec;
    if (flag == 1) OpenPort();
    return true;
}

WaitResult CSerialFile::WaitForInput(int timeoutMs) {
    if (!opened || commHandle == kInvalidHandle) return WaitResult::Closed;
    lineCheckedThisWake = false;
    int err = 0;
    const int timeout = std::max(timeoutMs, 0);
    switch (platform::WaitReadable(commHandle, wake, timeout, err)) {
        case platform::PollStatus::Ready: return WaitResult::Ready;
        case platform::PollStatus::Timeout: return WaitResult::Timeout;
        case platform::PollStatus::Woken: return WaitResult::Woken;
        case platform::PollStatus::HungUp: MarkVanished(); return WaitResult::Closed;
        case platform::PollStatus::Failed: break;
    }
    // poll itself failed (no memory): pass the time rather than let the caller spin.
    lastError = err;
    platform::SleepMs(timeout);
    return WaitResult::Timeout;
}

void CSerialFile::Wake() { wake.Set(); }

void CSerialFile::ClearWake() { wake.Clear(); }
