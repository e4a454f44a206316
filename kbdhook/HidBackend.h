#pragma once
// The HID devices as the keyboard search sees them. The system's back end lists devices through
// hidapi (hidraw) and reads descriptors and reports from the hidraw nodes; tests put a scripted
// one in its place.
#include <cstdint>
#include <string>
#include <vector>

namespace kbdhook {

struct HidDevice {
    std::string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
};

class HidBackend {
public:
    virtual ~HidBackend() = default;
    // The devices present, in a stable order.
    virtual std::vector<HidDevice> Enumerate() = 0;
    virtual bool ReadDescriptor(const std::string& path, std::vector<std::uint8_t>& descriptor) = 0;
    // A descriptor that delivers one input report per read (without the report-id byte when the
    // device does not number its reports, as hidraw does), or -1. The caller closes it.
    virtual int OpenReports(const std::string& path) = 0;
};

HidBackend& SystemHidBackend();

}  // namespace kbdhook
