#pragma once
// The Palantype writer's wire protocol, without I/O: the realtime key packet (four active-low,
// bit-mirrored bytes of 0x10 or more; a byte below 0x10 restarts the packet) and the text
// records of its stored notes (a lead byte 2 or 8, then text bytes with a bit of 0x70 set).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/Stroke.h"
#include "writers/FrameStep.h"

// The byte with its bit order mirrored: bit i of the result is bit 7 - i of `b`.
constexpr std::uint8_t ReverseStrokeBits(std::uint8_t b) {
    std::uint8_t r = 0;
    for (int i = 0; i < 8; ++i)
        if (b & (1u << i)) r |= std::uint8_t(0x80u >> i);
    return r;
}

namespace pt {

// Wake-up bytes, sent one by one with a pause after each.
inline constexpr std::uint8_t kWakeUp[] = {0x81, 0x91, 0x90, 0x93, 0xAA};
inline constexpr int kWakeUpGapMs = 500;
// Sent while the line is idle.
inline constexpr std::uint8_t kIdlePoll = 0x80;
inline constexpr std::size_t kPacketSize = 4;
// Bytes below this are no packet bytes: each one restarts the packet.
inline constexpr std::uint8_t kFirstPacketByte = 0x10;
// A packet must be whole this long after its first byte; else it is dropped, and what comes
// after the pause starts a new packet. Four bytes take 4 ms at 9600 baud (33 ms at 1200, plus
// the few ms a USB adapter may hold them), while even the fastest writing leaves some 125 ms
// from one stroke's packet to the next: the 100 ms of EZ and Flash, whose packets are as long,
// never joins the rest of a cut packet to the next stroke.
inline constexpr int kPacketTimeoutMs = 100;
// A packet that fell silent is kept this long in case the rest of it comes after all: no
// byte marks a packet's start, so only what follows tells a packet held up on the way (its
// rest completes it exactly) from one cut off (the next packets are whole on their own).
inline constexpr int kPacketResumeMs = 1000;

// Four packet bytes: a packet. A byte below 0x10 among the first four drops it and what came
// before it.
FrameStep FramePacket(std::string_view bytes);
// The stroke of a 4-byte packet: keys in stroke bytes 0 to 3 (bytes 4 and 5 zero).
Stroke PacketStroke(std::string_view packet);

// ---- stored notes ---------------------------------------------------------------------------

inline constexpr std::uint8_t kOutlineRecord = 2;
inline constexpr std::uint8_t kNumberRecord = 8;
// Bytes of stored notes that ReadStrokes reads per stroke asked for.
inline constexpr int kNotesBytesPerStroke = 10;

struct NotesStep {
    enum Kind { Empty, Skip, Incomplete, Record };
    Kind kind = Empty;
    std::size_t length = 0;  // Skip: 1; Incomplete, Record: the lead byte and the text bytes
    bool number = false;     // a number record
    std::string text;        // the record's characters
};
// What the front of a notes buffer holds. A record ends before the next byte with none of the
// bits 0x70 set, which is not part of it; a record that reaches the end of `bytes` is
// Incomplete. A byte that cannot lead a record is skipped.
NotesStep ScanNotes(std::string_view bytes);

// The strokes of one record in `layout`: an outline record gives the stroke of its text ("/"
// read as "-"), a number record one stroke per character, with ",000,000" written "m" and
// ",000" written "t". Text that gives no key still gives its stroke, an empty one; an empty
// number gives none.
std::vector<Stroke> RecordStrokes(const NotesStep& record, std::uint8_t layout);

}  // namespace pt
