// The 3-byte capture files of stored notes (mode 1): read by the base reader from a notes file
// in any window, and decoded in whatever pieces they come.
#include "fuzz/WriterFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::MemoryNotesFile file;
    CWriter& writer = fuzz::RunDriver<CWriter>(kModeNotesCable);
    const fuzz::NotesInput in = fuzz::TakeNotesInput(data, size);
    const std::string_view capture = in.input.bytes;
    const std::size_t records = capture.size() / 3;

    const std::vector<TrackStroke> strokes = fuzz::DecodeInPieces(writer, capture, in.input.cuts, 3);
    fuzz::Check(strokes.size() == records && writer.strokeIndex == int(records), "one stroke a record, counted");
    for (std::size_t r = 0; r < strokes.size(); ++r)
        fuzz::Check(strokes[r].keys == Stroke{std::uint8_t(capture[3 * r]), std::uint8_t(capture[3 * r + 1]),
                                              std::uint8_t(capture[3 * r + 2]), 0, 0, 0},
                    "the stroke is its record");

    const std::vector<TrackStroke> read = fuzz::ReadWindow(writer, file, capture, in.first, in.count);
    fuzz::Check(read.size() == fuzz::WindowSize(in.first, in.count, records), "a window reads the records in it");
    for (std::size_t i = 0; i < read.size(); ++i)
        fuzz::Check(read[i].keys == strokes[std::size_t(in.first) + i].keys, "a window's strokes are the file's");
    return 0;
}
