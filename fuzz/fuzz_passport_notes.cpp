// The Passport's notes records (mode 0): 24-byte key records with a FILETIME each, read from a
// notes file by the driver in any window, and decoded in whatever pieces they come.
#include "fuzz/WriterFuzzSupport.h"
#include "writers/CWriterPP.h"
#include "writers/PassportProtocol.h"

namespace {

bool IsTimeOfDay(const TimeCode& c) { return c[0] < 24 && c[1] < 60 && c[2] < 60 && c[3] < 30; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::MemoryNotesFile file;
    CWriterPP& writer = fuzz::RunDriver<CWriterPP>(kModeNotesFolder);
    const fuzz::NotesInput in = fuzz::TakeNotesInput(data, size);
    const std::string_view notes = in.input.bytes;
    const std::size_t records = notes.size() / passport::kRecordSize;

    // Each whole record its stroke, with its own time.
    writer.timeStamps.clear();
    const std::vector<TrackStroke> strokes = fuzz::DecodeInPieces(writer, notes, in.input.cuts, passport::kRecordSize);
    fuzz::Check(strokes.size() == records, "one stroke a record");
    for (std::size_t r = 0; r < strokes.size(); ++r) {
        const TrackStroke& s = strokes[r];
        const std::string_view record = notes.substr(r * passport::kRecordSize, passport::kRecordSize);
        fuzz::Check(s.keys == passport::DecodeKeyRecord(record), "the stroke is its record's keys");
        fuzz::Check(s.keys[4] == 0 && s.keys[5] == 0 && (s.keys[3] & 0x3F) == 0,
                    "keys only where the alphabet puts them");
        fuzz::Check(IsTimeOfDay(s.timeCode), "a record's time is a time of day");
        fuzz::Check(s.elapsedMs >= 0, "no stroke before the first");
    }

    fuzz::Check(fuzz::ReadWindow(writer, file, notes, in.first, in.count).size() ==
                    fuzz::WindowSize(in.first, in.count, records),
                "a window reads the records in it");
    return 0;
}
