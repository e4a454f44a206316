#pragma once
// CWriterSG: the writers that speak the SG request/reply packets over a serial line (writer
// types 0 to 5 and 31). In realtime it wakes the writer, finds its realtime file in the
// directory listing, opens it, skips the strokes already in it (the catch-up), and then asks
// at every poll for the strokes written since. A writer that stops answering, or comes back on
// a reopened port, gets the same start-up exchange again (Reestablish), and reading goes on
// from the stroke reached. The notes modes read stored notes over the cable (1) or from files
// in a folder (0). Packets: writers/SgProtocol.h.
#include <array>
#include <atomic>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

#include "writers/CSerialFile.h"
#include "writers/CWriter.h"
#include "writers/SgProtocol.h"

class CWriterSG : public CWriter {
public:
    explicit CWriterSG(platform::WindowHandle owner);
    ~CWriterSG() override;

    void Start(unsigned argument) override;
    void Stop() override;
    void ReadStrokes(int first, int count) override;
    void DecodeBuffer() override;
    void CloseNotesFile() override;
    // Mode 1: true when the writer answered the request to open the file; mode 0: true when
    // the notes file opened; false for an index outside the list and in the other modes.
    bool OpenNotesFile(int index) override;
    void Poll() override;

    // Sends the request built in receiveBuffer (checksums filled in here) and awaits its reply.
    void SendRequest();
    // Reads the reply bytes that are waiting; a complete reply is checked, its strokes decoded.
    void ReceivePacket();

    // Longest the user-interface thread waits in Start for the catch-up; the catch-up ends
    // with Start either way.
    static constexpr int kCatchUpWaitMs = 5000;

    std::array<std::uint8_t, 2048> timeWords{};  // time words of the last notes read (mode 0)
    std::unique_ptr<std::ifstream> timeFile;     // the notes file's time file (mode 0)
    int missedReplies = 0;
    std::uint8_t sequenceByte = 0;
    std::atomic<std::uint8_t> catchingUp{0};  // strokes are counted, not queued, while set

protected:
    void PortReopened() override;
    // The line to the writer: the serial port. A test may put a scripted line in its place.
    virtual void LineWrite(const std::string& bytes);
    virtual bool LineInputWaiting();
    // Up to `most` of the bytes waiting now (none when none is waiting; never blocks for long).
    virtual std::string LineReadWaiting(std::size_t most);
    virtual WaitResult LineWait(int ms);
    virtual void LineFlushInput();
    // The port is open and its device still there.
    virtual bool LineOpen();

    // After a reopen, and on the reader thread whenever the writer has stopped answering: the
    // start-up exchange again without asking (the zero header and its pause, Wake, listing,
    // opening the realtime file). Reads on from the stroke reached, or from the start of a
    // file that is new (another name, or shorter than the read position).
    bool Reestablish() override;

private:
    enum class Waited { Input, Timeout, Over };  // Over: the line went, or Stop was asked
    Waited AwaitInput(int ms);
    // Receives until a reply is complete (protocolState 3) or `limitMs` have passed.
    bool AwaitReply(int limitMs);
    // The same until the monotonic time `end`.
    bool AwaitReplyUntil(std::int64_t end);
    // The same until the reply window has passed with no byte of the reply.
    bool AwaitReplyWindow();
    template <class End>
    bool AwaitReplyBy(End end);
    // Drops what the writer sends until it has been quiet a while (at most `limitMs`).
    void DrainUntilQuiet(int limitMs);
    void CompleteReply();
    // Wakes the writer and asks for its directory listing: protocolState 3 with the raw
    // reply in receiveBuffer, or 4 when the writer did not answer.
    void ConnectAttempt(bool realtime);
    // The listing in receiveBuffer is whole and sound.
    bool ListingIsSound() const;
    // Clears the line and paces the first wake-up (after a fresh open).
    void PrepareLine();
    void StartRealtime(unsigned argument);
    void StartCable();
    // Mode 1 and the realtime modes: the request that closes the open file, and its reply
    // (awaited at most 2 s from the request, and only from a writer that answers).
    void CloseWriterFile();
    // Connected, and the last request answered (or still within its reply window).
    bool WriterAnswers() const;
    // The realtime file `name` is open on the writer from now on.
    void FileOpened(const std::string& name);
    // Asks the writer to open its realtime file; true once it acknowledged.
    bool OpenRealtimeFile(const sg::FileEntry& file);
    // The listed realtime file is not the one being read: another name, or fewer strokes
    // than the read position.
    bool IsNewFile(const sg::FileEntry& file) const;
    // Between two reads that went unanswered or came back empty: asks for the listing, to
    // tell a writer that is there from one that has stopped answering, and to find a realtime
    // file started again.
    bool ListingDue() const;
    void CheckListing();
    // The writer has stopped answering: said, and the session is set up again.
    void StoppedAnswering();

    std::uint16_t lastAction_ = 0;  // action of the last request sent
    bool answered_ = false;         // its reply has been taken
    bool outstanding_ = false;      // a request was sent and its reply is not complete
    std::int64_t sentMs_ = 0;       // when the last request was sent
    std::int64_t lastReadSentMs_ = 0;  // when the last read request was sent
    bool connected_ = false;        // the session is set up: the writer answered it
    bool reestablishing_ = false;   // the writer stopped answering (reader thread)
    bool replyWaiting_ = false;     // the wait after the last read request saw its reply come
    // Reader thread, realtime: the file being read, and what the writer last told of it.
    std::string openName_;
    bool lastReadEmpty_ = false;          // the last read reply had no strokes
    std::int64_t lastListingMs_ = 0;      // when the listing was last asked (or the file opened)
    std::int64_t lastReadAnswerMs_ = 0;   // the last reply to a read (or the opening)
    int readPatienceMs_ = 0;  // reads unanswered this long, listings answered: set up again
};
