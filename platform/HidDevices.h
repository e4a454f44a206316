#pragma once
// Which HID devices of given ids are present, as the kernel's hidraw nodes show them, and
// whether we may read them. A driver whose device is read through a library of its own asks
// here whether the device is still the one it opened, and why it cannot be opened. Tests
// install a scripted list.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct HidNode {
    std::string path;      // "/dev/hidraw3"
    std::string instance;  // the device's own name, new at every plug-in: "0003:0DC6:0001.0005"
    bool readable = false;
};

class HidNodes {
public:
    virtual ~HidNodes() = default;
    // The hidraw nodes of the devices with these ids, by path.
    virtual std::vector<HidNode> Find(std::uint16_t vendorId, std::uint16_t productId) = 0;
};

// The system's list unless a test installed another (null puts the system's back).
HidNodes& CurrentHidNodes();
void InstallHidNodes(HidNodes* nodes);

}  // namespace platform
