// The progress-file reader on any file, the writer's round trip, the speech progress reader
// and the RTF export of whatever a progress file holds.
#include "core/ByteOrder.h"
#include "core/DataFiles.h"
#include "core/RtfDictionary.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string path = fuzz::WriteScratch("list.dqx", bytes);
    std::vector<ProgressEntry> entries;
    int position = -7;
    fuzz::Check(LoadProgressFile(path, entries, position), "a regular file is read");
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
    fuzz::Check(ReadFileInt(path) == std::int32_t(ReadLittleEndian32(head)),
                "the speech progress is the first four bytes");

    const std::string rtf = fuzz::ScratchFolder() + "/list.rtf";
    fuzz::Check(WriteRtfDictionary(path, rtf), "any progress file exports");
    const std::string exported = fuzz::ReadAll(rtf);
    fuzz::Check(!exported.empty() && exported.back() == '}', "the dictionary ends with its brace");
    std::size_t lines = 0;
    for (std::size_t at = exported.find("{\\*\\cxs "); at != std::string::npos;
         at = exported.find("{\\*\\cxs ", at + 1))
        ++lines;
    fuzz::Check(lines >= entries.size(), "every entry is exported");

    const int stored = position;
    fuzz::Check(WriteProgressFile(path, entries, stored), "the entries are written");
    std::vector<ProgressEntry> again;
    int positionAgain = -1;
    fuzz::Check(LoadProgressFile(path, again, positionAgain) && again == entries &&
                    positionAgain == std::max(stored, 0),
                "written entries read back unchanged");
    return 0;
}
