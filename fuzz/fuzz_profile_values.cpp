// The settings record read from any stored values, in memory: the profile's own conversions
// and the record's range checks and stroke parsing, with the values the file's reader could
// give (texts, lists, numbers, bytes); and the damaged-file check on any profile text. The
// file level (Qt's own reading of the file, the copy kept of a damaged one) is fuzz_profile's.
//
// An input is lines: one for each value read, in the order below; a line's first byte says
// what the reader gave ('t' a text, 'l' a list of texts split at ',', 'n' a number, 'b' bytes,
// anything else: no value), the rest is its content.
#include <cstdlib>
#include <map>

#include "core/AppSettings.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Profile.h"

namespace {

const char* const kEntries[] = {
    "Writer/Type",          "Writer/Port",          "Writer/Baud Rate",      "Writer/Data Bits",
    "Writer/Parity",        "Writer/Stop Bits",     "Writer/Language",       "Strokes/Next",
    "Strokes/Next Exact",   "Strokes/Back",         "Strokes/Back Exact",    "Strokes/Accept",
    "Strokes/Accept Exact", "Strokes/Clear",        "Strokes/Clear Exact",   "Strokes/Delete",
    "Strokes/Delete Exact", "Strokes/Shadow",       "Strokes/Shadow Exact",  "Strokes/Drop",
    "Strokes/Drop Exact",
};

// A number stored for `entry`, when the input gave one.
const platform::StoredValue* Number(const std::map<std::string, platform::StoredValue>& values,
                                    const char* entry) {
    auto it = values.find(std::string("u/Settings/") + entry);
    return it != values.end() && it->second.kind == platform::StoredValue::Number ? &it->second : nullptr;
}

// A value read with a range: always within it; for a stored number, the number when in range
// and the default when not.
bool ReadInRange(int read, const platform::StoredValue* number, int low, int high, int fallback) {
    if (read < low || read > high) return false;
    if (!number) return true;
    return read == (number->number < low || number->number > high ? fallback : int(number->number));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    platform::ProfileTextIsWhole(input);

    std::map<std::string, platform::StoredValue> values;
    std::string_view rest = input;
    const bool french = !rest.empty() && (std::uint8_t(rest.front()) & 1);
    for (const char* entry : kEntries) {
        if (rest.empty()) break;
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (line.empty()) continue;
        platform::StoredValue value;
        const std::string content(line.substr(1));
        switch (line.front()) {
            case 't': value = {platform::StoredValue::Text, {content}}; break;
            case 'b': value = {platform::StoredValue::Bytes, {content}}; break;
            case 'n': value = {platform::StoredValue::Number, {}, std::strtoll(content.c_str(), nullptr, 10)}; break;
            case 'l': {
                value.kind = platform::StoredValue::List;
                std::string_view items = content;
                for (std::size_t comma; (comma = items.find(',')) != std::string_view::npos; items.remove_prefix(comma + 1))
                    value.texts.emplace_back(items.substr(0, comma));
                value.texts.emplace_back(items);
                break;
            }
            default: continue;
        }
        values[std::string("u/Settings/") + entry] = value;
    }

    AppSettings settings;
    {
        const platform::ScopedProfileValues stored(values);
        settings.ReadSections("u\\Settings\\Writer", "u\\Settings\\Strokes", french);
    }
    fuzz::Check(ReadInRange(settings.writerType, Number(values, "Writer/Type"), 0, 31, 4),
                "the writer type read is one there is, else the default");
    fuzz::Check(ReadInRange(settings.port - 1, Number(values, "Writer/Port"), 0, 254, 0), "a port there can be");
    fuzz::Check(settings.baudRate > 0, "a baud rate above 0");
    fuzz::Check(ReadInRange(settings.dataBits, Number(values, "Writer/Data Bits"), 7, 8, 8), "data bits are 7 or 8");
    fuzz::Check(ReadInRange(settings.parity, Number(values, "Writer/Parity"), 0, 3, 0), "a parity there is");
    fuzz::Check(ReadInRange(settings.stopBits, Number(values, "Writer/Stop Bits"), 1, 2, 1), "stop bits are 1 or 2");
    fuzz::Check(settings.keyboardLayout >= 0 && settings.keyboardLayout < kLayoutCount, "a layout there is");
    for (const Outline* outline : {&settings.nextStroke, &settings.backStroke, &settings.acceptStroke,
                                   &settings.clearStroke, &settings.deleteStroke, &settings.shadowMask,
                                   &settings.dropMask})
        fuzz::Check(outline->size() % kStrokeSize == 0, "command strokes are whole strokes");
    return 0;
}
