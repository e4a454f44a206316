#pragma once
// A scripted set of HID devices. Opening a device's reports gives one end of a socket pair that
// keeps report boundaries, as hidraw does; the test sends reports through the other end. It
// also answers, as the system's hidraw nodes would, which devices are present (each plug-in a
// new instance) and whether they may be read; installed for that while it lives.
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "kbdhook/HidBackend.h"
#include "platform/HidDevices.h"

class FakeHidBackend final : public kbdhook::HidBackend, public platform::HidNodes {
public:
    FakeHidBackend();
    ~FakeHidBackend() override;

    void Add(const std::string& path, std::uint16_t vendor, std::uint16_t product,
             std::vector<std::uint8_t> descriptor);
    // Sends one report to the device's reader (false when it was never opened).
    bool SendReport(const std::string& path, const std::vector<std::uint8_t>& report);
    // The device goes: its reader's next read ends and it is no longer listed.
    void Unplug(const std::string& path);
    // An unplugged device comes back, as a new instance.
    void PlugIn(const std::string& path);
    // Its node is not readable for us (no udev rule): listed, but it will not open.
    void DenyAccess(const std::string& path, bool denied = true);

    std::vector<kbdhook::HidDevice> Enumerate() override;
    bool ReadDescriptor(const std::string& path, std::vector<std::uint8_t>& descriptor) override;
    int OpenReports(const std::string& path) override;
    std::vector<platform::HidNode> Find(std::uint16_t vendorId, std::uint16_t productId) override;

private:
    struct Device {
        kbdhook::HidDevice ids;
        bool plugged = true;
        bool denied = false;
        int instance = 0;
    };
    std::mutex lock_;
    std::vector<Device> devices_;
    int instances_ = 0;
    std::map<std::string, std::vector<std::uint8_t>> descriptors_;
    std::map<std::string, int> deviceEnds_;
};

// A vendor-page (0xFFA1) descriptor with unnumbered input reports of `bytes` bytes.
std::vector<std::uint8_t> VendorDescriptor(int bytes);
