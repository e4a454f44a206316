// The MW realtime stroke framer and decoder.
#include "fuzz/FuzzSupport.h"
#include "writers/MwProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::Input input = fuzz::SplitInput(data, size);
    for (const std::string& frame : fuzz::CheckFramer(mw::FrameStroke, input).frames) {
        fuzz::Check(frame.size() == mw::kKeyBytes || frame.size() == mw::kKeyBytes + 1,
                    "a stroke is three key bytes, after an optional lead byte");
        fuzz::CheckThreeKeyBytes(mw::FrameKeys(frame));
        fuzz::Check(mw::MirroredRecord(frame.substr(frame.size() - 3)).size() == 3,
                    "a record is three bytes");
    }
    return 0;
}
