#pragma once
// Runs a protocol's framer over a byte stream and lists the frames or strokes it gives. Every
// stream is framed whole, a byte at a time and in random pieces, as reads may split it, and
// must give the same frames each way.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/Stroke.h"
#include "tests/support/HexBytes.h"
#include "writers/FrameStep.h"

struct StreamRow {
    const char* name;
    const char* line;  // hex
    std::vector<std::string> strokes;
};

// The ways reads may split a stream: whole, a byte at a time, and a few random splits.
inline std::vector<std::vector<std::string>> SplitWays(const std::string& stream) {
    std::vector<std::vector<std::string>> ways;
    ways.push_back({stream});
    std::vector<std::string> bytes;
    for (char c : stream) bytes.emplace_back(1, c);
    ways.push_back(bytes);
    std::mt19937 random(std::uint32_t(stream.size()) * 2654435761u + 7);
    for (int split = 0; split < 8; ++split) {
        std::vector<std::string> pieces;
        for (std::size_t at = 0; at < stream.size();) {
            const std::size_t n = std::min(stream.size() - at, std::size_t(1 + random() % 9));
            pieces.push_back(stream.substr(at, n));
            at += n;
        }
        ways.push_back(pieces);
    }
    return ways;
}

inline std::string DescribeSplit(const std::vector<std::string>& pieces) {
    std::string text;
    for (const std::string& piece : pieces) text += (text.empty() ? "[" : " | [") + ToHex(piece) + "]";
    return text;
}

// Frames each piece as it arrives, the way a driver's poll does.
template <class Framer>
std::vector<std::string> FramesOfPieces(const std::vector<std::string>& pieces, Framer&& framer) {
    std::vector<std::string> frames;
    std::string pending;
    for (const std::string& piece : pieces) {
        pending += piece;
        DrainFrames(pending, framer, [&](std::string_view frame) { frames.emplace_back(frame); });
    }
    return frames;
}

// The frames of a stream, checked to be the same however the stream is split into reads.
template <class Framer>
std::vector<std::string> SplitInvariantFrames(const std::string& stream, Framer&& framer) {
    const std::vector<std::vector<std::string>> ways = SplitWays(stream);
    const std::vector<std::string> whole = FramesOfPieces(ways.front(), framer);
    for (std::size_t w = 1; w < ways.size(); ++w)
        EXPECT_EQ(FramesOfPieces(ways[w], framer), whole) << "split " << DescribeSplit(ways[w]);
    return whole;
}

// The strokes of a stream, as hex of their first three bytes (the drivers here fill only
// those), the same however the stream is split.
template <class Framer, class Decode>
std::vector<std::string> FramedStrokes(const std::string& stream, Framer&& framer, Decode&& decode) {
    std::vector<std::string> strokes;
    for (const std::string& frame : SplitInvariantFrames(stream, framer)) {
        const Stroke s = decode(frame);
        EXPECT_EQ(s[3] | s[4] | s[5], 0);
        strokes.push_back(ToHex(std::string(reinterpret_cast<const char*>(s.data()), 3)));
    }
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
