#pragma once
// CWriterSR: the StenoRAM writers and the Vision (writer types 6 to 10; 11 and 24 in mode 0)
// on a serial line. Packets carry two 4-byte checksums (writers/SrProtocol.h). In realtime the
// driver asks the writer how many strokes it holds and then asks for the ones it has not seen,
// at most 50 at a time, one stroke before the first it wants.
//
// Modes: 2 and 3 realtime; 1 reads the stored notes over the cable into "StenoRAM.000" in the
// temporary folder and lists it, with the reader thread left at its gate; 0 reads the notes
// files of a folder (a 1024-byte header, then records) through OpenNotesFile and ReadStrokes.
#include <cstdint>
#include <string>

#include "writers/CWriter.h"

class CWriterSR : public CWriter {
public:
    explicit CWriterSR(platform::WindowHandle owner);
    ~CWriterSR() override;

    void Start(unsigned argument) override;
    // Realtime: asks the writer for the strokes; mode 1: the capture file's 3-byte records;
    // mode 0: records of the notes file, from its header's end when `first` is 0.
    void ReadStrokes(int first, int count) override;
    void Poll() override;
    // Mode 1: the capture file's records (DecodeBuffer); other modes: DecodeRecord(n).
    virtual void ProcessStrokeData(int n);

    void SendPacket(const std::string& packet);
    // Sends the status request and awaits its reply.
    void SendStrokeRequest();
    // Sends the read request and awaits its reply. In realtime from stroke 1 on it asks for one
    // stroke before `first` as well, and that one is skipped when decoding.
    void SendReadRequest(int first, int count);
    // The start-up exchange: the writer's stroke count, or -1 when ten attempts got no sound
    // answer.
    int Handshake();
    // Reads the waiting reply bytes and handles a reply once it is whole.
    void ReadPacket();
    // Decodes up to n records from the front of receiveBuffer; a record cut off by its end
    // stays there undecoded.
    void DecodeRecord(int n);

    WriterTime recordTime{};   // the time of the last time record; every stroke carries it
    int byteDelay = 0;         // ms after each byte sent; 0 sends a packet in one write
    int writerStrokeCount = 0; // as the last status reply gave it
    int expectTimeRecord = 0;  // the next record is a time record

    // How long each handshake attempt waits for the first byte of the answer, and how much
    // slower each silent attempt sends. Tests shorten them.
    int answerWaitMs = 500;
    int byteDelayStepMs = 10;
    // The pause between bytes at which the writer last answered the handshake.
    int handshakeDelay = 0;

protected:
    int WriterStrokeCount() const override { return writerStrokeCount; }
    // After a reopen: the handshake again, without asking; reads on from the stroke reached,
    // or from the first of a writer that now holds fewer strokes.
    bool Reestablish() override;

private:
    // The handshake's answer, once its first byte is waiting: the stroke count, or -1.
    int TakeHandshakeAnswer();
    // Realtime from the stroke in strokeIndex, after a handshake.
    void BeginSession();
    // A reply window passed with no reply; a valid reply came.
    void Unanswered();
    void Answered();
    void CompleteReply();
    void TakeTimeRecord(int value);
    // Mode 1: the stored notes into the capture file.
    void ReadNotes();
    // Reads until the reply is whole or has been quiet for the reply window; false when the
    // port has gone or Stop was asked.
    bool AwaitReply();

    int unanswered_ = 0;    // reply windows in a row without a reply
    int fallbackDelay_ = 0; // the handshake's pace, until a reply shows the normal one works
    bool skipFirst_ = false;            // the reply begins with the stroke before the first wanted
    std::int64_t lastStatusAt_ = 0;     // monotonic ms of the last status request
    std::int64_t notesPosition_ = 0;    // mode 0: where the next record of the notes file starts
    std::string notesRecords_;          // mode 1: the strokes of the current batch, 3 bytes each
};
