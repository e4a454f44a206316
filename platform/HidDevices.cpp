#include "platform/HidDevices.h"

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace platform {

namespace {

std::atomic<HidNodes*> installed{nullptr};

// "HID_ID=0003:00000DC6:00000001" in the device's uevent: bus, vendor, product.
bool ReadIds(const std::string& uevent, unsigned& vendor, unsigned& product) {
    std::ifstream in(uevent);
    std::string line;
    while (std::getline(in, line)) {
        unsigned bus = 0;
        if (line.rfind("HID_ID=", 0) == 0 &&
            std::sscanf(line.c_str() + 7, "%x:%x:%x", &bus, &vendor, &product) == 3)
            return true;
    }
    return false;
}

class SysfsHidNodes final : public HidNodes {
public:
    std::vector<HidNode> Find(std::uint16_t vendorId, std::uint16_t productId) override {
        std::vector<HidNode> nodes;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator("/sys/class/hidraw", error)) {
            const std::string name = entry.path().filename().string();
            const std::string device = entry.path().string() + "/device";
            unsigned vendor = 0, product = 0;
            if (!ReadIds(device + "/uevent", vendor, product) || vendor != vendorId ||
                product != productId)
                continue;
            char real[PATH_MAX];
            HidNode node;
            node.path = "/dev/" + name;
            node.instance = realpath(device.c_str(), real) ? std::filesystem::path(real).filename().string()
                                                           : name;
            node.readable = access(node.path.c_str(), R_OK) == 0;
            nodes.push_back(std::move(node));
        }
        std::sort(nodes.begin(), nodes.end(),
                  [](const HidNode& a, const HidNode& b) { return a.path < b.path; });
        return nodes;
    }
};

}  // namespace

HidNodes& CurrentHidNodes() {
    static SysfsHidNodes system;
    HidNodes* nodes = installed.load();
    return nodes ? *nodes : system;
}

void InstallHidNodes(HidNodes* nodes) { installed = nodes; }

}  // namespace platform
