#include "core/StrokeText.h"

namespace {
constexpr QChar kLeftToRightOverride(0x202D);
constexpr QChar kPopDirection(0x202C);
}  // namespace

platform::Codepage StrokeCodepage(int layout) {
    return layout == kHebrewLayout ? platform::Codepage::Windows1255
                                   : platform::Codepage::Windows1252;
}

QString StrokeTextToQString(int layout, const std::string& text) {
    return platform::ToQString(text, StrokeCodepage(layout));
}

QString TapeLineToQString(int layout, const std::string& line) {
    const QString text = StrokeTextToQString(layout, line);
    if (layout != kHebrewLayout) return text;
    return kLeftToRightOverride + text + kPopDirection;
}

int TapeLineColumns(const QString& shown) {
    int columns = int(shown.size());
    if (shown.startsWith(kLeftToRightOverride)) --columns;
    if (shown.endsWith(kPopDirection)) --columns;
    return columns;
}
