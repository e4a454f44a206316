#include "tests/sim/PtyPair.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/SerialBaudRate.h"
#include "platform/SerialPortNames.h"

namespace sim {
namespace {

std::int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void MakeRaw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return;
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
}

}  // namespace

PtyPair::PtyPair(int comNumber) : comNumber_(comNumber) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        error_ = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
        if (master_ >= 0) close(master_);
        master_ = -1;
        return;
    }
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0) {
        error_ = "no slave name";
        close(master_);
        master_ = -1;
        return;
    }
    slavePath_ = name;
    MakeRaw(master_);
    observer_ = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (observer_ >= 0) MakeRaw(observer_);

    if (comNumber_ > 0) {
        const std::string folder = platform::SerialDeviceFolder();
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        linkPath_ = folder + "/COM" + std::to_string(comNumber_);
        unlink(linkPath_.c_str());
        if (symlink(slavePath_.c_str(), linkPath_.c_str()) != 0)
            error_ = "cannot link " + linkPath_ + ": " + std::strerror(errno);
    }
}

PtyPair::~PtyPair() {
    if (!linkPath_.empty()) unlink(linkPath_.c_str());
    if (observer_ >= 0) close(observer_);
    if (master_ >= 0) close(master_);
}

std::string PtyPair::PortName() const { return "COM" + std::to_string(comNumber_); }

std::string PtyPair::PortSpec(const std::string& settings) const { return PortName() + ":" + settings; }

bool PtyPair::Send(const std::string& bytes) {
    std::size_t sent = 0;
    const std::int64_t deadline = NowMs() + 5000;
    while (master_ >= 0 && sent < bytes.size()) {
        ssize_t n = write(master_, bytes.data() + sent, bytes.size() - sent);
        if (n > 0) {
            sent += std::size_t(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR) && NowMs() < deadline) {
            pollfd p{master_, POLLOUT, 0};
            poll(&p, 1, 10);
        } else {
            return false;
        }
    }
    return master_ >= 0;
}

std::string PtyPair::Receive(std::size_t count, int timeoutMs) {
    std::string got;
    const std::int64_t deadline = NowMs() + timeoutMs;
    while (master_ >= 0 && got.size() < count) {
        char buffer[512];
        ssize_t n = read(master_, buffer, std::min(sizeof buffer, count - got.size()));
        if (n > 0) {
            got.append(buffer, std::size_t(n));
            continue;
        }
        const std::int64_t left = deadline - NowMs();
        if (left <= 0) break;
        pollfd p{master_, POLLIN, 0};
        // Without the observer a closed slave would make poll report a hang-up at once.
        if (poll(&p, 1, int(left)) > 0 && !(p.revents & POLLIN)) poll(nullptr, 0, 5);
    }
    return got;
}

std::string PtyPair::ReceiveUntilQuiet(int quietMs, int maxMs) {
    std::string got;
    const std::int64_t end = NowMs() + maxMs;
    for (;;) {
        const int wait = int(std::min<std::int64_t>(quietMs, end - NowMs()));
        if (wait <= 0) break;
        std::string more = Receive(4096, wait);
        if (more.empty()) break;
        got += more;
    }
    return got;
}

int PtyPair::Unread() const {
    int count = 0;
    // The slave's input queue is one for all its descriptors: the observer sees the program's.
    if (observer_ < 0 || ioctl(observer_, FIONREAD, &count) != 0) return -1;
    return count;
}

bool PtyPair::SlaveSettings(termios& out) const { return observer_ >= 0 && tcgetattr(observer_, &out) == 0; }

std::uint32_t PtyPair::SlaveBaudRate() const {
    std::uint32_t rate = 0;
    if (observer_ >= 0) platform::ReadBaudRate(observer_, rate);
    return rate;
}

void PtyPair::Vanish() {
    if (master_ >= 0) close(master_);
    master_ = -1;
}

}  // namespace sim
