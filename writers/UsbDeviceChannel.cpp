#include "writers/UsbDeviceChannel.h"

#include <algorithm>

namespace {
// Device paths and ids are ASCII.
std::string AsciiLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : char(c); });
    return text;
}
}  // namespace

const std::vector<std::string>& UsbWriterIds() {
    static const std::vector<std::string> ids = [] {
        std::vector<std::string> list;
        for (unsigned product = 0x0001; product <= 0x0013; ++product)
            list.push_back(platform::UsbIdFragment(0x112B, product));
        return list;
    }();
    return ids;
}

UsbDeviceChannel::UsbDeviceChannel() : deviceIds(UsbWriterIds()) {}

UsbDeviceChannel::~UsbDeviceChannel() { Close(); }

bool UsbDeviceChannel::Open() {
    // Searching again would find the device busy with our own claim and drop it.
    if (device) return true;
    platform::UsbBackend& backend = platform::CurrentUsbBackend();
    for (const std::string& path : backend.DevicePaths()) {
        const std::string lower = AsciiLower(path);
        for (const std::string& id : deviceIds) {
            if (lower.find(AsciiLower(id)) == std::string::npos) continue;
            device = backend.Open(path);
            break;
        }
        if (device) return true;
    }
    return false;
}

bool UsbDeviceChannel::Close() {
    if (!device) return false;
    device.reset();
    return true;
}

bool UsbDeviceChannel::Write(const std::string& data) {
    return device && device->Write(data, kWriteTimeoutMs);
}

std::string UsbDeviceChannel::Read(int timeoutMs) {
    if (!device) return {};
    return device->Read(kReadSize, timeoutMs);
}
