#pragma once
// A scripted set of HID devices. Opening a device's reports gives one end of a socket pair that
// keeps report boundaries, as hidraw does; the test sends reports through the other end.
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "kbdhook/HidBackend.h"

class FakeHidBackend final : public kbdhook::HidBackend {
public:
    ~FakeHidBackend() override;

    void Add(const std::string& path, std::uint16_t vendor, std::uint16_t product,
             std::vector<std::uint8_t> descriptor);
    // Sends one report to the device's reader (false when it was never opened).
    bool SendReport(const std::string& path, const std::vector<std::uint8_t>& report);
    // The device goes: its reader's next read ends.
    void Unplug(const std::string& path);

    std::vector<kbdhook::HidDevice> Enumerate() override;
    bool ReadDescriptor(const std::string& path, std::vector<std::uint8_t>& descriptor) override;
    int OpenReports(const std::string& path) override;

private:
    std::mutex lock_;
    std::vector<kbdhook::HidDevice> devices_;
    std::map<std::string, std::vector<std::uint8_t>> descriptors_;
    std::map<std::string, int> deviceEnds_;
};

// A vendor-page (0xFFA1) descriptor with unnumbered input reports of `bytes` bytes.
std::vector<std::uint8_t> VendorDescriptor(int bytes);
