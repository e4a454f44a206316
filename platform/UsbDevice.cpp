#include "platform/UsbDevice.h"

#include <libusb.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>

namespace platform {

namespace {

std::atomic<UsbBackend*> installed{nullptr};

libusb_context* Context() {
    static libusb_context* context = [] {
        libusb_context* c = nullptr;
        const int result = libusb_init(&c);
        if (result != 0) {
            std::fprintf(stderr, "Dictionary Quillfast: USB is not available: %s\n",
                         libusb_strerror(result));
            return static_cast<libusb_context*>(nullptr);
        }
        return c;
    }();
    return context;
}

std::string PathOf(libusb_device* device, const libusb_device_descriptor& d) {
    std::string path = "usb/" + std::to_string(libusb_get_bus_number(device)) + "-";
    std::uint8_t ports[8];
    const int depth = libusb_get_port_numbers(device, ports, 8);
    for (int i = 0; i < depth; ++i) path += (i ? "." : "") + std::to_string(ports[i]);
    return path + "/" + UsbIdFragment(d.idVendor, d.idProduct);
}

class LibusbDevice final : public UsbDevice {
public:
    LibusbDevice(libusb_device_handle* handle, unsigned char in, unsigned char out)
        : handle_(handle), in_(in), out_(out) {}
    ~LibusbDevice() override {
        libusb_release_interface(handle_, 0);
        libusb_close(handle_);
    }

    bool Write(const std::string& data, int timeoutMs) override {
        if (gone_) return false;
        int sent = 0;
        auto* bytes = reinterpret_cast<unsigned char*>(const_cast<char*>(data.data()));
        const int result = libusb_bulk_transfer(handle_, out_, bytes, int(data.size()), &sent,
                                                unsigned(timeoutMs));
        Note(result);
        // A short write leaves the request cut: the writer would read garbage.
        return result == 0 && sent == int(data.size());
    }

    std::string Read(std::size_t max, int timeoutMs) override {
        if (gone_) return {};
        std::string buffer(max, '\0');
        int got = 0;
        const int result = libusb_bulk_transfer(handle_, in_,
                                                reinterpret_cast<unsigned char*>(buffer.data()),
                                                int(max), &got, unsigned(timeoutMs));
        Note(result);
        // A time-out still hands over what did arrive.
        buffer.resize(result == 0 || result == LIBUSB_ERROR_TIMEOUT ? std::size_t(got) : 0);
        return buffer;
    }

    bool Gone() const override { return gone_; }

private:
    void Note(int result) {
        if (result == LIBUSB_ERROR_NO_DEVICE || result == LIBUSB_ERROR_IO) gone_ = true;
    }

    libusb_device_handle* handle_;
    unsigned char in_, out_;
    std::atomic<bool> gone_{false};
};

class LibusbBackend final : public UsbBackend {
public:
    std::vector<std::string> DevicePaths() override {
        std::vector<std::string> paths;
        libusb_context* context = Context();
        if (!context) return paths;
        libusb_device** list = nullptr;
        const ssize_t count = libusb_get_device_list(context, &list);
        for (ssize_t i = 0; i < count; ++i) {
            libusb_device_descriptor d{};
            if (libusb_get_device_descriptor(list[i], &d) == 0) paths.push_back(PathOf(list[i], d));
        }
        if (count >= 0) libusb_free_device_list(list, 1);
        std::sort(paths.begin(), paths.end());
        return paths;
    }

    std::unique_ptr<UsbDevice> Open(const std::string& path) override {
        libusb_context* context = Context();
        if (!context) return nullptr;
        libusb_device** list = nullptr;
        const ssize_t count = libusb_get_device_list(context, &list);
        std::unique_ptr<UsbDevice> opened;
        for (ssize_t i = 0; i < count && !opened; ++i) {
            libusb_device_descriptor d{};
            if (libusb_get_device_descriptor(list[i], &d) != 0 || PathOf(list[i], d) != path)
                continue;
            opened = OpenDevice(list[i]);
        }
        if (count >= 0) libusb_free_device_list(list, 1);
        return opened;
    }

private:
    static std::unique_ptr<UsbDevice> OpenDevice(libusb_device* device) {
        unsigned char in = 0, out = 0;
        libusb_config_descriptor* config = nullptr;
        if (libusb_get_active_config_descriptor(device, &config) != 0 &&
            libusb_get_config_descriptor(device, 0, &config) != 0)
            return nullptr;
        if (config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0) {
            const libusb_interface_descriptor& alt = config->interface[0].altsetting[0];
            for (int e = 0; e < alt.bNumEndpoints; ++e) {
                const libusb_endpoint_descriptor& ep = alt.endpoint[e];
                if ((ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK)
                    continue;
                unsigned char& slot = (ep.bEndpointAddress & LIBUSB_ENDPOINT_IN) ? in : out;
                if (!slot) slot = ep.bEndpointAddress;
            }
        }
        libusb_free_config_descriptor(config);
        if (!in || !out) return nullptr;
        libusb_device_handle* handle = nullptr;
        if (libusb_open(device, &handle) != 0) return nullptr;
        libusb_set_auto_detach_kernel_driver(handle, 1);
        if (libusb_claim_interface(handle, 0) != 0) {
            libusb_close(handle);
            return nullptr;
        }
        return std::make_unique<LibusbDevice>(handle, in, out);
    }
};

}  // namespace

UsbBackend& CurrentUsbBackend() {
    static LibusbBackend system;
    UsbBackend* backend = installed.load();
    return backend ? *backend : system;
}

void InstallUsbBackend(UsbBackend* backend) { installed = backend; }

std::string UsbIdFragment(unsigned vendorId, unsigned productId) {
    char text[24];
    std::snprintf(text, sizeof text, "vid_%04x&pid_%04x", vendorId & 0xFFFF, productId & 0xFFFF);
    return text;
}

}  // namespace platform
