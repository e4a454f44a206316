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

extern "C" void LIBUSB_CALL TransferDone(libusb_transfer* transfer) {
    __atomic_store_n(static_cast<int*>(transfer->user_data), 1, __ATOMIC_RELEASE);
}

class LibusbDevice final : public UsbDevice {
public:
    LibusbDevice(libusb_context* context, libusb_device_handle* handle, unsigned char in,
                 unsigned char out)
        : context_(context), handle_(handle), in_(in), out_(out) {}
    ~LibusbDevice() override {
        libusb_release_interface(handle_, 0);
        libusb_close(handle_);
    }

    UsbResult Write(const std::string& data, int timeoutMs) override {
        std::string copy = data;  // the transfer writes from a buffer of its own
        int sent = 0;
        const UsbResult result =
            Transfer(out_, reinterpret_cast<unsigned char*>(copy.data()), int(copy.size()), timeoutMs, sent);
        // A short write leaves the request cut: the writer would read garbage.
        if (result == UsbResult::Done && sent != int(data.size())) return UsbResult::Failed;
        return result;
    }

    UsbResult Read(std::string& data, std::size_t max, int timeoutMs) override {
        data.assign(max, '\0');
        int got = 0;
        UsbResult result = Transfer(in_, reinterpret_cast<unsigned char*>(data.data()), int(max), timeoutMs, got);
        // A time-out still hands over what did arrive.
        if (result == UsbResult::TimedOut && got > 0) result = UsbResult::Done;
        data.resize(result == UsbResult::Done ? std::size_t(got) : 0);
        return result;
    }

    bool ClearHalt(UsbEndpoint endpoint) override {
        const int result = libusb_clear_halt(handle_, endpoint == UsbEndpoint::In ? in_ : out_);
        if (result == LIBUSB_ERROR_NO_DEVICE) gone_ = true;
        return result == 0;
    }

    void Cancel() override {
        std::lock_guard<std::mutex> guard(lock_);
        cancelled_ = true;
        if (inFlight_) libusb_cancel_transfer(inFlight_);
    }

    void Resume() override {
        std::lock_guard<std::mutex> guard(lock_);
        cancelled_ = false;
    }

    bool Gone() const override { return gone_; }

private:
    // One asynchronous bulk transfer, waited for here; Cancel from another thread ends it.
    UsbResult Transfer(unsigned char endpoint, unsigned char* buffer, int length, int timeoutMs,
                       int& actual) {
        actual = 0;
        if (gone_) return UsbResult::Gone;
        libusb_transfer* transfer = libusb_alloc_transfer(0);
        if (!transfer) return UsbResult::Failed;
        int completed = 0;
        libusb_fill_bulk_transfer(transfer, handle_, endpoint, buffer, length, TransferDone,
                                  &completed, unsigned(std::max(timeoutMs, 1)));
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (cancelled_) {
                libusb_free_transfer(transfer);
                return UsbResult::Cancelled;
            }
            const int submitted = libusb_submit_transfer(transfer);
            if (submitted != 0) {
                libusb_free_transfer(transfer);
                if (submitted == LIBUSB_ERROR_NO_DEVICE) gone_ = true;
                return submitted == LIBUSB_ERROR_NO_DEVICE ? UsbResult::Gone : UsbResult::Failed;
            }
            inFlight_ = transfer;
        }
        while (!__atomic_load_n(&completed, __ATOMIC_ACQUIRE)) {
            timeval wait{1, 0};
            const int handled = libusb_handle_events_timeout_completed(context_, &wait, &completed);
            // Event handling itself broke: end the transfer, whose completion is still awaited
            // (its buffer is in use until then).
            if (handled != 0 && handled != LIBUSB_ERROR_INTERRUPTED && handled != LIBUSB_ERROR_TIMEOUT)
                libusb_cancel_transfer(transfer);
        }
        {
            std::lock_guard<std::mutex> guard(lock_);
            inFlight_ = nullptr;
        }
        actual = transfer->actual_length;
        const libusb_transfer_status status = transfer->status;
        libusb_free_transfer(transfer);
        switch (status) {
            case LIBUSB_TRANSFER_COMPLETED: return UsbResult::Done;
            case LIBUSB_TRANSFER_TIMED_OUT: return UsbResult::TimedOut;
            case LIBUSB_TRANSFER_CANCELLED: return UsbResult::Cancelled;
            case LIBUSB_TRANSFER_STALL: return UsbResult::Stalled;
            case LIBUSB_TRANSFER_NO_DEVICE: gone_ = true; return UsbResult::Gone;
            default: return UsbResult::Failed;
        }
    }

    libusb_context* context_;
    libusb_device_handle* handle_;
    unsigned char in_, out_;
    std::atomic<bool> gone_{false};
    std::mutex lock_;  // guards cancelled_ and inFlight_
    bool cancelled_ = false;
    libusb_transfer* inFlight_ = nullptr;
};

UsbOpenError OpenErrorOf(int result) {
    switch (result) {
        case LIBUSB_ERROR_ACCESS: return UsbOpenError::AccessDenied;
        case LIBUSB_ERROR_NO_DEVICE:
        case LIBUSB_ERROR_NOT_FOUND: return UsbOpenError::NotFound;
        case LIBUSB_ERROR_BUSY: return UsbOpenError::Busy;
        default: return UsbOpenError::Failed;
    }
}

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

    std::unique_ptr<UsbDevice> Open(const std::string& path, UsbOpenError& error) override {
        error = UsbOpenError::NotFound;
        libusb_context* context = Context();
        if (!context) return nullptr;
        libusb_device** list = nullptr;
        const ssize_t count = libusb_get_device_list(context, &list);
        std::unique_ptr<UsbDevice> opened;
        for (ssize_t i = 0; i < count && !opened; ++i) {
            libusb_device_descriptor d{};
            if (libusb_get_device_descriptor(list[i], &d) != 0 || PathOf(list[i], d) != path)
                continue;
            opened = OpenDevice(context, list[i], error);
        }
        if (count >= 0) libusb_free_device_list(list, 1);
        return opened;
    }

private:
    static std::unique_ptr<UsbDevice> OpenDevice(libusb_context* context, libusb_device* device,
                                                 UsbOpenError& error) {
        unsigned char in = 0, out = 0;
        libusb_config_descriptor* config = nullptr;
        error = UsbOpenError::Failed;
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
        if (const int opened = libusb_open(device, &handle); opened != 0) {
            error = OpenErrorOf(opened);
            return nullptr;
        }
        libusb_set_auto_detach_kernel_driver(handle, 1);
        if (const int claimed = libusb_claim_interface(handle, 0); claimed != 0) {
            libusb_close(handle);
            error = OpenErrorOf(claimed);
            return nullptr;
        }
        error = UsbOpenError::None;
        return std::make_unique<LibusbDevice>(context, handle, in, out);
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
