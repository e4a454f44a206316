#pragma once
// The wire protocol of the MeritWriter family (MeritWriter, TurboWriter, StenoWriter,
// DiscWriter), without I/O: text commands ending in a carriage return, realtime strokes of
// three bit-mirrored key bytes after an optional lead byte 0xFF, and stored notes sent over
// the cable as records of a sync byte 0xFF and three key bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/Stroke.h"
#include "writers/FrameStep.h"

namespace mw {

inline constexpr std::string_view kRealtimeOn = "F1\rRTON\r";
inline constexpr std::string_view kWakeUp = "F1\r";
inline constexpr std::string_view kJobs = "JOBS\r";
inline constexpr std::string_view kPosition = "POS000\r";
inline constexpr std::string_view kSendNotes = "\r\rFU\r";
inline constexpr std::string_view kNextRecord = "U";
inline constexpr std::string_view kErase = "ERASE\r";
inline constexpr std::string_view kFormat = "DSKFMT\r";
inline constexpr std::string_view kInit = "INIT\r";

inline constexpr std::uint8_t kLead = 0xFF;  // before a realtime stroke (optional), a cable record
inline constexpr std::size_t kKeyBytes = 3;
// The echo of "JOBS\r" and the byte after it.
inline constexpr int kJobsEchoBytes = 5;
// The record that ends a transfer over the cable (written to the capture file as well).
inline constexpr std::string_view kEndRecord = "\xFF\xFF\xFF";

// A realtime stroke must be whole this long after its first byte; else it is dropped whole,
// and what comes after the pause starts a new stroke. Its three or four bytes take 4 ms at
// 9600 baud (33 ms at 1200, plus the few ms a USB adapter may hold them), while even the
// fastest writing leaves some 125 ms from one stroke to the next: the 100 ms of EZ and Flash,
// whose packets are as long, never joins the rest of a cut stroke to the next one.
inline constexpr int kStrokeTimeoutMs = 100;
// A stroke that fell silent is kept this long in case the rest of it comes after all: its
// lead byte is optional, so only what follows tells a stroke held up on the way (its rest
// completes it exactly) from one cut off (the next strokes are whole on their own).
inline constexpr int kStrokeResumeMs = 1000;

// Three key bytes, after a lead byte 0xFF when the first byte is one.
FrameStep FrameStroke(std::string_view bytes);
// The stroke of a realtime frame: its three key bytes mirrored into stroke bytes 0 to 2.
Stroke FrameKeys(std::string_view frame);
// The capture-file record of three key bytes read over the cable: each byte mirrored.
std::string MirroredRecord(std::string_view keyBytes);

}  // namespace mw
