#include "core/RtfDictionary.h"

#include <vector>

#include "core/DataFiles.h"
#include "core/TextUtil.h"
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
void AppendText(std::string& out, const std::string& text) {
    for (char c : text) {
        if (c == '\n') out.push_back('\r');
        out.push_back(c);
    }
}

}  // namespace

bool WriteRtfDictionary(const std::string& progressPath, const std::string& rtfPath,
                        std::string* error) {
    std::vector<ProgressEntry> entries;
    int position = 0;
    // An unreadable progress file must not replace an existing dictionary with an empty one.
    if (!LoadProgressFile(progressPath, entries, position, error)) return false;

    std::string content;
    AppendText(content, RtfDictionaryHeader);
    std::string line;
    for (const ProgressEntry& entry : entries) {
        std::string translation = entry.translation;
        ReplaceAll(translation, "~", "\\~");
        ReplaceAll(translation, "^", "\\^");
        line = RtfStenoGroupPrefix;
        line += entry.outline;
        line += '}';
        line += translation;
        line += '\n';
        AppendText(content, line);
    }
    content += '}';
    return platform::WriteFileAtomically(rtfPath, content, error);
}
