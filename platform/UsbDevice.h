#pragma once
// Raw USB devices for the USB writers: a list of the devices present and bulk transfers on the
// first bulk endpoints of interface 0. The system's back end is libusb; tests install a
// scripted one.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class UsbDevice {
public:
    // Releases the interface and closes the device.
    virtual ~UsbDevice() = default;
    // Sends `data` in one bulk transfer: true only when every byte was taken within `timeoutMs`.
    virtual bool Write(const std::string& data, int timeoutMs) = 0;
    // One bulk transfer of at most `max` bytes: what arrived within `timeoutMs`, possibly none.
    virtual std::string Read(std::size_t max, int timeoutMs) = 0;
    // True once the device has gone (unplugged): later transfers fail at once.
    virtual bool Gone() const = 0;
};

class UsbBackend {
public:
    virtual ~UsbBackend() = default;
    // A path for every device present, in a stable order (bus, then port), each holding the
    // device's ids as "vid_xxxx&pid_xxxx" in lower-case hexadecimal.
    virtual std::vector<std::string> DevicePaths() = 0;
    // Opens the device, claims interface 0 (detaching a kernel driver); null on failure.
    virtual std::unique_ptr<UsbDevice> Open(const std::string& path) = 0;
};

// The back end in use: libusb's unless a test installed another (null puts libusb's back).
UsbBackend& CurrentUsbBackend();
void InstallUsbBackend(UsbBackend* backend);

// "vid_112b&pid_0001" for the ids.
std::string UsbIdFragment(unsigned vendorId, unsigned productId);

}  // namespace platform
