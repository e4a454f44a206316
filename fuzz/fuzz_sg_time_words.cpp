// The SG writers' notes in a folder (mode 0): 4-byte stroke records read by the driver from a
// notes file in any window, each with its 16-bit time word from the time file beside it (which
// may be shorter, longer or missing words), and the times made of them.
#include <algorithm>
#include <fstream>

#include "fuzz/WriterFuzzSupport.h"
#include "writers/CWriterSG.h"
#include "writers/SgProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::MemoryNotesFile notesFile, timeFile;
    CWriterSG& writer = fuzz::RunDriver<CWriterSG>(kModeNotesFolder);
    fuzz::OpenAsNotesFile(writer, notesFile);
    if (!writer.timeFile) {
        // The driver finds a notes file's time file by its name; this one is in memory.
        writer.timeFile = std::make_unique<std::ifstream>(timeFile.Path(), std::ios::binary);
        fuzz::Check(writer.timeFile->is_open(), "the time file in memory opens");
    }

    std::string_view rest(reinterpret_cast<const char*>(data), size);
    const int first = int(fuzz::TakeNumber(rest, 1)) - 4;  // a few before the start too
    const int count = int(fuzz::TakeNumber(rest, 2)) % 1100;
    const std::size_t notesSize = std::min<std::size_t>(fuzz::TakeNumber(rest, 2), rest.size());
    const std::string_view notes = rest.substr(0, notesSize), times = rest.substr(notesSize);
    notesFile.Set(notes);
    timeFile.Set(times);
    fuzz::ResetReading(writer);

    writer.ReadStrokes(first, count);
    const std::vector<TrackStroke> strokes = fuzz::TakeStrokes(writer);
    const std::size_t records = notes.size() / 4;
    const std::size_t from = std::size_t(std::max(first, 0));
    const std::size_t window = std::size_t(std::clamp(count, 0, 1024));
    fuzz::Check(strokes.size() == (first < 0 || from >= records ? 0 : std::min(window, records - from)),
                "a window reads the records in it, 1024 at the most");
    fuzz::Check(writer.strokeIndex == int(strokes.size()), "every stroke read is counted");

    int firstMs = 0;
    for (std::size_t i = 0; i < strokes.size(); ++i) {
        const TrackStroke& s = strokes[i];
        const std::size_t r = from + i;
        const auto keys = SgStrokeKeys(std::uint8_t(notes[4 * r]), std::uint8_t(notes[4 * r + 1]),
                                       std::uint8_t(notes[4 * r + 2]), std::uint8_t(notes[4 * r + 3]));
        fuzz::Check(s.keys == Stroke{keys[0], keys[1], keys[2], 0, 0, 0}, "the stroke is its record's keys");
        // The record's own word; 0 where the time file has none for it, its low byte alone
        // where the file ends inside it.
        const auto timeByte = [&](std::size_t at) { return at < times.size() ? std::uint8_t(times[at]) : 0; };
        const std::uint16_t word = std::uint16_t(timeByte(2 * r) | timeByte(2 * r + 1) << 8);
        const TimeCode code = sg::TimeWordToTimeCode(word);
        fuzz::Check(s.timeCode == code, "each stroke has its own time word");
        fuzz::Check(s.timeCode[2] < 60 && s.timeCode[3] == 0, "seconds of a minute, no frames");
        const int ms = TimeCodeToMs(code);
        if (firstMs == 0) firstMs = ms;
        fuzz::Check(s.elapsedMs == ms - firstMs, "times count from the first stroke's");
    }
    return 0;
}
