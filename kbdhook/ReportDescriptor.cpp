#include "kbdhook/ReportDescriptor.h"

#include <algorithm>
#include <map>
#include <vector>

namespace kbdhook {

namespace {

enum ItemType { kMain = 0, kGlobal = 1, kLocal = 2 };
enum MainTag { kInput = 0x8, kCollection = 0xA, kEndCollection = 0xC };
enum GlobalTag { kUsagePage = 0x0, kReportSize = 0x7, kReportId = 0x8, kReportCount = 0x9,
                 kPush = 0xA, kPop = 0xB };
enum LocalTag { kUsage = 0x0 };
constexpr std::uint8_t kLongItem = 0xFE;
// The largest report hidraw hands over (the kernel's HID_MAX_BUFFER_SIZE), report-id byte
// included; a descriptor that asks for more is no device we can read.
constexpr std::uint64_t kMaxReportBytes = 16384;
constexpr std::uint64_t kMaxReportBits = kMaxReportBytes * 8;

struct Globals {
    std::uint32_t usagePage = 0, reportSize = 0, reportId = 0, reportCount = 0;
};

}  // namespace

bool ParseReportDescriptor(const std::uint8_t* data, std::size_t size, DescriptorInfo& info) {
    Globals globals;
    std::vector<Globals> stack;
    std::map<std::uint32_t, std::uint64_t> inputBits;  // by report id
    std::uint32_t usage = 0;
    int usageSize = 0;
    int depth = 0;
    bool topLevelSeen = false;
    info = DescriptorInfo{};

    std::size_t at = 0;
    while (at < size) {
        const std::uint8_t prefix = data[at++];
        if (prefix == kLongItem) {
            if (at + 2 > size) return false;
            const std::size_t length = data[at];
            at += 2;
            if (at + length > size) return false;
            at += length;
            continue;
        }
        const int length = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (at + std::size_t(length) > size) return false;
        std::uint32_t value = 0;
        for (int i = 0; i < length; ++i) value |= std::uint32_t(data[at + std::size_t(i)]) << (8 * i);
        at += std::size_t(length);
        const int type = (prefix >> 2) & 3;
        const int tag = prefix >> 4;

        if (type == kGlobal) {
            switch (tag) {
                case kUsagePage: globals.usagePage = value; break;
                case kReportSize: globals.reportSize = value; break;
                case kReportId: globals.reportId = value; info.numberedReports = true; break;
                case kReportCount: globals.reportCount = value; break;
                case kPush: stack.push_back(globals); break;
                case kPop:
                    if (!stack.empty()) {
                        globals = stack.back();
                        stack.pop_back();
                    }
                    break;
                default: break;
            }
        } else if (type == kLocal) {
            if (tag == kUsage) {
                usage = value;
                usageSize = length;
            }
        } else if (type == kMain) {
            switch (tag) {
                case kInput: {
                    // Saturated, so that a hostile size and count cannot wrap to a small length.
                    std::uint64_t& bits = inputBits[globals.reportId];
                    bits = std::min(bits + std::min<std::uint64_t>(std::uint64_t(globals.reportSize) *
                                                                       globals.reportCount,
                                                                   kMaxReportBits + 8),
                                    kMaxReportBits + 8);
                    break;
                }
                case kCollection:
                    if (depth == 0 && !topLevelSeen) {
                        // A 4-byte usage carries its own page in its high half.
                        info.usagePage = std::uint16_t(usageSize == 4 ? usage >> 16 : globals.usagePage);
                        topLevelSeen = true;
                    }
                    ++depth;
                    break;
                case kEndCollection:
                    if (depth > 0) --depth;
                    break;
                default: break;
            }
            usage = 0;  // local items last until the next main item
            usageSize = 0;
        }
    }
    if (!topLevelSeen) return false;
    std::uint64_t largest = 0;
    for (const auto& [id, bits] : inputBits) largest = std::max(largest, (bits + 7) / 8);
    if (largest + 1 > kMaxReportBytes) return false;
    info.inputReportLength = largest ? int(largest) + 1 : 0;
    return true;
}

}  // namespace kbdhook
