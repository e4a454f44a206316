// dqwordlist: makes, reads and lists the enciphered word lists (".edq") of a data folder.
//
//   dqwordlist encipher <in.txt> <out.edq>   plain text (UTF-8 or Windows-1252) to a word list
//   dqwordlist decipher <in.edq> [out.txt]   a word list back to UTF-8 text (stdout by default)
//   dqwordlist list <data folder>            the modules and their word lists
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "core/DataFiles.h"
#include "core/Rc4Cipher.h"
#include "core/WordListText.h"
#include "platform/AtomicFile.h"
#include "platform/InputFile.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kShownWidth = 46;

void Usage(std::FILE* to) {
    std::fputs(
        "Usage:\n"
        "  dqwordlist encipher <in.txt> <out.edq>   make a word list from plain text\n"
        "  dqwordlist decipher <in.edq> [out.txt]   show a word list as UTF-8 text\n"
        "  dqwordlist list <data folder>            show the modules and their word lists\n"
        "\n"
        "Plain text: one word or phrase a line, UTF-8 or Windows-1252, any line ends.\n"
        "A line starting with \"@\" is a heading shown above the word that follows it.\n"
        "Empty lines are left out.\n",
        to);
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "dqwordlist: %s\n", message.c_str());
    return 1;
}

std::string Plural(std::size_t n, const char* what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

bool ReadWholeFile(const std::string& path, std::string& content, std::string& error) {
    platform::InputFile file;
    if (!file.Open(path)) {
        error = file.Error();
        return false;
    }
    content.clear();
    char block[64 * 1024];
    for (;;) {
        std::ptrdiff_t n = file.Read(block, sizeof block);
        if (n < 0) {
            error = file.Error();
            return false;
        }
        if (n == 0) return true;
        content.append(block, std::size_t(n));
    }
}

const char* EncodingName(TextEncoding e) {
    switch (e) {
        case TextEncoding::Utf8: return "UTF-8";
        case TextEncoding::Windows1252: return "Windows-1252";
        case TextEncoding::Ascii: break;
    }
    return "ASCII";
}

int Encipher(const std::string& in, const std::string& out) {
    std::string text, error;
    if (!ReadWholeFile(in, text, error)) return Fail(error);
    WordListText list;
    if (!ParseWordListText(text, list, error)) return Fail(in + ": " + error);
    if (!WriteWordListFile(out, list.lines, &error)) return Fail(error);
    std::string lines = Plural(list.lines.size(), "line");
    std::printf("%s: %s (%s) written to %s\n", in.c_str(), lines.c_str(),
                EncodingName(list.encoding), out.c_str());
    return 0;
}

// A list made under another key deciphers to noise, full of control bytes and without line
// ends; a real list has lines and no control bytes but its line ends.
bool LooksLikeWordList(const std::string& plain) {
    if (!plain.empty() && plain.find("\r\n") == std::string::npos) return false;
    std::size_t odd = 0;
    for (char c : plain) {
        auto b = std::uint8_t(c);
        if (b < 0x20 && b != '\r' && b != '\n' && b != '\t') ++odd;
    }
    return odd * 100 <= plain.size();
}

int Decipher(const std::string& in, const std::string& out) {
    std::string plain, error;
    if (!ReadWholeFile(in, plain, error)) return Fail(error);
    Rc4Cipher(kWordListKey).Crypt(plain);
    if (!LooksLikeWordList(plain))
        return Fail(in + ": does not decipher to a word list (made under another key?)");
    std::size_t lastEnd = plain.rfind("\r\n");
    std::size_t tail = lastEnd == std::string::npos ? plain.size() : plain.size() - lastEnd - 2;
    if (tail > 0)
        std::fprintf(stderr,
                     "dqwordlist: %s: the last %zu bytes have no line end; the program "
                     "ignores them\n",
                     in.c_str(), tail);

    std::string text = FormatWordListText(ReadWordListFile(in));
    if (out.empty()) {
        if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
            std::fflush(stdout) != 0)
            return Fail("cannot write to standard output");
        return 0;
    }
    if (!platform::WriteFileAtomically(out, text, &error)) return Fail(error);
    return 0;
}

// ---- list ------------------------------------------------------------------------------

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

// By name, case-insensitively, as the program lists folders; exact bytes break ties.
void SortByName(std::vector<fs::path>& paths) {
    std::sort(paths.begin(), paths.end(), [](const fs::path& a, const fs::path& b) {
        std::string x = a.filename().string(), y = b.filename().string();
        std::string lx = Lower(x), ly = Lower(y);
        return lx != ly ? lx < ly : x < y;
    });
}

bool Listing(const fs::path& folder, bool folders, std::vector<fs::path>& out, std::string& error) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const fs::path& p = it->path();
        std::string name = p.filename().string();
        if (name.empty() || name[0] == '.') continue;
        std::error_code ignored;
        if (folders ? it->is_directory(ignored)
                    : it->is_regular_file(ignored) && Lower(p.extension().string()) == ".edq")
            out.push_back(p);
    }
    if (ec) {
        error = folder.string() + ": " + ec.message();
        return false;
    }
    SortByName(out);
    return true;
}

// A word as the build dialog shows it: "^" and "~" exchanged, as UTF-8 for the terminal.
std::string Shown(const std::string& word) {
    std::string swapped = word;
    for (char& c : swapped) c = c == '^' ? '~' : c == '~' ? '^' : c;
    std::string text = FormatWordListText({swapped});
    text.pop_back();
    return text;
}

void DescribeList(const fs::path& file) {
    std::string title = GetPathTitle(file.string());
    std::string plain, error;
    if (!ReadWholeFile(file.string(), plain, error)) {
        std::printf("  %-24s cannot be read: %s\n", title.c_str(), error.c_str());
        return;
    }
    Rc4Cipher(kWordListKey).Crypt(plain);
    if (!LooksLikeWordList(plain)) {
        std::printf("  %-24s not readable: made under another key?\n", title.c_str());
        return;
    }
    std::vector<std::string> lines = ReadWordListFile(file.string());
    std::size_t headings = 0;
    std::string sample;
    std::size_t shown = 0;
    bool full = false;
    for (const std::string& line : lines) {
        if (line[0] == '@') {
            ++headings;
            continue;
        }
        std::string word = (shown ? ", " : "") + Shown(line);
        full = full || (shown > 0 && sample.size() + word.size() > kShownWidth);
        if (full) continue;
        sample += word;
        ++shown;
    }
    std::size_t words = lines.size() - headings;
    if (shown < words) sample += ", ...";
    std::string counts = Plural(words, "word");
    if (headings) counts += ", " + Plural(headings, "heading");
    if (lines.empty()) counts = "no lines";
    std::printf("  %-24s %-22s %s\n", title.c_str(), counts.c_str(), sample.c_str());
}

int List(const std::string& dataFolder) {
    std::error_code ec;
    if (!fs::is_directory(dataFolder, ec))
        return Fail(dataFolder + ": " +
                    (fs::exists(dataFolder, ec) ? "not a folder" : "no such folder"));
    std::vector<fs::path> modules;
    std::string error;
    if (!Listing(dataFolder, true, modules, error)) return Fail(error);

    std::printf("Data folder %s\n", fs::absolute(dataFolder, ec).string().c_str());
    if (modules.empty()) {
        std::printf("No modules yet: a module is a subfolder holding word lists (*.edq).\n");
        return 0;
    }
    std::size_t total = 0;
    for (const fs::path& module : modules) {
        std::vector<fs::path> lists;
        std::printf("\nModule \"%s\"\n", module.filename().string().c_str());
        if (!Listing(module, false, lists, error)) {
            std::printf("  cannot be listed: %s\n", error.c_str());
            continue;
        }
        if (lists.empty()) std::printf("  (no word lists)\n");
        for (const fs::path& list : lists) DescribeList(list);
        total += lists.size();
    }
    std::printf("\n%s, %s.\n", Plural(modules.size(), "module").c_str(),
                Plural(total, "word list").c_str());
    std::printf("To add a list, make a module folder here, then: "
                "dqwordlist encipher words.txt \"%s/<module>/<list>.edq\"\n",
                dataFolder.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string command = args.empty() ? "" : args[0];
    if (command == "encipher" && args.size() == 3) return Encipher(args[1], args[2]);
    if (command == "decipher" && (args.size() == 2 || args.size() == 3))
        return Decipher(args[1], args.size() == 3 ? args[2] : "");
    if (command == "list" && args.size() == 2) return List(args[1]);
    if (command == "help" || command == "--help" || command == "-h") {
        Usage(stdout);
        return 0;
    }
    Usage(stderr);
    return 2;
}
