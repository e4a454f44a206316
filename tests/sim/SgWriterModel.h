#pragma once
// What an SG writer answers, as a pure model: bytes from the driver go in, the writer's
// replies come out. It checks every request byte for byte (start byte, length, both
// checksums, the fixed fields of each template), keeps a realtime file that grows as a test
// "writes" strokes, and can be told to misbehave on requests of one kind: ignore them,
// corrupt a checksum, cut a reply short, answer garbage. Timing (answering late) and
// dropping off the line belong to the line (SgSimulator on a pseudo-terminal).
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "writers/SgProtocol.h"

// A reply as a writer sends it: header, data, data checksum, both checksums right.
// `action` is echoed in bytes 4-5, which the driver does not interpret.
std::string SgReply(std::uint8_t sequence, std::string_view data, std::uint16_t action = 0);
// Fills in a reply's header checksum (bytes 1-11) and, when it is long enough to have one,
// its data checksum (bytes 14..length-3), as a writer does. A test that changes a field of a
// reply calls it again. Shorter than a header: left alone.
void SealReply(std::string& reply);
// The data part of a directory listing holding `files` ({name, size in bytes}).
std::string SgListingData(const std::vector<sg::FileEntry>& files);

class SgWriterModel {
public:
    // How the writer treats the next replies it would send.
    enum class Fault {
        None,
        Silent,       // answers nothing
        BadCrc,       // the data checksum (or, with no data, the header's) is wrong
        CutShort,     // only the first half of the reply is sent
        Garbage,      // bytes that never form a reply are sent instead
        Twice,        // the reply is sent twice
    };

    SgWriterModel();

    // ---- the writer's storage (thread-safe: tests write while the session runs) ----
    // Strokes already in the realtime file when the driver connects.
    void SetRealtimeStrokes(int count);
    // The test writes one stroke on the machine: three stroke bytes appended as a record.
    void Write(std::uint8_t k0, std::uint8_t k1, std::uint8_t k2);
    int RealtimeStrokeCount() const;
    // No realtime file: the listing is shorter than 50 bytes.
    void SetNoRealtimeFile(bool none);
    // Further files in the listing (cable mode), e.g. "FILE.001".
    void AddStoredFile(const std::string& name, int strokes);
    // The writer is reset (power-cycled): its realtime file starts again empty, and no file
    // is open.
    void Restart();
    // A new job begun on the writer while it goes on answering: the realtime file starts again
    // empty and stays the file that is open.
    void StartNewJob();
    // The realtime file's name in the listing (default "REALTIME.000").
    void SetRealtimeFileName(const std::string& name);

    // ---- misbehaviour ----
    // The next `count` replies to requests of `action` (0: any action, Wake included) get
    // `fault`; count -1: every one from now on.
    void Inject(Fault fault, std::uint16_t action = 0, int count = -1);
    // The same for the next `count` replies that carry data (strokes or a listing).
    void InjectOnData(Fault fault, int count = 1);
    // Back to answering every request properly.
    void ClearFaults();
    // Answer nothing to the first `count` Wake packets.
    void IgnoreWakes(int count);

    // ---- the line ----
    // Looks at bytes the driver wrote and nobody took yet: returns how many of them form one
    // request, or are stray bytes ahead of one (0: wait for more), and puts the writer's
    // answer to a request in `reply`.
    std::size_t Take(std::string_view pending, std::string& reply);
    // All of `bytes` at once: the answers in order (for tests without a line).
    std::string Feed(std::string_view bytes);

    // ---- what happened ----
    // The action of every well-formed request received, in order (Wake included).
    std::vector<std::uint16_t> Actions() const;
    // The requests themselves, as received.
    std::vector<std::string> Requests() const;
    // Each malformed request, bad checksum or unexpected field, described.
    std::vector<std::string> Errors() const;
    // The (first, count) of every ReadRecords request.
    std::vector<std::pair<int, int>> Reads() const;
    int CountOf(std::uint16_t action) const;

private:
    struct Injection {
        Fault fault;
        std::uint16_t action;
        int count;
        bool dataOnly;
    };
    struct File {
        std::string name;
        std::string records;  // 4 bytes a stroke
    };

    std::string Answer(const std::string& request);
    std::string Deliver(std::uint16_t action, std::string reply);
    void Error(const std::string& what);
    File* Find(const std::string& name);
    std::vector<sg::FileEntry> ListingLocked() const;

    mutable std::mutex mutex_;
    std::string pending_;  // Feed's bytes of a request not complete yet
    std::vector<File> files_;  // files_[0] is the realtime file
    bool noRealtimeFile_ = false;
    std::string openFile_;
    std::deque<Injection> injections_;
    int wakesToIgnore_ = 0;
    std::vector<std::uint16_t> actions_;
    std::vector<std::string> requests_;
    std::vector<std::string> errors_;
    std::vector<std::pair<int, int>> reads_;
};
