// The TranscriptorX / Lightspeed key-byte gatherer: strokes from any byte stream.
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "writers/TxProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tx::StrokeGatherer gatherer;
    std::vector<tx::Keys> strokes;
    tx::Keys placed{};        // every key bit of the key bytes
    std::uint8_t lastKeyByte = 0;
    std::size_t separators = 0;
    for (std::size_t n = 0; n < size; ++n) {
        const std::uint8_t b = data[n];
        const std::size_t before = strokes.size();
        gatherer.Take(b, strokes);
        fuzz::Check(strokes.size() - before <= 2, "a byte completes two strokes at most");
        if (b == 0x40 || b == 0x80) {
            ++separators;
            fuzz::Check(strokes.size() > before && strokes.back() == tx::kSeparatorStroke,
                        "0x40 and 0x80 stand for a stroke of their own");
        } else if (b != 0x00) {
            lastKeyByte = b;
            tx::AddKeyBits(b, placed);
        }
        fuzz::Check(gatherer.LastByte() == lastKeyByte, "the last key byte survives every flush");
    }
    gatherer.Flush(strokes);
    fuzz::Check(gatherer.Pending() == tx::Keys{}, "nothing is pending after a flush");

    // Every key placed reaches a stroke, and a stroke holds only keys that were placed; key
    // bytes never set the coded-command bit, so only the separator strokes carry it.
    tx::Keys gathered{};
    std::size_t separatorStrokes = 0;
    for (const tx::Keys& s : strokes) {
        fuzz::Check((s[0] | s[1] | s[2]) != 0, "no stroke is empty");
        if (s[0] & 0x80) {
            fuzz::Check(s == tx::kSeparatorStroke, "only a separator carries the command bit");
            ++separatorStrokes;
            continue;
        }
        for (int i = 0; i < 3; ++i) gathered[i] |= s[i];
    }
    fuzz::Check(separatorStrokes == separators, "one stroke for each separator byte");
    fuzz::Check(gathered == placed, "every key placed is in a stroke, and no other");
    fuzz::Check(strokes.size() <= size, "no more strokes than bytes");
    return 0;
}
