// Throughput of the data files: reading a word list of a million lines, writing and reading a
// progress file of 100,000 entries, and exporting those entries as an RTF/CRE dictionary.
// Each result is the median of several runs; MB/s counts the bytes of the file on disk.
//
//   bench_datafiles            full sizes
//   bench_datafiles --smoke    tiny sizes, one run (a quick check that everything works)
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/DataFiles.h"
#include "core/RtfDictionary.h"

namespace {

double FileMb(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? double(st.st_size) / (1024.0 * 1024.0) : 0.0;
}

// Median wall time in milliseconds of `runs` calls; exits when a call fails.
double MedianMs(int runs, const std::function<bool()>& body) {
    std::vector<double> times;
    for (int n = 0; n < runs; ++n) {
        auto start = std::chrono::steady_clock::now();
        bool ok = body();
        auto end = std::chrono::steady_clock::now();
        if (!ok) {
            std::fprintf(stderr, "bench_datafiles: a run failed\n");
            std::exit(1);
        }
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void Report(const char* name, double ms, double mb) {
    std::printf("{\"bench\": \"datafiles\", \"name\": \"%s\", \"ms\": %.3f, \"mb_per_s\": %.1f}\n",
                name, ms, ms > 0 ? mb / (ms / 1000.0) : 0.0);
    std::fflush(stdout);
}

std::string Word(std::size_t n) {
    static const char* const kStems[] = {"the", "steno", "outline", "because", "dictionary",
                                         "court reporter", "@Heading", "caf\xE9"};
    return std::string(kStems[n % 8]) + std::to_string(n);
}

}  // namespace

int main(int argc, char** argv) {
    bool smoke = argc > 1 && std::string(argv[1]) == "--smoke";
    const std::size_t lineCount = smoke ? 1000 : 1'000'000;
    const std::size_t entryCount = smoke ? 1000 : 100'000;
    const int runs = smoke ? 1 : 5;

    const char* tmp = std::getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench_datafiles.XXXXXX";
    if (!mkdtemp(dir.data())) {
        std::perror("bench_datafiles: mkdtemp");
        return 1;
    }

    std::vector<std::string> lines;
    lines.reserve(lineCount);
    for (std::size_t n = 0; n < lineCount; ++n) lines.push_back(Word(n));
    std::string list = dir + "/list.edq";
    if (!WriteWordListFile(list, lines)) return 1;
    lines.clear();
    double ms = MedianMs(runs, [&] { return ReadWordListFile(list).size() == lineCount; });
    Report("read_word_list", ms, FileMb(list));

    std::vector<ProgressEntry> entries;
    entries.reserve(entryCount);
    for (std::size_t n = 0; n < entryCount; ++n)
        entries.push_back({"STKPW/HRAO/KAT" + std::to_string(n % 97), Word(n)});
    std::string progress = dir + "/list.dqx";
    ms = MedianMs(runs, [&] { return WriteProgressFile(progress, entries, 42); });
    Report("write_progress_file", ms, FileMb(progress));
    ms = MedianMs(runs, [&] {
        int position = 0;
        return ReadProgressFile(progress, position).size() == entryCount;
    });
    Report("read_progress_file", ms, FileMb(progress));

    std::string rtf = dir + "/list.rtf";
    ms = MedianMs(runs, [&] { return WriteRtfDictionary(progress, rtf); });
    Report("export_rtf", ms, FileMb(rtf));

    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return 0;
}
