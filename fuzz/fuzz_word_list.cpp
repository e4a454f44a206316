// The word-list reader on any file, and the writer's round trip.
#include "core/DataFiles.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path =
        fuzz::WriteScratch("list.edq", std::string_view(reinterpret_cast<const char*>(data), size));
    const std::vector<std::string> lines = ReadWordListFile(path);
    fuzz::Check(lines.size() * 3 <= size, "never more lines than the file can hold");
    for (const std::string& line : lines)
        fuzz::Check(!line.empty() && line.find("\r\n") == std::string::npos,
                    "a line is never empty and never holds a line end");
    fuzz::Check(WriteWordListFile(path, lines), "a list is written");
    fuzz::Check(ReadWordListFile(path) == lines, "a written list reads back unchanged");
    return 0;
}
