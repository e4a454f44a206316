#include "tests/fakes/FakeHidBackend.h"

#include <sys/socket.h>
#include <unistd.h>

FakeHidBackend::~FakeHidBackend() {
    for (auto& [path, fd] : deviceEnds_) close(fd);
}

void FakeHidBackend::Add(const std::string& path, std::uint16_t vendor, std::uint16_t product,
                         std::vector<std::uint8_t> descriptor) {
    std::lock_guard<std::mutex> guard(lock_);
    devices_.push_back({path, vendor, product});
    descriptors_[path] = std::move(descriptor);
}

bool FakeHidBackend::SendReport(const std::string& path, const std::vector<std::uint8_t>& report) {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = deviceEnds_.find(path);
    return it != deviceEnds_.end() &&
           send(it->second, report.data(), report.size(), MSG_NOSIGNAL) == ssize_t(report.size());
}

void FakeHidBackend::Unplug(const std::string& path) {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = deviceEnds_.find(path);
    if (it == deviceEnds_.end()) return;
    close(it->second);
    deviceEnds_.erase(it);
}

std::vector<kbdhook::HidDevice> FakeHidBackend::Enumerate() {
    std::lock_guard<std::mutex> guard(lock_);
    return devices_;
}

bool FakeHidBackend::ReadDescriptor(const std::string& path, std::vector<std::uint8_t>& descriptor) {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = descriptors_.find(path);
    if (it == descriptors_.end()) return false;
    descriptor = it->second;
    return true;
}

int FakeHidBackend::OpenReports(const std::string& path) {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) return -1;
    std::lock_guard<std::mutex> guard(lock_);
    auto it = deviceEnds_.find(path);
    if (it != deviceEnds_.end()) close(it->second);
    deviceEnds_[path] = ends[1];
    return ends[0];
}

std::vector<std::uint8_t> VendorDescriptor(int bytes) {
    return {0x06, 0xA1, 0xFF,                  // usage page 0xFFA1
            0x09, 0x01,                        // usage 1
            0xA1, 0x01,                        // collection (application)
            0x15, 0x00, 0x26, 0xFF, 0x00,      // logical 0..255
            0x75, 0x08, 0x95, std::uint8_t(bytes),  // report size 8, count
            0x09, 0x01, 0x81, 0x02,            // input
            0xC0};
}
