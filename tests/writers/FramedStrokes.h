#pragma once
// Runs a protocol's framer over a whole byte stream and lists the strokes it gives, as hex of
// their first three bytes (the drivers here fill only those).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Stroke.h"
#include "tests/support/HexBytes.h"
#include "writers/FrameStep.h"

struct StreamRow {
    const char* name;
    const char* line;  // hex
    std::vector<std::string> strokes;
};

template <class Framer, class Decode>
std::vector<std::string> FramedStrokes(std::string stream, Framer&& framer, Decode&& decode) {
    std::vector<std::string> strokes;
    DrainFrames(stream, framer, [&](std::string_view frame) {
        const Stroke s = decode(frame);
        EXPECT_EQ(s[3] | s[4] | s[5], 0);
        strokes.push_back(ToHex(std::string(reinterpret_cast<const char*>(s.data()), 3)));
    });
    return strokes;
}
