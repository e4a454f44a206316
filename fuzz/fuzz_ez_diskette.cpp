// The EZ-Writer's diskette notes (mode 0): a 1024-byte header, then 4-byte records whose bytes
// 1 to 3 are the stroke, read by the driver from a notes file in any window and decoded in
// whatever pieces they come.
#include "fuzz/WriterFuzzSupport.h"
#include "writers/CWriterEZ.h"
#include "writers/EzProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::MemoryNotesFile file;
    CWriterEZ& writer = fuzz::RunDriver<CWriterEZ>(kModeNotesFolder);
    const fuzz::NotesInput in = fuzz::TakeNotesInput(data, size);
    const std::string_view records = in.input.bytes;  // the records after the header
    constexpr std::size_t kRecord = ez::kDisketteRecordSize;

    // Each whole record its stroke, with no time of the writer's.
    const std::vector<TrackStroke> strokes = fuzz::DecodeInPieces(writer, records, in.input.cuts, kRecord);
    fuzz::Check(strokes.size() == records.size() / kRecord, "one stroke a record");
    for (std::size_t r = 0; r < strokes.size(); ++r) {
        const TrackStroke& s = strokes[r];
        const std::string_view record = records.substr(r * kRecord, kRecord);
        fuzz::Check(s.keys == Stroke{std::uint8_t(record[1]), std::uint8_t(record[2]), std::uint8_t(record[3]), 0, 0, 0},
                    "the stroke is bytes 1 to 3 of its record");
        fuzz::Check(s.timeCode == TimeCode{} && s.elapsedMs == 0, "a diskette stroke has no time");
    }

    const std::string withHeader = std::string(ez::kDisketteHeaderSize, '\x7E') + std::string(records);
    fuzz::Check(fuzz::ReadWindow(writer, file, withHeader, in.first, in.count).size() ==
                    fuzz::WindowSize(in.first, in.count, records.size() / kRecord),
                "a window past the header reads the records in it");
    return 0;
}
