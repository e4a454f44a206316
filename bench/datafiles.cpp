// Speed of the data files as a user meets it: the first call of each operation in a fresh
// process (a grown heap left by earlier runs would hide the cost of the memory a call touches).
// Reading a word list of a million lines, writing and reading a progress file of 100,000
// entries, and exporting those entries as an RTF/CRE dictionary. Each figure is the median over
// several fresh processes; MB/s counts the bytes of the file on disk. The floors make the same
// results in memory without any file: what a reader cannot go below on this machine.
//
//   bench_datafiles            full sizes
//   bench_datafiles --smoke    tiny sizes, one process each (a quick check that all works)
//   bench_datafiles --prepare FOLDER           writes the input files there (for profiling)
//   bench_datafiles --first OPERATION FOLDER   one timed call on them, its ms on stdout
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "core/DataFiles.h"
#include "core/RtfDictionary.h"

namespace {

struct Sizes {
    std::size_t lines;
    std::size_t entries;
};
constexpr Sizes kFull{1'000'000, 100'000};
constexpr Sizes kSmoke{1000, 1000};

std::string Word(std::size_t n) {
    static const char* const kStems[] = {"the", "steno", "outline", "because", "dictionary",
                                         "court reporter", "@Heading", "caf\xE9"};
    return std::string(kStems[n % 8]) + std::to_string(n);
}

std::vector<std::string> Words(std::size_t count) {
    std::vector<std::string> words;
    words.reserve(count);
    for (std::size_t n = 0; n < count; ++n) words.push_back(Word(n));
    return words;
}

std::vector<ProgressEntry> Entries(std::size_t count) {
    std::vector<ProgressEntry> entries;
    entries.reserve(count);
    for (std::size_t n = 0; n < count; ++n)
        entries.push_back({"STKPW/HRAO/KAT" + std::to_string(n % 97), Word(n)});
    return entries;
}

bool Prepare(const std::string& dir, const Sizes& sizes) {
    return WriteWordListFile(dir + "/list.edq", Words(sizes.lines)) &&
           WriteProgressFile(dir + "/list.dqx", Entries(sizes.entries), 42);
}

// The child: one call of `operation` on the files in `dir`, timed alone.
int RunFirstCall(const std::string& operation, const std::string& dir, const Sizes& sizes) {
    const std::string list = dir + "/list.edq", progress = dir + "/list.dqx";
    std::vector<ProgressEntry> entries;
    if (operation == "write_progress_file") entries = Entries(sizes.entries);  // made beforehand

    auto start = std::chrono::steady_clock::now();
    bool ok = false;
    if (operation == "read_word_list") {
        ok = ReadWordListFile(list).size() == sizes.lines;
    } else if (operation == "write_progress_file") {
        ok = WriteProgressFile(dir + "/written.dqx", entries, 42);
    } else if (operation == "read_progress_file") {
        int position = 0;
        ok = ReadProgressFile(progress, position).size() == sizes.entries;
    } else if (operation == "export_rtf") {
        ok = WriteRtfDictionary(progress, dir + "/list.rtf");
    } else if (operation == "floor_word_list") {
        ok = Words(sizes.lines).size() == sizes.lines;
    } else if (operation == "floor_progress_entries") {
        ok = Entries(sizes.entries).size() == sizes.entries;
    }
    auto end = std::chrono::steady_clock::now();
    if (!ok) {
        std::fprintf(stderr, "bench_datafiles: %s failed\n", operation.c_str());
        return 1;
    }
    std::printf("%.3f\n", std::chrono::duration<double, std::milli>(end - start).count());
    return 0;
}

// Runs this program again for one first call and returns its time; exits on failure.
double FirstCallMs(const std::string& operation, const std::string& dir, bool smoke) {
    std::vector<std::string> args{"--first", operation, dir};
    if (smoke) args.push_back("--smoke");
    std::string text;
    if (!bench::RunSelf(args, text) || text.empty()) {
        std::fprintf(stderr, "bench_datafiles: the run of %s failed\n", operation.c_str());
        std::exit(1);
    }
    return std::strtod(text.c_str(), nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const bool smoke = std::find(args.begin(), args.end(), "--smoke") != args.end();
    const Sizes sizes = smoke ? kSmoke : kFull;
    if (args.size() >= 3 && args[0] == "--first") return RunFirstCall(args[1], args[2], sizes);

    if (args.size() >= 2 && args[0] == "--prepare") return Prepare(args[1], sizes) ? 0 : 1;

    const char* tmp = std::getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench_datafiles.XXXXXX";
    if (!mkdtemp(dir.data())) {
        std::perror("bench_datafiles: mkdtemp");
        return 1;
    }
    if (!Prepare(dir, sizes)) return 1;

    const int runs = smoke ? 1 : 7;
    struct Operation {
        const char* name;
        std::string file;  // whose size counts
    } operations[] = {
        {"read_word_list", dir + "/list.edq"},
        {"write_progress_file", dir + "/written.dqx"},
        {"read_progress_file", dir + "/list.dqx"},
        {"export_rtf", dir + "/list.rtf"},
        // The floors: making the same results from memory alone, without a file.
        {"floor_word_list", dir + "/list.edq"},
        {"floor_progress_entries", dir + "/list.dqx"},
    };
    for (const Operation& op : operations) {
        std::vector<double> times;
        for (int n = 0; n < runs; ++n) times.push_back(FirstCallMs(op.name, dir, smoke));
        std::sort(times.begin(), times.end());
        bench::ReportRate("datafiles", op.name, times[times.size() / 2], bench::FileMb(op.file));
    }

    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return 0;
}
