#include "writers/StenoTextStroke.h"

#include <algorithm>

bool IsKeyless(const Stroke& keys) {
    return std::all_of(keys.begin(), keys.begin() + 5, [](std::uint8_t b) { return b == 0; });
}

std::optional<Stroke> StrokeFromText(std::uint8_t layout, std::string_view text) {
    const std::size_t start = text.find_first_not_of(" /");
    if (start == std::string_view::npos) return std::nullopt;
    text.remove_prefix(start);
    // Only the first stroke is wanted: cut at the first separator before parsing.
    text = text.substr(0, text.find_first_of(" /"));
    const Outline outline = ParseOutline(layout, std::string(text));
    if (outline.size() < std::size_t(kStrokeSize)) return std::nullopt;
    Stroke keys{};
    std::copy_n(outline.begin(), 5, keys.begin());
    if (IsKeyless(keys)) return std::nullopt;
    return keys;
}

std::string NotesRecordsFromText(std::uint8_t layout, std::string_view text) {
    const Outline outline = ParseOutline(layout, std::string(text));
    std::string records;
    for (std::size_t at = 0; at + kStrokeSize <= outline.size(); at += kStrokeSize) {
        const std::string_view record(outline.data() + at, 3);
        if (record.find_first_not_of('\0') == std::string_view::npos) continue;
        records.append(record);
    }
    return records;
}
