#pragma once
// What the fuzz targets of the drivers' stored-notes readers share: one driver object kept for
// the whole run (so that each input costs the reading, not a driver's construction), the strokes
// it queued, and a notes file held in memory (a memfd, reached by its /proc path) that each
// input rewrites, so that the reading goes through the driver's own file calls without a disk.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "writers/CWriter.h"

namespace fuzz {

// The driver of this run, made once, in `mode`, with no owner window and no port.
template <class Driver>
Driver& RunDriver(int mode) {
    static Driver* const driver = [mode] {
        Driver* d = NewWriter<Driver>(platform::kNoWindow);
        d->mode = mode;
        return d;
    }();
    return *driver;
}

// Every stroke the driver queued, oldest first; the queue is left empty.
inline std::vector<TrackStroke> TakeStrokes(CWriter& writer) {
    std::vector<TrackStroke> strokes;
    TrackStroke s;
    while (writer.GetStroke(&s) == 1) strokes.push_back(s);
    return strokes;
}

// Clears what one input left in a driver: buffers, counters, the first stored stroke's time.
inline void ResetReading(CWriter& writer) {
    TakeStrokes(writer);
    writer.receiveBuffer.clear();
    writer.auxBuffer.clear();
    writer.strokeIndex = 0;
    writer.firstStrokeTime = 0;
}

// A file in memory whose content each input sets.
class MemoryNotesFile {
public:
    MemoryNotesFile() {
        fd_ = memfd_create("dqfuzz-notes", 0);
        if (fd_ < 0) std::abort();
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    const std::string& Path() const { return path_; }
    void Set(std::string_view bytes) {
        if (ftruncate(fd_, 0) != 0 || pwrite(fd_, bytes.data(), bytes.size(), 0) != ssize_t(bytes.size()))
            std::abort();
    }

private:
    int fd_ = -1;
    std::string path_;
};

// Opens the memory file as the driver's notes file (once for the run), as the base does; the
// drivers' own OpenNotesFile looks for more (SG's time file) or, Passport's, opens nothing.
inline void OpenAsNotesFile(CWriter& writer, const MemoryNotesFile& file) {
    if (writer.notesFile.is_open()) return;
    writer.notesFile.open(file.Path(), std::ios::in | std::ios::binary);
    Check(writer.notesFile.is_open(), "the notes file in memory opens");
}

// Hands `bytes` to the driver's DecodeBuffer in the pieces `cuts` give, as reads may bring
// them: every whole record of `recordSize` bytes is taken each time. The strokes it queued.
inline std::vector<TrackStroke> DecodeInPieces(CWriter& writer, std::string_view bytes, std::string_view cuts,
                                               std::size_t recordSize) {
    ResetReading(writer);
    Pieces pieces(cuts);
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::size_t n = pieces.Next(bytes.size() - pos);
        writer.receiveBuffer.append(bytes.substr(pos, n));
        pos += n;
        writer.DecodeBuffer();
        Check(writer.receiveBuffer.size() < recordSize, "every whole record is taken");
    }
    return TakeStrokes(writer);
}

// The records a window of `count` from record `first` holds in a file of `records`.
inline std::size_t WindowSize(int first, int count, std::size_t records) {
    if (first < 0 || count <= 0 || std::size_t(first) >= records) return 0;
    return std::min(std::size_t(count), records - std::size_t(first));
}

// Reads the window with the driver's ReadStrokes from the memory file holding `contents`.
inline std::vector<TrackStroke> ReadWindow(CWriter& writer, MemoryNotesFile& file, std::string_view contents,
                                           int first, int count) {
    file.Set(contents);
    ResetReading(writer);
    OpenAsNotesFile(writer, file);
    writer.ReadStrokes(first, count);
    return TakeStrokes(writer);
}

// A little-endian number of `bytes` bytes from the front of `data`, which loses them.
inline std::uint32_t TakeNumber(std::string_view& data, std::size_t bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < bytes && !data.empty(); ++i) {
        value |= std::uint32_t(std::uint8_t(data.front())) << (8 * i);
        data.remove_prefix(1);
    }
    return value;
}

}  // namespace fuzz

namespace fuzz {

// An input of a notes reader: a window to read (its first record, from a few before the start,
// and its count, one byte each), then the cuts and the notes as SplitInput has them.
struct NotesInput {
    int first = 0;
    int count = 0;
    Input input;
};
inline NotesInput TakeNotesInput(const std::uint8_t* data, std::size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    NotesInput notes;
    notes.first = int(TakeNumber(rest, 1)) - 4;
    notes.count = int(TakeNumber(rest, 1)) - 4;
    notes.input = SplitInput(reinterpret_cast<const std::uint8_t*>(rest.data()), rest.size());
    return notes;
}

}  // namespace fuzz
