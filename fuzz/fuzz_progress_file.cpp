// The progress-file reader on any file's bytes, the writer's round trip and the speech
// progress reader, in memory (the same code the file functions run). The RTF export of a
// progress file has a target of its own (fuzz_rtf_export).
#include "core/ByteOrder.h"
#include "core/DataFiles.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    int position = -7;
    const std::vector<ProgressEntry> entries = ParseProgressFile(bytes, position);
    fuzz::Check(size >= 4 ? position >= 0 : position == -7, "the position is kept or read");
    fuzz::Check(entries.size() * 3 <= (size >= 4 ? size - 4 : 0),
                "never more entries than the file can hold");
    for (const ProgressEntry& e : entries) {
        fuzz::Check(!e.outline.empty(), "an entry always has an outline");
        for (const std::string* field : {&e.outline, &e.translation})
            fuzz::Check(field->find_first_of("\x01\x11") == std::string::npos,
                        "no field holds a separator");
    }

    std::uint8_t head[4] = {0, 0, 0, 0};
    std::copy_n(data, std::min<std::size_t>(size, 4), head);
    fuzz::Check(ParseFileInt(bytes) == std::int32_t(ReadLittleEndian32(head)),
                "the speech progress is the first four bytes");

    const int stored = position;
    const std::string written = EncodeProgressFile(entries, stored);
    int positionAgain = -1;
    fuzz::Check(ParseProgressFile(written, positionAgain) == entries &&
                    positionAgain == std::max(stored, 0),
                "written entries read back unchanged");
    return 0;
}
