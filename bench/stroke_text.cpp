// Cost of turning strokes into text and back: FormatStroke runs once per stroke on the UI
// thread (twice in the build dialog), ParseOutline once per stroke in the text-stream drivers.
// Prints one JSON line per case; --smoke runs a few samples only.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/Stroke.h"

namespace {

constexpr int kBatch = 100;  // calls per timed sample; one call is far below the clock's grain

void Report(const char* name, std::vector<double>& perCallUs) {
    std::sort(perCallUs.begin(), perCallUs.end());
    const auto at = [&](double q) { return perCallUs[std::size_t(q * double(perCallUs.size() - 1))]; };
    std::printf("{\"bench\": \"stroke_text\", \"name\": \"%s\", \"n\": %zu, "
                "\"p50_us\": %.4f, \"p99_us\": %.4f, \"max_us\": %.4f}\n",
                name, perCallUs.size() * kBatch, at(0.5), at(0.99), perCallUs.back());
}

void Run(const char* name, int samples, const std::function<std::size_t(int)>& call) {
    std::vector<double> perCallUs;
    perCallUs.reserve(std::size_t(samples));
    std::size_t sink = 0;
    for (int s = 0; s < samples; ++s) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kBatch; ++i) sink += call(s * kBatch + i);
        const std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
        perCallUs.push_back(took.count() / kBatch);
    }
    if (sink == 1) std::puts("");  // keeps the calls from being optimised away
    Report(name, perCallUs);
}

}  // namespace

int main(int argc, char** argv) {
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const int samples = smoke ? 20 : 20000;

    std::mt19937 rng(7);
    std::vector<StrokeRecord> records(4096);
    for (std::size_t i = 0; i < records.size(); ++i) {
        records[i].layout = std::uint8_t(i % kLayoutCount);
        for (int b = 0; b < 5; ++b) records[i].keys[std::size_t(b)] = std::uint8_t(rng() & rng());
        records[i].keys[0] &= 0x7F;  // key strokes, not commands
    }
    std::vector<std::string> texts;
    for (const auto& r : records) texts.push_back(FormatStroke(r, kStrokeCompact));
    const auto pick = [&](int i) { return std::size_t(i) % records.size(); };

    Run("FormatStroke columns", samples,
        [&](int i) { return FormatStroke(records[pick(i)], kStrokeColumns).size(); });
    Run("FormatStroke compact", samples,
        [&](int i) { return FormatStroke(records[pick(i)], kStrokeCompact).size(); });
    Run("ParseOutline one stroke", samples, [&](int i) {
        const std::size_t n = pick(i);
        return ParseOutline(records[n].layout, texts[n]).size();
    });
    Outline outline;
    for (std::size_t i = 0; i < 4; ++i)
        outline.append(reinterpret_cast<const char*>(records[i].keys.data()), kStrokeSize);
    Run("FormatOutline four strokes", samples, [&](int) { return FormatOutline(0, outline, 1).size(); });
    return 0;
}
