// The Flash/Stylus group framer and decoder, and the collector of notes read over the cable.
#include "fuzz/FuzzSupport.h"
#include "writers/FlProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::Input input = fuzz::SplitInput(data, size);
    for (const std::string& group : fuzz::CheckFramer(fl::FrameGroup, input).frames) {
        fuzz::Check(group.size() == fl::kGroupSize &&
                        std::uint8_t(group.back()) == fl::kEndMarker &&
                        !fl::IsWriterGroup(std::uint8_t(group[0])),
                    "a stroke group is three bytes and the end marker, never the writer's own");
        fuzz::CheckThreeKeyBytes(fl::GroupStroke(group));
    }

    fl::NotesCollector notes;
    std::size_t records = 0;
    for (char c : input.bytes) {
        notes.Take(std::uint8_t(c));
        records += notes.Records().size();
        notes.Records().clear();
    }
    notes.Finish();
    fuzz::Check(records <= input.bytes.size(), "never more notes than bytes");
    return 0;
}
