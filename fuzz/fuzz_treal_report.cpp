// The Treal keyboard's reports: what the device node delivers, made whole, turned into the
// library's callbacks, and those into strokes by the driver, for every report length and
// keyboard layout.
#include <memory>

#include "core/AppSettings.h"
#include "fuzz/FuzzSupport.h"
#include "kbdhook/KeyboardHook.h"
#include "platform/WindowRegistry.h"
#include "writers/CWriterTR.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // Byte 0: the declared report bytes (1-16); byte 1: numbered reports and the layout; then
    // reports, each a length byte and that many bytes (short, exact or long).
    kbdhook::DescriptorInfo info;
    info.usagePage = kbdhook::kTrealUsagePage;
    info.inputReportLength = 2 + data[0] % 16;
    info.numberedReports = data[1] & 1;
    const int layout = (data[1] >> 1) % 14;
    GetSettings().keyboardLayout = layout;
    std::unique_ptr<CWriterTR> writer(NewWriter<CWriterTR>(platform::kNoWindow));

    std::size_t releases = 0;
    for (std::size_t at = 2; at < size;) {
        const std::size_t declared = data[at++] % 24;
        const std::size_t n = std::min(declared, size - at);
        const std::vector<std::uint8_t> report = kbdhook::WholeReport(data + at, n, info);
        at += n;
        fuzz::Check(report.size() == std::size_t(info.inputReportLength),
                    "a report is made exactly the declared length");
        if (!info.numberedReports) fuzz::Check(report[0] == 0, "an unnumbered report has id 0 first");
        bool pressed = false;
        for (std::size_t i = 0; i < report.size() && i < 6; ++i) pressed |= report[i] != 0;
        const std::vector<kbdhook::KeyEvent> events = kbdhook::ReportEvents(report);
        if (!pressed) {
            fuzz::Check(events.size() == 1 && events[0] == kbdhook::KeyEvent{kTrealAllReleased, 0, 0},
                        "a report with bytes 0-5 clear is one release");
            ++releases;
        } else {
            fuzz::Check(events.size() == report.size(), "a report with a key is a callback per byte");
            for (std::size_t i = 0; i < events.size(); ++i)
                fuzz::Check(events[i] == kbdhook::KeyEvent{kTrealReportByte, report[i], int(i)},
                            "each byte in order, with its position");
        }
        for (const kbdhook::KeyEvent& e : events) writer->OnKeyEvent(e.code, e.value, e.index);
    }
    writer->OnKeyEvent(kTrealAllReleased, 0, 0);
    ++releases;
    TrackStroke stroke;
    std::size_t strokes = 0;
    for (; writer->GetStroke(&stroke); ++strokes) {
        bool any = false;
        for (std::uint8_t b : stroke.keys) any |= b != 0;
        fuzz::Check(any, "a stroke has a key");
        if (layout < 9) fuzz::CheckThreeKeyBytes(stroke.keys);
        fuzz::Check(stroke.layout == 0, "the writer's own layout byte");
    }
    fuzz::Check(strokes <= releases, "at most one stroke per release");
    GetSettings().keyboardLayout = 0;
    return 0;
}
