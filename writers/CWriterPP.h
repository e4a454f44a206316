#pragma once
// CWriterPP: the Passport writer (writer type 25). In realtime each stroke comes as a numbered
// text packet; a gap in the numbers, or a quiet line, asks the writer to send again from the
// next number expected. Mode 0 reads 24-byte key records with time stamps from a notes file.
// A port that goes away is opened again every 500 ms until it answers or the writer stops.
#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "writers/CSimpleWriter.h"
#include "writers/PassportProtocol.h"

class CWriterPP : public CSimpleWriter {
public:
    explicit CWriterPP(platform::WindowHandle owner);
    ~CWriterPP() override;

    // Realtime: writes the request for `count` strokes from number `first` ("<s57/100>"). A
    // write that fails closes the port: the reader thread opens it again every 500 ms, and
    // once the writer is back the request goes at the next idle poll.
    // Mode 0: reads records first .. first+count-1 of the open notes file (none when no file
    // is open) and decodes them. Other modes: the base's.
    void ReadStrokes(int first, int count) override;
    // Queues the stroke of every whole 24-byte key record at the front of receiveBuffer; in
    // mode 0 with the record's own time.
    void DecodeBuffer() override;
    // Opens nothing: the notes of this writer are not read from a listed file.
    bool OpenNotesFile(int index) override;
    void Poll() override;

    // Milliseconds since the first time stamp seen (which is stored); 0 for one not later.
    std::int32_t ConvertTimestamp(std::int64_t ms);

    // A lastRequestTime that asks at the next idle poll.
    static constexpr std::int64_t kAskAtNextIdle = std::numeric_limits<std::int64_t>::min() / 2;

    std::string lineBuffer;  // received text not yet parsed
    // platform::MonotonicMs of the last in-order packet or resend request.
    std::int64_t lastRequestTime = kAskAtNextIdle;
    int expectedNumber = -1;               // the next stroke number; -1 before the first
    std::vector<std::int64_t> timeStamps;  // the first time stamp seen in mode 0

private:
    std::map<int, std::string> delivered_;  // key text of the strokes delivered lately, by number
    std::int64_t lastByteMs_ = 0;           // when the line last carried bytes
    bool afterPause_ = false;  // the bytes being read came after a quiet line or a reopen
    std::vector<passport::Packet> restartRun_;  // low packets in sequence, held
    std::int64_t lastPacketMs_ = 0;  // when the last packet was taken
    bool afterQuiet_ = false;  // the packets being taken came after a line quiet for kQuietLineMs

private:
    void TakePacket(const passport::Packet& packet);
    // A packet numbered below the next expected one: sent again, damaged, or the writer
    // started its numbering again (it was reset, or began a new job).
    void TakeLowPacket(const passport::Packet& packet);
    void Deliver(const passport::Packet& packet);

protected:
    // Forgets the text the old line left and asks for what was written meanwhile.
    bool Reestablish() override;
};
