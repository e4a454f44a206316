#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/DataFiles.h"
#include "core/Rc4Cipher.h"
#include "core/WordListText.h"
#include "tests/support/FileHelpers.h"

using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

TEST(WordListText, SplitsAtAnyLineEndAndConverts) {
    struct Case {
        const char* name;
        std::string text;
        Lines want;
        TextEncoding encoding;
    } cases[] = {
        {"CR LF", "a\r\nb\r\n", {"a", "b"}, TextEncoding::Ascii},
        {"LF, last line without end", "a\nb", {"a", "b"}, TextEncoding::Ascii},
        {"CR only", "a\rb\r", {"a", "b"}, TextEncoding::Ascii},
        {"mixed, empty lines left out", "a\r\n\n\rb\n\r\nc", {"a", "b", "c"}, TextEncoding::Ascii},
        {"blanks and tabs kept", " a b \n\tc\n", {" a b ", "\tc"}, TextEncoding::Ascii},
        {"UTF-8", "caf\xC3\xA9\n\xE2\x82\xAC" "5\n", {"caf\xE9", "\x80" "5"}, TextEncoding::Utf8},
        {"UTF-8 with byte-order mark", "\xEF\xBB\xBF" "@Head\nna\xC3\xAFve\n",
         {"@Head", "na\xEFve"}, TextEncoding::Utf8},
        {"Windows-1252", "caf\xE9\n\x93q\x94\n", {"caf\xE9", "\x93q\x94"},
         TextEncoding::Windows1252},
        {"empty", "", {}, TextEncoding::Ascii},
    };
    for (const Case& c : cases) {
        WordListText out;
        std::string error;
        ASSERT_TRUE(ParseWordListText(c.text, out, error)) << c.name << ": " << error;
        EXPECT_EQ(out.lines, c.want) << c.name;
        EXPECT_EQ(out.encoding, c.encoding) << c.name;
    }
}

TEST(WordListText, RejectsWhatAListCannotHoldNamingTheLine) {
    struct Case {
        const char* name;
        std::string text;
        const char* wantInError;
    } cases[] = {
        {"character outside Windows-1252", "ok\nx\xC5\x91y\n", "line 2: U+0151"},
        {"character outside the BMP", "a\nb\nc \xF0\x9F\x98\x80\n", "line 3: U+1F600"},
        {"control byte", "a\x01" "b\n", "line 1: the control character 0x01"},
        {"progress separator", "\n\nx\x11\n", "line 3: the control character 0x11"},
        {"unassigned Windows-1252 byte", "caf\xE9\n\x81\n", "line 2: the byte 0x81 is not"},
        {"broken UTF-8 after a byte-order mark", "\xEF\xBB\xBF\xC3(\n", "not valid UTF-8"},
    };
    for (const Case& c : cases) {
        WordListText out;
        std::string error;
        EXPECT_FALSE(ParseWordListText(c.text, out, error)) << c.name;
        EXPECT_NE(error.find(c.wantInError), std::string::npos) << c.name << ": " << error;
    }
}

TEST(WordListText, FormatsAsUtf8Lines) {
    EXPECT_EQ(FormatWordListText({"caf\xE9", "\x80", "@H"}), "caf\xC3\xA9\n\xE2\x82\xAC\n@H\n");
    EXPECT_EQ(FormatWordListText({}), "");
}

// Every shipped list is the enciphered form of its plain source, byte for byte, and every
// source has its list.
TEST(ShippedData, EveryListDeciphersToItsSource) {
    const fs::path top = DQ_SOURCE_DIR;
    const fs::path sources = top / "Data-src", data = top / "Data";
    std::vector<fs::path> lists, txts;
    for (const auto& e : fs::recursive_directory_iterator(data))
        if (e.is_regular_file() && e.path().extension() == ".edq") lists.push_back(e.path());
    for (const auto& e : fs::recursive_directory_iterator(sources))
        if (e.is_regular_file() && e.path().extension() == ".txt") txts.push_back(e.path());
    ASSERT_GE(lists.size(), 2u);

    std::vector<std::string> modules;
    for (const fs::path& list : lists) {
        fs::path source = sources / fs::relative(list, data);
        source.replace_extension(".txt");
        ASSERT_TRUE(fs::exists(source)) << list << " has no source";
        WordListText text;
        std::string error;
        ASSERT_TRUE(ParseWordListText(testfiles::ReadBytes(source), text, error)) << error;
        EXPECT_EQ(ReadWordListFile(list.string()), text.lines) << list;

        std::string plain;
        for (const std::string& line : text.lines) plain += line + "\r\n";
        Rc4Cipher(kWordListKey).Crypt(plain);
        EXPECT_EQ(testfiles::ReadBytes(list), plain) << list << " is out of date";
        modules.push_back(list.parent_path().filename().string());
    }
    EXPECT_EQ(lists.size(), txts.size()) << "a source without its list: regenerate the lists";
    std::sort(modules.begin(), modules.end());
    EXPECT_GE(std::unique(modules.begin(), modules.end()) - modules.begin(), 2);
}
