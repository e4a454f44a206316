#pragma once
// What the keyboard search needs from a HID report descriptor: the usage page of the first
// top-level collection, and the input report's length as Windows counts it (the largest input
// report in bytes plus the report-id byte, which is counted even when reports are not numbered).
#include <cstddef>
#include <cstdint>

namespace kbdhook {

struct DescriptorInfo {
    std::uint16_t usagePage = 0;
    int inputReportLength = 0;
    bool numberedReports = false;  // the device sends a report id first
};

// False for a descriptor that ends inside an item, has no top-level collection, or declares an
// input report longer than hidraw can deliver.
bool ParseReportDescriptor(const std::uint8_t* data, std::size_t size, DescriptorInfo& info);

}  // namespace kbdhook
