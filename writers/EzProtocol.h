#pragma once
// The EZ-Writer's wire protocol, without I/O: one-letter commands, the realtime packet (a
// synchronisation byte and three stroke bytes) and the stored-notes stream read over the
// cable (3-byte records, synchronisation bytes, runs of zero bytes between blocks).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/Stroke.h"
#include "writers/FrameStep.h"

namespace ez {

// Commands; "\n" is the line-feed byte.
inline constexpr std::string_view kPresenceCheck = "B";
inline constexpr std::string_view kAfterPresence = "\n\n\n";
inline constexpr std::string_view kStartRealtime = "S\n\n\n";
inline constexpr std::string_view kSendNotes = "R\n\n\n";
inline constexpr std::string_view kNotesComplete = "M";

inline constexpr std::uint8_t kPresenceAnswer = 'B';
inline constexpr int kPresenceAttempts = 11;
// A realtime packet must be whole this long after its synchronisation byte arrived; a writer
// that stops part-way loses that one packet, never the reader.
inline constexpr int kPacketTimeoutMs = 100;
inline constexpr std::size_t kPacketSize = 4;

// Realtime: 0x7E, 0x7F, 0xFE or 0xFF.
constexpr bool IsSyncByte(std::uint8_t b) { return (b & 0x7E) == 0x7E; }
// Stored notes: 0x7E or 0xFE (the top bit is ignored).
constexpr bool IsNotesSyncByte(std::uint8_t b) { return (b & 0x7F) == 0x7E; }
// The answer to "M" that says every stored note has been sent (the top bit is ignored).
constexpr bool IsNotesCompleteAnswer(std::uint8_t b) { return (b & 0x7F) == 'M'; }
// Bytes that count towards the run of zeros ending a block of stored notes.
constexpr bool IsZeroByte(std::uint8_t b) { return (b & 0x7F) == 0; }

// Realtime: bytes before a synchronisation byte are skipped; a packet is the synchronisation
// byte and the three bytes after it, whatever they look like.
FrameStep FrameRealtime(std::string_view bytes);
// The stroke of a realtime packet (bytes 3 to 5 zero).
Stroke RealtimeStroke(std::string_view packet);

// Stored notes read over the cable, one byte at a time. Bytes are gathered into 3-byte
// records; at the first position of a record a synchronisation byte (IsNotesSyncByte) is
// dropped and the byte after it taken in its place, whatever it is. Eight zero bytes in a row
// end a pass.
// Records of three zero bytes are the writer's padding, never a stroke, and are not kept.
class NotesCollector {
public:
    static constexpr int kZeroRunEndingPass = 8;

    // Takes one byte; true when it ends the pass.
    bool Take(std::uint8_t b);
    // Ends a pass however it ended: an unfinished record is dropped (it is padding or a
    // fragment), and the next pass starts a fresh record.
    void EndPass();

    // Complete records not yet written out; the caller writes and empties it.
    std::string& Records() { return records_; }
    // Every byte taken, padding and synchronisation bytes included.
    std::size_t BytesTaken() const { return bytesTaken_; }

private:
    std::string records_;
    std::string group_;
    std::size_t bytesTaken_ = 0;
    int zeroRun_ = 0;
    bool afterSync_ = false;
};

// Notes files of the writer's diskette: a header, then 4-byte records whose bytes 1 to 3 are
// the stroke.
inline constexpr std::size_t kDisketteHeaderSize = 1024;
inline constexpr std::size_t kDisketteRecordSize = 4;

}  // namespace ez
