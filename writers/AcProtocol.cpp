#include "writers/AcProtocol.h"

#include "writers/StenoTextStroke.h"

std::optional<Stroke> AcLineReader::EndLine(std::uint8_t layout) {
    std::optional<Stroke> stroke;
    if (!overflow_) stroke = StrokeFromText(layout, text_);
    Clear();
    return stroke;
}
