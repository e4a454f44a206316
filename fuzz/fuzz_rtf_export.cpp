// The RTF/CRE export of whatever a progress file holds, in memory (the same code the export to
// a file runs): every entry becomes one line of the dictionary, escaped, and the text ends in
// its brace.
#include "core/DataFiles.h"
#include "core/RtfDictionary.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string exported = RtfDictionaryText(bytes);
    fuzz::Check(exported.rfind("{\\rtf1", 0) == 0, "the dictionary begins with its header");
    fuzz::Check(!exported.empty() && exported.back() == '}', "the dictionary ends with its brace");
    std::size_t entries = 0;
    int position = 0;
    ScanProgressBytes(bytes, position, [&](std::string_view, std::string_view) { ++entries; });
    std::size_t lines = 0;
    for (std::size_t at = exported.find(RtfStenoGroupPrefix); at != std::string::npos;
         at = exported.find(RtfStenoGroupPrefix, at + 1))
        ++lines;
    fuzz::Check(lines >= entries, "every entry is exported");
    for (std::size_t at = exported.find('\n'); at != std::string::npos; at = exported.find('\n', at + 1))
        fuzz::Check(at > 0 && exported[at - 1] == '\r', "every line ends in CR LF");
    return 0;
}
