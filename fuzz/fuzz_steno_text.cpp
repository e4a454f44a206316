// Steno text to strokes and back, in every layout.
#include "core/Stroke.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // Every layout, and 99, the plain-text packing.
    const int pick = data[0] % (kLayoutCount + 1);
    const std::uint8_t layout = pick == kLayoutCount ? 99 : std::uint8_t(pick);
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const Outline outline = ParseOutline(layout, text);
    fuzz::Check(outline.size() % kStrokeSize == 0, "an outline is whole strokes");
    fuzz::Check(outline.size() / kStrokeSize <= text.size() + 1, "never more strokes than texts");
    // Formatting what was parsed, and parsing that again, stays whole strokes. It need not give
    // the same strokes: a stroke without keys, or of the number bar alone in some layouts,
    // writes no text, and number-bar digits read back differently in some layouts.
    const std::string written = FormatOutline(layout, outline, 0);
    fuzz::Check(ParseOutline(layout, written).size() % kStrokeSize == 0,
                "written text parses to whole strokes");
    // Any bytes format without harm, in every display mode.
    for (std::size_t i = 0; i + kStrokeSize <= text.size(); i += kStrokeSize) {
        StrokeRecord record{};
        record.layout = layout;
        std::copy_n(text.begin() + std::ptrdiff_t(i), kStrokeSize, record.keys.begin());
        for (int mode = 0; mode <= 4; ++mode) FormatStroke(record, mode);
    }
    return 0;
}
