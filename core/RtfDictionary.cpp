#include "core/RtfDictionary.h"

#include <algorithm>
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
    for (std::size_t lf; (lf = text.find('\n')) != std::string_view::npos; text.remove_prefix(lf + 1)) {
        out.append(text.substr(0, lf));
        out += "\r\n";
    }
    out.append(text);
}

// The translation with "~" and "^" escaped, as a dictionary reads them.
void AppendTranslation(std::string& out, std::string_view text) {
    for (std::size_t at; (at = text.find_first_of("\n~^")) != std::string_view::npos; text.remove_prefix(at + 1)) {
        out.append(text.substr(0, at));
        out += text[at] == '\n' ? '\r' : '\\';
        out += text[at];
    }
    out.append(text);
}

// The dictionary as it is written, a piece at a time: the header, a line per entry, the end.
class RtfText {
public:
    // `expected`: about how long the whole text will be.
    explicit RtfText(std::size_t expected) {
        static const std::string header = [] {
            std::string text;
            AppendText(text, RtfDictionaryHeader);
            return text;
        }();
        text_.reserve(std::max(expected, header.size() + 1));
        text_ = header;
    }
    void Entry(std::string_view outline, std::string_view translation) {
        text_ += RtfStenoGroupPrefix;
        AppendText(text_, outline);
        text_ += '}';
        AppendTranslation(text_, translation);
        text_ += "\r\n";
    }
    void End() { text_ += '}'; }
    // What is built and not yet written out (the writer empties it as it writes).
    std::string& Text() { return text_; }

private:
    std::string text_;
};

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
    RtfText rtf(kFlushSize + 1024);
    auto onEntry = [&](std::string_view outline, std::string_view translation) {
        rtf.Entry(outline, translation);
        if (rtf.Text().size() >= kFlushSize) {
            file.Write(rtf.Text());
            rtf.Text().clear();
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
    rtf.End();
    if (file.Write(rtf.Text()) && file.Commit()) return true;
    if (error) *error = file.Error();
    return false;
}

std::string RtfDictionaryText(std::string_view progressFileBytes) {
    // Each entry costs its fields and a few bytes more, and its line ends two.
    RtfText rtf(300 + progressFileBytes.size() * 5 / 4);
    int position = 0;
    ScanProgressBytes(progressFileBytes, position,
                      [&](std::string_view outline, std::string_view translation) { rtf.Entry(outline, translation); });
    rtf.End();
    return std::move(rtf.Text());
}
