#include "kbdhook/KeyboardHook.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace kbdhook {

namespace {

// The callback is the caller's: whatever it throws must not end the reader.
void Call(TrealKeyboardCallbackFn callback, int code, int value, int index) {
    try {
        callback(code, value, index);
    } catch (...) {
    }
}

}  // namespace

bool FindTrealKeyboard(HidBackend& backend, FoundKeyboard& found) {
    for (const HidDevice& device : backend.Enumerate()) {
        if (device.vendorId != kTrealVendorId || device.productId != kTrealProductId) continue;
        std::vector<std::uint8_t> descriptor;
        DescriptorInfo info;
        if (!backend.ReadDescriptor(device.path, descriptor) ||
            !ParseReportDescriptor(descriptor.data(), descriptor.size(), info) ||
            info.usagePage != kTrealUsagePage || info.inputReportLength <= 0)
            continue;
        found = {device.path, info};
        return true;
    }
    return false;
}

void ReadReports(int fd, int wakeFd, const std::atomic<bool>& stop, const FoundKeyboard& keyboard,
                 TrealKeyboardCallbackFn callback) {
    const std::size_t length = std::size_t(keyboard.info.inputReportLength);
    // Windows hands over the report-id byte even for unnumbered reports; hidraw does not.
    const std::size_t idBytes = keyboard.info.numberedReports ? 0 : 1;
    std::vector<std::uint8_t> report(length + 64, 0);
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int ready = poll(fds, 2, -1);
        if (stop) return;
        if (ready < 0) {
            if (errno == EINTR) continue;
            Call(callback, kTrealAllReleased, 0, 0);
            return;
        }
        const ssize_t n = read(fd, report.data() + idBytes, report.size() - idBytes);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) {  // the device failed or went
            Call(callback, kTrealAllReleased, 0, 0);
            return;
        }
        std::size_t got = std::size_t(n) + idBytes;
        if (idBytes) report[0] = 0;
        // A numbered report shorter than the longest comes padded with zeros, as on Windows.
        if (keyboard.info.numberedReports && got < length) {
            std::fill(report.begin() + std::ptrdiff_t(got), report.begin() + std::ptrdiff_t(length), 0);
            got = length;
        }
        if (got != length) {
            std::fprintf(stderr,
                         "kbdhook: %s sent a report of %zu bytes where %zu were expected; "
                         "the keyboard is no longer read\n",
                         keyboard.path.c_str(), got, length);
            Call(callback, kTrealAllReleased, 0, 0);
            return;
        }
        bool pressed = false;
        for (std::size_t i = 0; i < length && i < 6; ++i) pressed |= report[i] != 0;
        if (!pressed) {
            Call(callback, kTrealAllReleased, 0, 0);
            continue;
        }
        for (std::size_t i = 0; i < length && !stop; ++i)
            Call(callback, kTrealReportByte, report[i], int(i));
    }
}

KeyboardHook::Reader::~Reader() {
    if (fd >= 0) close(fd);
    if (wakeFd >= 0) close(wakeFd);
}

KeyboardHook::~KeyboardHook() {
    std::vector<std::unique_ptr<Reader>> readers;
    {
        std::lock_guard<std::mutex> guard(lock_);
        readers.swap(readers_);
    }
    End(std::move(readers));
}

int KeyboardHook::Open(TrealKeyboardCallbackFn callback) {
    if (!callback) return 0;
    End({});  // join readers that were closed from their own callback
    FoundKeyboard keyboard;
    if (!FindTrealKeyboard(backend_, keyboard)) return 0;
    auto reader = std::make_unique<Reader>();
    reader->fd = backend_.OpenReports(keyboard.path);
    reader->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (reader->fd < 0 || reader->wakeFd < 0) return 0;
    Reader* r = reader.get();
    try {
        r->thread = std::thread([r, keyboard, callback] {
            ReadReports(r->fd, r->wakeFd, r->stop, keyboard, callback);
        });
    } catch (const std::system_error&) {
        return 0;
    }
    std::lock_guard<std::mutex> guard(lock_);
    readers_.push_back(std::move(reader));
    return 1;
}

unsigned KeyboardHook::Close() {
    std::vector<std::unique_ptr<Reader>> readers;
    {
        std::lock_guard<std::mutex> guard(lock_);
        readers.swap(readers_);
    }
    const bool any = !readers.empty();
    End(std::move(readers));
    return any ? 0u : 0xFFFFFFFFu;
}

void KeyboardHook::End(std::vector<std::unique_ptr<Reader>> readers) {
    {
        // Readers closed from their own callback earlier have ended or are about to.
        std::lock_guard<std::mutex> guard(lock_);
        for (auto& reader : retired_) readers.push_back(std::move(reader));
        retired_.clear();
    }
    for (auto& reader : readers) {
        reader->stop = true;
        const std::uint64_t one = 1;
        (void)!write(reader->wakeFd, &one, sizeof one);
    }
    for (auto& reader : readers) {
        if (reader->thread.joinable() && reader->thread.get_id() == std::this_thread::get_id()) {
            // Closed from its own callback: it ends when the callback returns; join it later.
            std::lock_guard<std::mutex> guard(lock_);
            retired_.push_back(std::move(reader));
            continue;
        }
        if (reader->thread.joinable()) reader->thread.join();
    }
}

}  // namespace kbdhook
