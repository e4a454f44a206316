// The word-list reader on any file's bytes, and the writer's round trip, in memory (the same
// code the file functions run).
#include "core/DataFiles.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = ParseWordList(bytes);
    fuzz::Check(lines.size() * 3 <= size, "never more lines than the file can hold");
    for (const std::string& line : lines)
        fuzz::Check(!line.empty() && line.find("\r\n") == std::string::npos,
                    "a line is never empty and never holds a line end");
    const std::string written = EncodeWordList(lines);
    fuzz::Check(ParseWordList(written) == lines, "a written list reads back unchanged");
    return 0;
}
