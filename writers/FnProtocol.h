#pragma once
// The Foniks writer's formats.
//
// Realtime: each stroke is a packet "{", one byte of any value (passed over), the stroke's
// steno text in the letters of the configured layout, "}". Bytes outside packets are noise.
//
// Notes files: text lines in which "/" counts as a blank and every part from a "{" to the
// next "}" holds stroke texts in the English layout.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "writers/FrameStep.h"

// Longest packet taken: "{", the passed-over byte, a stroke text, "}". A real one is well
// under this; an open packet that grows past it lost its "}" and is dropped.
constexpr std::size_t kFnMaxPacket = 256;
// An open packet whose line falls silent this long lost its end and is dropped, so that a "{"
// after the pause starts a packet of its own instead of being taken as the passed-over byte.
// A packet's bytes come back to back at line speed (1 ms each at 9600 baud, 8 ms at 1200, plus
// the few ms a USB adapter may hold them), while even the fastest writing leaves some 125 ms
// from one stroke to the next: the 100 ms that EZ and Flash allow their 4-byte packets, here
// counted between bytes, since a Foniks packet is as long as its stroke's text.
constexpr int kFnPacketGapMs = 100;

// Frames the front of `buffer`: bytes outside packets are skipped, a whole packet is a frame.
// The byte after "{" is passed over whatever its value (even a brace). A "{" inside a packet
// means the packet before it lost its "}": that one is skipped and framing starts again at
// the new "{", so a cut packet never yields a wrong stroke. A packet longer than kFnMaxPacket
// is dropped however its bytes were split into reads.
FrameStep FindFnFrame(std::string_view buffer);
// The stroke text of a packet that FindFnFrame took: from after the passed-over byte to
// before the "}".
std::string_view FnPacketText(std::string_view packet);

// The 3-byte stroke records of one notes line (English layout), in order.
std::string FnNotesLineRecords(std::string_view line);

// A notes file read as text, in pieces of any size: each complete line becomes its records.
class FnNotesReader {
public:
    // The records of the lines that `bytes` completes.
    std::string Feed(std::string_view bytes);
    // The records of a last line without a line end.
    std::string Finish();

private:
    std::string line_;
};

// The 3-byte stroke records of a whole notes file.
std::string FnNotesRecords(std::string_view fileText);
