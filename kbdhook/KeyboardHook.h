#pragma once
// The library's logic: finding the keyboard, its reader threads, and Open/Close. The exported
// C functions run one KeyboardHook on the system's HID devices.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kbdhook/HidBackend.h"
#include "kbdhook/ReportDescriptor.h"
#include "kbdhook/TrealKeyboard.h"

namespace kbdhook {

constexpr std::uint16_t kTrealVendorId = 0x0DC6;
constexpr std::uint16_t kTrealProductId = 1;
constexpr std::uint16_t kTrealUsagePage = 0xFFA1;

struct FoundKeyboard {
    std::string path;
    DescriptorInfo info;
};

// The first device, in the back end's order, with the keyboard's vendor and product ids whose
// descriptor names the vendor usage page.
bool FindTrealKeyboard(HidBackend& backend, FoundKeyboard& found);

struct KeyEvent {
    int code, value, index;
    bool operator==(const KeyEvent&) const = default;
};

// A report as the caller sees it, from the `size` bytes the device node delivered (without the
// id byte of an unnumbered report): the report-id byte first, then exactly the report length.
// A longer report is cut to it and a shorter one padded with zeros, as Windows delivers them.
std::vector<std::uint8_t> WholeReport(const std::uint8_t* bytes, std::size_t size,
                                      const DescriptorInfo& info);
// The callbacks of one whole report, in order: a 10003 for every byte when one of bytes 0-5 is
// not 0, else one 10001.
std::vector<KeyEvent> ReportEvents(const std::vector<std::uint8_t>& report);

// Reads reports from `fd` and calls back as the library's interface says, until `stop` is set
// (woken through `wakeFd`) or the device fails. A report of the wrong length is told once on
// standard error and read as WholeReport makes it.
void ReadReports(int fd, int wakeFd, const std::atomic<bool>& stop, const FoundKeyboard& keyboard,
                 TrealKeyboardCallbackFn callback);

class KeyboardHook {
public:
    explicit KeyboardHook(HidBackend& backend) : backend_(backend) {}
    // Every reader still running is ended.
    ~KeyboardHook();
    KeyboardHook(const KeyboardHook&) = delete;
    KeyboardHook& operator=(const KeyboardHook&) = delete;

    int Open(TrealKeyboardCallbackFn callback);
    unsigned Close();

private:
    struct Reader {
        std::thread thread;
        int fd = -1;
        int wakeFd = -1;
        std::atomic<bool> stop{false};
        ~Reader();
    };
    // Ends and joins the readers; one running on the calling thread is only asked to end.
    void End(std::vector<std::unique_ptr<Reader>> readers);

    HidBackend& backend_;
    std::mutex lock_;
    std::vector<std::unique_ptr<Reader>> readers_;
    std::vector<std::unique_ptr<Reader>> retired_;  // asked to end from their own thread
};

}  // namespace kbdhook
