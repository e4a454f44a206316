#pragma once
// What the fuzz targets share: a property check that stops the run with its name, the split
// of an input into the bytes and the cuts that feed them in pieces, and a scratch file.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/Stroke.h"
#include "writers/FrameStep.h"

namespace fuzz {

inline void Check(bool holds, const char* property) {
    if (holds) return;
    std::fprintf(stderr, "property broken: %s\n", property);
    std::abort();
}

// Writers of three key bytes give strokes whose further bytes are 0.
inline void CheckThreeKeyBytes(const Stroke& stroke) {
    Check(stroke[3] == 0 && stroke[4] == 0 && stroke[5] == 0, "a stroke has three key bytes");
}

// The first byte of an input tells how many of the following bytes are cuts (piece lengths
// 1 to 16); the rest is what a writer sent or a file holds.
struct Input {
    std::string_view cuts;
    std::string_view bytes;
};
inline Input SplitInput(const std::uint8_t* data, std::size_t size) {
    std::string_view all(reinterpret_cast<const char*>(data), size);
    if (all.empty()) return {};
    std::size_t cutCount = std::min<std::size_t>(std::uint8_t(all[0]) % 8, all.size() - 1);
    return {all.substr(1, cutCount), all.substr(1 + cutCount)};
}

// The length of the next piece: from the cuts in turn, the whole rest without cuts.
class Pieces {
public:
    explicit Pieces(std::string_view cuts) : cuts_(cuts) {}
    std::size_t Next(std::size_t left) {
        if (cuts_.empty()) return left;
        std::size_t n = 1 + std::uint8_t(cuts_[k_++ % cuts_.size()]) % 16;
        return std::min(n, left);
    }

private:
    std::string_view cuts_;
    std::size_t k_ = 0;
};

struct Framed {
    std::vector<std::string> frames;
    std::string pending;
    bool operator==(const Framed&) const = default;
};

// Feeds `bytes` to a framer in the pieces `cuts` give, as a reader takes them off the line.
// Every step stays within the bytes it was shown.
template <class Framer>
Framed FeedInPieces(Framer framer, std::string_view bytes, std::string_view cuts) {
    Framed out;
    Pieces pieces(cuts);
    for (std::size_t pos = 0; pos < bytes.size();) {
        std::size_t n = pieces.Next(bytes.size() - pos);
        out.pending.append(bytes.substr(pos, n));
        pos += n;
        auto checked = [&](std::string_view rest) {
            FrameStep step = framer(rest);
            Check(step.kind == FrameStep::NeedMore || step.length <= rest.size(),
                  "a framer step is no longer than the bytes shown");
            return step;
        };
        DrainFrames(out.pending, checked,
                    [&](std::string_view frame) { out.frames.emplace_back(frame); });
    }
    return out;
}

// The frames are the same however the bytes are cut, and none is longer than the input.
template <class Framer>
Framed CheckFramer(Framer framer, Input input) {
    Framed whole = FeedInPieces(framer, input.bytes, {});
    Framed cut = FeedInPieces(framer, input.bytes, input.cuts);
    Check(whole == cut, "frames do not depend on how the bytes are cut");
    std::size_t total = whole.pending.size();
    for (const std::string& frame : whole.frames) {
        Check(!frame.empty() && frame.size() <= input.bytes.size(),
              "a frame is never empty nor longer than the input");
        total += frame.size();
    }
    Check(total <= input.bytes.size(), "frames and what is left never exceed the input");
    return whole;
}

// A folder of this process's own for the targets that need real files, on the memory file
// system where there is one, so that an input costs no disk.
inline const std::string& ScratchFolder() {
    static const std::string folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        const std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : tmp && *tmp ? tmp : "/tmp";
        std::string pattern = base + "/dqfuzz.XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        return pattern;
    }();
    // Registered after `folder` was made, so run before it goes.
    static const int removedAtExit = std::atexit([] { std::filesystem::remove_all(ScratchFolder()); });
    (void)removedAtExit;
    return folder;
}
inline std::string WriteScratch(const std::string& name, std::string_view bytes) {
    std::string path = ScratchFolder() + "/" + name;
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), std::streamsize(bytes.size()));
    return path;
}
inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace fuzz
