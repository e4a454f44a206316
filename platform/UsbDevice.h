#pragma once
// Raw USB devices for the USB writers: a list of the devices present and bulk transfers on the
// first bulk endpoints of interface 0. The system's back end is libusb (asynchronous
// transfers, so that a stop ends one at once); tests install a scripted one.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// How one transfer ended.
enum class UsbResult {
    Done,       // every byte written / a reply read
    TimedOut,   // nothing (or, for a write, not every byte) within the time
    Stalled,    // the endpoint is halted: nothing moves on it until the halt is cleared
    Gone,       // the device went away (unplugged): later transfers fail at once
    Cancelled,  // Cancel ended it, or Cancel is in force
    Failed,     // any other error
};

enum class UsbEndpoint { In, Out };

class UsbDevice {
public:
    // Releases the interface and closes the device.
    virtual ~UsbDevice() = default;
    // Sends `data` in one bulk transfer: Done only when every byte was taken within `timeoutMs`.
    virtual UsbResult Write(const std::string& data, int timeoutMs) = 0;
    // One bulk transfer of at most `max` bytes into `data` (what arrived, possibly none).
    virtual UsbResult Read(std::string& data, std::size_t max, int timeoutMs) = 0;
    // Clears a halt (stall) of the endpoint; true when the device took the request.
    virtual bool ClearHalt(UsbEndpoint endpoint) = 0;
    // Ends the transfer in flight at once and makes later ones end at once too (Cancelled),
    // until Resume. Any thread.
    virtual void Cancel() = 0;
    virtual void Resume() = 0;
    // True once the device has gone (unplugged): later transfers fail at once.
    virtual bool Gone() const = 0;
};

// Why a device could not be opened.
enum class UsbOpenError {
    None,
    NotFound,      // no such device (any more)
    AccessDenied,  // the device node is not ours to open (no udev rule)
    Busy,          // another program has claimed it
    Failed,        // anything else
};

class UsbBackend {
public:
    virtual ~UsbBackend() = default;
    // A path for every device present, in a stable order (bus, then port), each holding the
    // device's ids as "vid_xxxx&pid_xxxx" in lower-case hexadecimal.
    virtual std::vector<std::string> DevicePaths() = 0;
    // Opens the device, claims interface 0 (detaching a kernel driver); null on failure, with
    // the reason in `error`.
    virtual std::unique_ptr<UsbDevice> Open(const std::string& path, UsbOpenError& error) = 0;
};

// The back end in use: libusb's unless a test installed another (null puts libusb's back).
UsbBackend& CurrentUsbBackend();
void InstallUsbBackend(UsbBackend* backend);

// "vid_112b&pid_0001" for the ids.
std::string UsbIdFragment(unsigned vendorId, unsigned productId);

}  // namespace platform
