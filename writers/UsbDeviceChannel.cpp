#include "writers/UsbDeviceChannel.h"

#include <algorithm>

#include "platform/Clock.h"

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
    if (device_) return true;
    platform::UsbBackend& backend = platform::CurrentUsbBackend();
    lastOpenError_ = platform::UsbOpenError::NotFound;
    for (const std::string& path : backend.DevicePaths()) {
        const std::string lower = AsciiLower(path);
        for (const std::string& id : deviceIds) {
            if (lower.find(AsciiLower(id)) == std::string::npos) continue;
            platform::UsbOpenError error = platform::UsbOpenError::Failed;
            std::unique_ptr<platform::UsbDevice> opened = backend.Open(path, error);
            if (!opened) {
                lastOpenError_ = error;
                break;
            }
            std::lock_guard<std::mutex> guard(lock_);
            if (woken_) opened->Cancel();
            device_ = std::move(opened);
            lastOpenError_ = platform::UsbOpenError::None;
            return true;
        }
    }
    return false;
}

bool UsbDeviceChannel::Close() {
    std::unique_ptr<platform::UsbDevice> closing;
    {
        std::lock_guard<std::mutex> guard(lock_);
        closing = std::move(device_);
    }
    return closing != nullptr;
}

void UsbDeviceChannel::Wake() {
    std::lock_guard<std::mutex> guard(lock_);
    woken_ = true;
    if (device_) device_->Cancel();
}

void UsbDeviceChannel::ClearWake() {
    std::lock_guard<std::mutex> guard(lock_);
    woken_ = false;
    if (device_) device_->Resume();
}

template <class Transfer>
platform::UsbResult UsbDeviceChannel::ClearingHalt(platform::UsbEndpoint endpoint,
                                                   const Transfer& transfer) {
    platform::UsbResult result = transfer();
    if (result == platform::UsbResult::Stalled && device_->ClearHalt(endpoint)) result = transfer();
    return result;
}

bool UsbDeviceChannel::Write(const std::string& data) {
    if (!device_) return false;
    return ClearingHalt(platform::UsbEndpoint::Out, [&] {
               return device_->Write(data, kWriteTimeoutMs);
           }) == platform::UsbResult::Done;
}

std::string UsbDeviceChannel::Read(int timeoutMs) {
    if (!device_) return {};
    const std::int64_t end = platform::MonotonicMs() + timeoutMs;
    std::string reply;
    const platform::UsbResult result = ClearingHalt(platform::UsbEndpoint::In, [&] {
        const std::int64_t left = std::max<std::int64_t>(end - platform::MonotonicMs(), 1);
        return device_->Read(reply, kReadSize, int(left));
    });
    if (result != platform::UsbResult::Done) reply.clear();
    return reply;
}
