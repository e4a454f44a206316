#include "core/RtfDictionary.h"

#include <string_view>

#include "core/DataFiles.h"
#include "platform/AtomicFile.h"

const char RtfDictionaryHeader[] =
    "{\\rtf1\\ansi\\cxdict\n"
    "{\\*\\cxrev100}\n"
    "{\\*\\cxsystem Dictionary Quillfast}\n"
    "{\\stylesheet\n"
    "{\\s0 Normal;}\n"
    "{\\s1 Question;}\n"
    "{\\s2 Answer;}\n"
    "{\\s3 Colloquy;}\n"
    "{\\s4 Continuation Q;}\n"
    "{\\s5 Continuation A;}\n"
    "{\\s6 Continuation Col;}\n"
    "{\\s7 Paren;}\n"
    "{\\s8 Centered;}\n"
    "}\n";

const char RtfStenoGroupPrefix[] = "{\\*\\cxs ";

namespace {

// The file is written as a Windows text-mode stream would: every LF becomes CR LF, including
// one inside a word-list line.
void AppendText(std::string& out, std::string_view text) {
    for (char c : text) {
        if (c == '\n') out.push_back('\r');
        out.push_back(c);
    }
}

// The translation with "~" and "^" escaped, as a dictionary reads them.
void AppendTranslation(std::string& out, std::string_view text) {
    for (char c : text) {
        if (c == '\n') out.push_back('\r');
        if (c == '~' || c == '^') out.push_back('\\');
        out.push_back(c);
    }
}

}  // namespace

bool WriteRtfDictionary(const std::string& progressPath, const std::string& rtfPath,
                        std::string* error) {
    platform::AtomicFile file(rtfPath);
    if (!file.Open()) {
        if (error) *error = file.Error();
        return false;
    }
    // The entries go out as they are read, a block at a time: an export never holds them all.
    constexpr std::size_t kFlushSize = 64 * 1024;
    std::string block;
    block.reserve(kFlushSize + 1024);
    AppendText(block, RtfDictionaryHeader);
    auto onEntry = [&](std::string_view outline, std::string_view translation) {
        block += RtfStenoGroupPrefix;
        AppendText(block, outline);
        block += '}';
        AppendTranslation(block, translation);
        block += "\r\n";
        if (block.size() >= kFlushSize) {
            file.Write(block);
            block.clear();
        }
    };
    int position = 0;
    // An unreadable progress file must not replace an existing dictionary with an empty one.
    std::string readError;
    if (!ScanProgressFile(progressPath, position, onEntry, &readError)) {
        file.Discard();
        if (error) *error = readError;
        return false;
    }
    block += '}';
    if (file.Write(block) && file.Commit()) return true;
    if (error) *error = file.Error();
    return false;
}
