// The build dialog's walk: opening a word list of 100,000 lines with its progress file of
// 100,000 entries (the first call in a fresh process, as a user meets it), and the shadow and
// drop variants of long outlines.
//
//   bench_build_walk            full sizes
//   bench_build_walk --smoke    tiny sizes (a quick check that everything works)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/BuildWalk.h"
#include "app/ShadowDrop.h"
#include "bench/BenchSupport.h"
#include "core/DataFiles.h"
#include "core/Stroke.h"
#include "tests/support/TestEnvironment.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void Report(const char* name, double ms, double mb) { bench::ReportRate("build_walk", name, ms, mb); }

// Opens the list in a process started afresh from this program; its time comes back on its
// output. Negative when the walk failed.
double OpenInFreshProcess(const std::string& list, const std::string& documents) {
    std::string out;
    if (!bench::RunSelf({"--open", list, documents}, out)) return -1;
    double ms = -1;
    return std::sscanf(out.c_str(), "%lf", &ms) == 1 ? ms : -1;
}

// The child's side: one LoadWordList and the first word shown.
int OpenOnce(const std::string& list, const std::string& documents) {
    const auto start = Clock::now();
    BuildWalk walk;
    bool ok = walk.LoadWordList(list, documents);
    if (ok) walk.Start();
    const double ms = MsSince(start);
    ok = ok && !walk.entries.empty() && !walk.ended;
    std::printf("%.3f\n", ok ? ms : -1.0);
    return ok ? 0 : 1;
}

// The median of a few calls: the result is computed in memory, so the first call is no
// different in kind from the others, and the median keeps a busy machine's pauses out.
double VariantsMs(const Outline& outline, const Outline& shadow, const Outline& drop, std::size_t& count) {
    std::vector<double> times;
    for (int run = 0; run < 5; ++run) {
        const auto start = Clock::now();
        count = GenerateVariants(outline, shadow, drop).size();
        times.push_back(MsSince(start));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--open") == 0) return OpenOnce(argv[2], argv[3]);
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    testenv::SetUp();
    const std::string folder = testenv::MakeTempDir("walk") + "/";

    const int lines = smoke ? 1000 : 100000;
    std::vector<std::string> words;
    std::vector<ProgressEntry> entries;
    for (int i = 0; i < lines; ++i) {
        words.push_back(i % 50 == 0 ? "@Section " + std::to_string(i) : "word" + std::to_string(i));
        entries.push_back({"STKPWHR/AOEU/-FRPBLGTS" + std::to_string(i % 7), words.back()});
    }
    const std::string list = folder + "Lesson.edq";
    int failures = 0;
    if (!WriteWordListFile(list, words) || !WriteProgressFile(folder + "Lesson.dqx", entries, lines / 2)) {
        std::fprintf(stderr, "bench_build_walk: cannot write the files\n");
        return 1;
    }
    const double openMs = OpenInFreshProcess(list, folder);
    if (openMs < 0) ++failures;
    Report(smoke ? "open list 1k" : "open list 100k", openMs, bench::FileMb(list) + bench::FileMb(folder + "Lesson.dqx"));

    // Ten strokes of everyday words under the default masks of the English layout.
    const Outline shadow = ParseOutline(0, "STKPWHRFRPBLGTS");
    const Outline drop = ParseOutline(0, "LG");
    const Outline ten = ParseOutline(
        0, "KAT TKOG PWEUG HOUS STROEFT TPHROER KWRES SPWRAOEUL PHRAEUT TKPWRAEUFT");
    std::size_t count = 0;
    double ms = VariantsMs(ten, shadow, drop, count);
    Report("GenerateVariants 10", ms, double(count * ten.size()) / (1024.0 * 1024.0));
    if (count == 0) ++failures;

    // Twenty strokes of a 36-key layout with every key in both masks.
    const int strokes = smoke ? 4 : 20;
    Outline twenty;
    for (int s = 0; s < strokes; ++s) {
        Outline stroke(kStrokeSize, '\0');
        for (int bit = 2; bit < 2 + 36; bit += 3 + s % 3) ToggleBit(stroke, bit);
        twenty += stroke;
    }
    const Outline full(kStrokeSize, '\xFF');
    ms = VariantsMs(twenty, full, full, count);
    Report(smoke ? "GenerateVariants 36-key 4" : "GenerateVariants 36-key 20", ms,
           double(count * twenty.size()) / (1024.0 * 1024.0));
    if (count == 0) ++failures;
    testenv::TearDown();
    return failures ? 1 : 0;
}
