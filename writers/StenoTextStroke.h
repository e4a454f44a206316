#pragma once
// Strokes that writers send as steno text (the AccuWriter's lines, the Foniks packets and
// notes files): the text goes through ParseOutline under the writer's keyboard layout.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/Stroke.h"

// The first stroke of `text`. Leading blanks and "/" are passed over, since the parser would
// read them as an empty stroke in front. Bytes 0-4 of the parsed stroke are kept (so the keys
// of the 30- and 36-key layouts arrive too); byte 5 is always 0. A text that names no key at
// all (empty, only separators, only characters of no key) gives nothing: a writer never sends
// a stroke without keys, and an empty stroke would slip unseen into an outline.
std::optional<Stroke> StrokeFromText(std::uint8_t layout, std::string_view text);

// True when bytes 0-4 hold no key and no flag.
bool IsKeyless(const Stroke& keys);

// Every stroke of `text` as a 3-byte record (stroke bytes 0-2), keyless strokes left out:
// the record format of stored notes.
std::string NotesRecordsFromText(std::uint8_t layout, std::string_view text);
