#include "kbdhook/KeyboardHook.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
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

std::vector<std::uint8_t> WholeReport(const std::uint8_t* bytes, std::size_t size,
                                      const DescriptorInfo& info) {
    const std::size_t length = std::size_t(std::max(info.inputReportLength, 1));
    std::vector<std::uint8_t> report;
    report.reserve(length);
    // Windows hands over the report-id byte even for unnumbered reports; hidraw does not.
    if (!info.numberedReports) report.push_back(0);
    report.insert(report.end(), bytes, bytes + std::min(size, length - report.size()));
    report.resize(length, 0);
    return report;
}

std::vector<KeyEvent> ReportEvents(const std::vector<std::uint8_t>& report) {
    bool pressed = false;
    for (std::size_t i = 0; i < report.size() && i < 6; ++i) pressed |= report[i] != 0;
    if (!pressed) return {{kTrealAllReleased, 0, 0}};
    std::vector<KeyEvent> events;
    for (std::size_t i = 0; i < report.size(); ++i) events.push_back({kTrealReportByte, report[i], int(i)});
    return events;
}

void ReadReports(int fd, int wakeFd, const std::atomic<bool>& stop, const FoundKeyboard& keyboard,
                 TrealKeyboardCallbackFn callback) {
    const std::size_t length = std::size_t(keyboard.info.inputReportLength);
    const std::size_t delivered = keyboard.info.numberedReports ? length : length - 1;
    // Room for a longer report than declared, so that it can be told; the kernel cuts anything
    // longer still.
    std::vector<std::uint8_t> buffer(length + 64, 0);
    bool told = false;
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int ready = poll(fds, 2, -1);
        if (stop) return;
        if (ready < 0) {
            if (errno == EINTR) continue;
            Call(callback, kTrealAllReleased, 0, 0);
            return;
        }
        const ssize_t n = read(fd, buffer.data(), buffer.size());
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) {  // the device failed or went
            Call(callback, kTrealAllReleased, 0, 0);
            return;
        }
        // A numbered report shorter than the longest is normal; anything else is the device's
        // fault, but one odd report must not end the keyboard for the session.
        const bool odd = std::size_t(n) > delivered || (!keyboard.info.numberedReports && std::size_t(n) < delivered);
        if (odd && !told) {
            std::fprintf(stderr,
                         "kbdhook: %s sent a report of %zd bytes where %zu were expected; such "
                         "reports are cut or padded to that length\n",
                         keyboard.path.c_str(), n, delivered);
            told = true;
        }
        for (const KeyEvent& event : ReportEvents(WholeReport(buffer.data(), std::size_t(n), keyboard.info))) {
            if (stop) break;
            Call(callback, event.code, event.value, event.index);
        }
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
