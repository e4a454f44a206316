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

// The ways a stream may be split into reads: whole, byte by byte, and random pieces (seeded).
inline std::vector<std::vector<std::string>> ReadSplits(const std::string& stream, unsigned seed = 1) {
    std::vector<std::vector<std::string>> splits{{stream}, {}, {}};
    for (char c : stream) splits[1].push_back(std::string(1, c));
    unsigned state = seed;
    for (std::size_t at = 0; at < stream.size();) {
        state = state * 1103515245u + 12345u;
        const std::size_t length = 1 + (state >> 16) % 5;
        splits[2].push_back(stream.substr(at, length));
        at += length;
    }
    return splits;
}

// The strokes a framer gives for a stream arriving in the reads `pieces`: hex of their first
// `width` bytes.
template <class Framer, class Decode>
std::vector<std::string> FramedStrokesInReads(const std::vector<std::string>& pieces, Framer&& framer,
                                              Decode&& decode, std::size_t width = 3) {
    std::vector<std::string> strokes;
    std::string pending;
    for (const std::string& piece : pieces) {
        pending += piece;
        DrainFrames(pending, framer, [&](std::string_view frame) {
            const Stroke s = decode(frame);
            strokes.push_back(ToHex(std::string(reinterpret_cast<const char*>(s.data()), width)));
        });
    }
    return strokes;
}
