#include "platform/WakeEvent.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace platform {

WakeEvent::WakeEvent() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WakeEvent::~WakeEvent() {
    if (fd_ >= 0) close(fd_);
}

void WakeEvent::Set() {
    set_.store(true);
    if (fd_ >= 0) {
        std::uint64_t one = 1;
        // A full counter (never reached) would only mean it is readable already.
        [[maybe_unused]] ssize_t ignored = write(fd_, &one, sizeof one);
    }
}

void WakeEvent::Clear() {
    set_.store(false);
    if (fd_ >= 0) {
        std::uint64_t value = 0;
        [[maybe_unused]] ssize_t ignored = read(fd_, &value, sizeof value);
    }
}

void WakeEvent::DrainIfClear() const {
    if (!set_.load() && fd_ >= 0) {
        std::uint64_t value = 0;
        [[maybe_unused]] ssize_t ignored = read(fd_, &value, sizeof value);
    }
}

}  // namespace platform
