#pragma once
// The wire protocol of the Flash and Stylus writers, without I/O. Each stroke is three key
// bytes followed by the end marker 0xFF, in realtime and in the stored notes alike. A group
// whose first byte is 0x78 to 0x7F is the writer's own, not a stroke. In the stored notes,
// marker strokes divide the notes: a group 40 00 00 and the two after it are not notes, and
// a run of groups 40 10 00 ends one job (the capture file is split after its 5th and 6th).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/Stroke.h"
#include "writers/FrameStep.h"

namespace fl {

inline constexpr std::uint8_t kEndMarker = 0xFF;
inline constexpr std::size_t kGroupSize = 4;  // three key bytes and the end marker
// A group must be whole this long after its first byte arrived; else it is dropped whole.
inline constexpr int kPacketTimeoutMs = 100;

// Notes over the cable: "X" "C" asks for six bytes of any value, "X" "D" starts the notes.
inline constexpr std::string_view kAttention = "X";
inline constexpr std::string_view kConnect = "C";
inline constexpr std::string_view kSendNotes = "D";
inline constexpr int kHandshakeAnswerBytes = 6;

constexpr bool IsWriterGroup(std::uint8_t first) { return (first & 0xF8) == 0x78; }

// A stroke group is exactly three bytes and the end marker. The writer's own groups are
// three bytes of any value and then everything through the next end marker, all dropped; so
// is a group with more than three bytes before its marker, which could only give a wrong
// stroke. A stray end marker is dropped alone.
FrameStep FrameGroup(std::string_view bytes);
// The stroke of a stroke group (bytes 3 to 5 zero).
Stroke GroupStroke(std::string_view group);

// Stored notes read over the cable, one byte at a time.
class NotesCollector {
public:
    enum class Action { None, SplitFile };

    // Takes one byte. SplitFile: the records so far (Records()) end the current capture
    // file, and the next file begins.
    Action Take(std::uint8_t b);
    // The transfer has ended: an unfinished group is dropped.
    void Finish() { pending_.clear(); }

    // Records of the notes not yet written out; the caller writes and empties it.
    std::string& Records() { return records_; }

private:
    Action Group(std::string_view group);

    std::string pending_;
    std::string records_;
    int skipGroups_ = 0;  // groups still to leave out after a 40 00 00
    int jobEndRun_ = 0;   // groups 40 10 00 in a row, at most 6
};

}  // namespace fl
