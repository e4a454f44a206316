#include "tests/fakes/FakeHidBackend.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

FakeHidBackend::FakeHidBackend() { platform::InstallHidNodes(this); }

FakeHidBackend::~FakeHidBackend() {
    platform::InstallHidNodes(nullptr);
    for (auto& [path, fd] : deviceEnds_) close(fd);
}

void FakeHidBackend::Add(const std::string& path, std::uint16_t vendor, std::uint16_t product,
                         std::vector<std::uint8_t> descriptor) {
    std::lock_guard<std::mutex> guard(lock_);
    devices_.push_back({{path, vendor, product}, true, false, ++instances_});
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
    for (Device& d : devices_)
        if (d.ids.path == path) d.plugged = false;
    auto it = deviceEnds_.find(path);
    if (it == deviceEnds_.end()) return;
    close(it->second);
    deviceEnds_.erase(it);
}

void FakeHidBackend::PlugIn(const std::string& path) {
    std::lock_guard<std::mutex> guard(lock_);
    for (Device& d : devices_) {
        if (d.ids.path != path || d.plugged) continue;
        d.plugged = true;
        d.instance = ++instances_;
    }
}

void FakeHidBackend::DenyAccess(const std::string& path, bool denied) {
    std::lock_guard<std::mutex> guard(lock_);
    for (Device& d : devices_)
        if (d.ids.path == path) d.denied = denied;
}

std::vector<kbdhook::HidDevice> FakeHidBackend::Enumerate() {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<kbdhook::HidDevice> listed;
    for (const Device& d : devices_)
        if (d.plugged) listed.push_back(d.ids);
    return listed;
}

bool FakeHidBackend::ReadDescriptor(const std::string& path, std::vector<std::uint8_t>& descriptor) {
    std::lock_guard<std::mutex> guard(lock_);
    for (const Device& d : devices_)
        if (d.ids.path == path && (!d.plugged || d.denied)) return false;
    auto it = descriptors_.find(path);
    if (it == descriptors_.end()) return false;
    descriptor = it->second;
    return true;
}

int FakeHidBackend::OpenReports(const std::string& path) {
    std::lock_guard<std::mutex> guard(lock_);
    for (const Device& d : devices_)
        if (d.ids.path == path && (!d.plugged || d.denied)) return -1;
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) return -1;
    auto it = deviceEnds_.find(path);
    if (it != deviceEnds_.end()) close(it->second);
    deviceEnds_[path] = ends[1];
    return ends[0];
}

std::vector<platform::HidNode> FakeHidBackend::Find(std::uint16_t vendorId, std::uint16_t productId) {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<platform::HidNode> nodes;
    for (const Device& d : devices_) {
        if (!d.plugged || d.ids.vendorId != vendorId || d.ids.productId != productId) continue;
        char instance[32];
        std::snprintf(instance, sizeof instance, "0003:%04X:%04X.%04X", vendorId, productId, d.instance);
        nodes.push_back({d.ids.path, instance, !d.denied});
    }
    return nodes;
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
