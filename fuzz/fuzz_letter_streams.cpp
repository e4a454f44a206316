// The letter-stream decoders: Grandjean's letters and the AccuWriter's lines of steno text.
#include "core/Stroke.h"
#include "fuzz/FuzzSupport.h"
#include "writers/AcProtocol.h"
#include "writers/GrandjeanProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::Input input = fuzz::SplitInput(data, size);
    // A stroke decoded at once equals the keys gathered one letter at a time.
    grandjean::KeySet keys;
    for (char c : input.bytes) keys.Add(std::uint8_t(c));
    fuzz::Check(keys.ToStroke() == grandjean::DecodeLetters(input.bytes),
                "letters give the same stroke gathered one by one");

    const std::uint8_t layout = input.cuts.empty() ? 0 : std::uint8_t(input.cuts[0]) % kLayoutCount;
    AcLineReader reader;
    for (char c : input.bytes)
        if (reader.Add(std::uint8_t(c))) reader.EndLine(layout);
    reader.EndLine(layout);
    return 0;
}
