#include <fcntl.h>
#include <hidapi.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

#include "kbdhook/HidBackend.h"

namespace kbdhook {

namespace {

class SystemBackend final : public HidBackend {
public:
    std::vector<HidDevice> Enumerate() override {
        std::vector<HidDevice> devices;
        if (hid_init() != 0) return devices;
        hid_device_info* list = hid_enumerate(0, 0);
        for (hid_device_info* d = list; d; d = d->next)
            if (d->path) devices.push_back({d->path, d->vendor_id, d->product_id});
        hid_free_enumeration(list);
        std::sort(devices.begin(), devices.end(),
                  [](const HidDevice& a, const HidDevice& b) { return a.path < b.path; });
        return devices;
    }

    // hidapi 0.13 gives neither the descriptor nor the report length: ask hidraw.
    bool ReadDescriptor(const std::string& path, std::vector<std::uint8_t>& descriptor) override {
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return false;
        int size = 0;
        hidraw_report_descriptor raw{};
        bool ok = ioctl(fd, HIDIOCGRDESCSIZE, &size) == 0 && size >= 0 &&
                  size <= HID_MAX_DESCRIPTOR_SIZE;
        if (ok) {
            raw.size = std::uint32_t(size);
            ok = ioctl(fd, HIDIOCGRDESC, &raw) == 0;
        }
        close(fd);
        if (ok) descriptor.assign(raw.value, raw.value + raw.size);
        return ok;
    }

    int OpenReports(const std::string& path) override {
        return open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    }
};

}  // namespace

HidBackend& SystemHidBackend() {
    static SystemBackend backend;
    return backend;
}

}  // namespace kbdhook
