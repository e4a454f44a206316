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
#include "writers/FramedReader.h"

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

// ---- streams in time ------------------------------------------------------------------------

// Even the fastest writing (some eight strokes a second) leaves this long from the start of one
// stroke's packet to the start of the next.
inline constexpr int kFastestStrokeGapMs = 125;
// A byte on the line at 9600 baud takes about a millisecond.
inline constexpr int kLineByteMs = 1;

// A run of bytes that the writer sends at line speed, after a pause (from the run before it
// began, or from the start).
struct TimedRun {
    int pauseMs;
    std::string bytes;
};

struct TimedRow {
    const char* name;
    std::vector<TimedRun> runs;
    std::vector<std::string> strokes;  // hex
};

// The strokes a FramedReader gives for the runs, each run arriving one way: whole (`way` 0), a
// byte at a time at line speed (1), or in pieces of 1 to 5 bytes (2 and up, seeded by `way`).
// Between arrivals the reader waits as a driver does and gives up on a frame past its time.
template <class Decode>
std::vector<std::string> TimedStrokesOneWay(const FramedReader& prototype, const std::vector<TimedRun>& runs,
                                            Decode&& decode, std::size_t width, unsigned way) {
    FramedReader reader = prototype;
    reader.Reset();
    std::vector<std::string> strokes;
    const auto onFrame = [&](std::string_view frame) {
        const Stroke s = decode(frame);
        strokes.push_back(ToHex(std::string(reinterpret_cast<const char*>(s.data()), width)));
    };
    std::int64_t now = 0;
    const auto arrive = [&](std::int64_t at, std::string_view bytes) {
        // The waits that end without input before the bytes come.
        while (!reader.Idle() && now + reader.WaitMs(now) < at) {
            now += reader.WaitMs(now);
            reader.NoInput(now);
        }
        now = at;
        reader.Add(bytes, now, onFrame);
    };
    unsigned state = way;
    std::int64_t runStart = 0;
    for (const TimedRun& run : runs) {
        runStart += run.pauseMs;
        for (std::size_t at = 0; at < run.bytes.size();) {
            std::size_t length = run.bytes.size();
            if (way == 1) length = 1;
            if (way >= 2) {
                state = state * 1103515245u + 12345u;
                length = 1 + (state >> 16) % 5;
            }
            length = std::min(length, run.bytes.size() - at);
            // A piece is read once its last byte is in.
            arrive(runStart + std::int64_t(at + length - 1) * kLineByteMs, std::string_view(run.bytes).substr(at, length));
            at += length;
        }
    }
    arrive(now + 10'000, {});  // the line falls quiet
    return strokes;
}

// The strokes of the runs, checked to be the same whole, byte by byte and in random pieces.
template <class Decode>
std::vector<std::string> TimedStrokes(const FramedReader& reader, const std::vector<TimedRun>& runs, Decode&& decode,
                                      std::size_t width = 3) {
    const std::vector<std::string> whole = TimedStrokesOneWay(reader, runs, decode, width, 0);
    for (unsigned way = 1; way < 6; ++way)
        EXPECT_EQ(TimedStrokesOneWay(reader, runs, decode, width, way), whole) << "read way " << way;
    return whole;
}
