#pragma once
// What writers that send steno text put on the wire for a stroke, written from their
// protocol descriptions: the AccuWriter's line and the Foniks packet. The stroke text is the
// compact steno text of the stroke in the writer's keyboard layout.
#include <cstdint>
#include <string>

#include "core/Stroke.h"

namespace sim {

inline std::string StrokeText(std::uint8_t layout, const Stroke& keys) {
    StrokeRecord record;
    record.layout = layout;
    record.keys = keys;
    return FormatStroke(record, kStrokeCompact);
}

// The AccuWriter's line: the text, optionally after a "/", ended by CR LF.
inline std::string AccuWriterLine(std::uint8_t layout, const Stroke& keys, bool slash = false) {
    return (slash ? "/" : "") + StrokeText(layout, keys) + "\r\n";
}

// The Foniks packet: "{", one byte of any value (a running counter here), the text, "}".
inline std::string FoniksPacket(std::uint8_t layout, const Stroke& keys, std::uint8_t counter) {
    return "{" + std::string(1, char(counter)) + StrokeText(layout, keys) + "}";
}

}  // namespace sim
