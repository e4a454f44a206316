#pragma once
// The raw USB channel of the USB writers: the first present device whose path names one of the
// supported vendor/product ids, with a write bounded by 1 s and a read of one transfer bounded
// by 2.5 s. Every CWriter has one; only the USB driver uses it.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/UsbDevice.h"

class UsbDeviceChannel {
public:
    static constexpr int kWriteTimeoutMs = 1000;
    static constexpr int kReadTimeoutMs = 2500;
    static constexpr std::size_t kReadSize = 8192;

    UsbDeviceChannel();
    // Closes the device, releasing its interface, so that the next writer can claim it.
    ~UsbDeviceChannel();
    UsbDeviceChannel(const UsbDeviceChannel&) = delete;
    UsbDeviceChannel& operator=(const UsbDeviceChannel&) = delete;

    // Opens the first device, in the back end's order, whose lower-cased path holds one of
    // deviceIds (the first id found decides; a device that will not open is passed over). True
    // when a device is open afterwards; an open channel stays as it is. On false,
    // LastOpenError says why.
    bool Open();
    // False when none was open.
    bool Close();
    // All of `data` in one transfer; false when refused, short, or not done within 1 s.
    bool Write(const std::string& data);
    // One transfer of up to 8192 bytes within `timeoutMs`: what arrived, possibly none.
    std::string Read(int timeoutMs = kReadTimeoutMs);
    bool IsOpen() const { return device_ != nullptr; }
    // The open device went away (unplugged); false when none is open.
    bool Gone() const { return device_ && device_->Gone(); }
    // NotFound when no supported device was present; else why the one found would not open.
    platform::UsbOpenError LastOpenError() const { return lastOpenError_; }

    // Ends the transfer in flight at once, and every later one (on this device or one opened
    // later), until ClearWake: a Stop never waits for a silent or stalled writer. Any thread.
    void Wake();
    void ClearWake();

    std::vector<std::string> deviceIds;

private:
    // A halted endpoint passes nothing until its halt is cleared: clear it and try once more.
    template <class Transfer>
    platform::UsbResult ClearingHalt(platform::UsbEndpoint endpoint, const Transfer& transfer);

    std::mutex lock_;  // guards device_ against Wake on another thread
    std::unique_ptr<platform::UsbDevice> device_;  // null when none is open
    bool woken_ = false;                           // guarded by lock_
    platform::UsbOpenError lastOpenError_ = platform::UsbOpenError::None;
};

// The 19 supported ids: vendor 0x112B, products 0x0001 to 0x0013, as "vid_112b&pid_0001".
const std::vector<std::string>& UsbWriterIds();
