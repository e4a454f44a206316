#include <map>

#include "core/TextUtil.h"

namespace {

struct Entry {
    int id;
    const char* text;
};

// The program's string table (res/StringTable.inc): message strings, prompts and captions.
constexpr Entry kStringTable[] = {
#include "StringTable.inc"
};

}  // namespace

std::string LoadResString(int id) {
    static const std::map<int, std::string> table = [] {
        std::map<int, std::string> t;
        for (const Entry& e : kStringTable) t.emplace(e.id, e.text);
        return t;
    }();
    auto it = table.find(id);
    return it == table.end() ? std::string() : it->second;
}
