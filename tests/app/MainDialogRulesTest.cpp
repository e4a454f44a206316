#include "app/MainDialogRules.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/FileHelpers.h"
#include "tests/support/TestEnvironment.h"

namespace {

using Entries = std::vector<ListedFolderEntry>;

TEST(BaudConversionTest, LoadShowsTheListedRatesAndKeepsTheIndexForOthers) {
    const struct {
        int rate;
        int index;
    } cases[] = {{1200, 0}, {9600, 3}, {19200, 4}, {28800, 5}, {56000, 7}, {115000, 8},
                 // the port's real rates and unknown ones are not in the list
                 {57600, 6}, {115200, 6}, {0, 6}, {-9600, 6}};
    for (const auto& c : cases)
        EXPECT_EQ(BaudIndexForRate(c.rate, 6), c.index) << c.rate;
    EXPECT_EQ(BaudIndexForRate(300, -1), -1);
}

TEST(BaudConversionTest, SaveStoresTheOfferedRateAndKeepsTheRateWithoutASelection) {
    const struct {
        int index;
        int rate;
    } cases[] = {{0, 1200}, {3, 9600}, {4, 19200}, {7, 56000}, {8, 115000}, {-1, 4800}, {9, 4800}};
    for (const auto& c : cases)
        EXPECT_EQ(BaudRateForIndex(c.index, 4800), c.rate) << c.index;
}

TEST(LineConversionTest, DataBitsStopBitsAndParity) {
    EXPECT_EQ(DataBitsIndex(7), 0);
    EXPECT_EQ(DataBitsIndex(8), 1);
    EXPECT_EQ(DataBitsIndex(6), -1);
    EXPECT_EQ(StopBitsIndex(1), 0);
    EXPECT_EQ(StopBitsIndex(2), 1);
    EXPECT_EQ(StopBitsIndex(0), -1);
    EXPECT_EQ(IndexInList(3, kParityListCount), 3);
    EXPECT_EQ(IndexInList(4, kParityListCount), -1);
    EXPECT_EQ(IndexInList(-1, kParityListCount), -1);

    EXPECT_EQ(DataBitsForIndex(1, 7), 8);
    EXPECT_EQ(DataBitsForIndex(0, 8), 7);
    EXPECT_EQ(StopBitsForIndex(0, 2), 1);
    EXPECT_EQ(StopBitsForIndex(1, 1), 2);
    // No selection: never data bits 6, stop bits 0 or parity -1.
    EXPECT_EQ(DataBitsForIndex(-1, 7), 7);
    EXPECT_EQ(StopBitsForIndex(-1, 2), 2);
    EXPECT_EQ(ValueForIndex(-1, kParityListCount, 3), 3);
    EXPECT_EQ(ValueForIndex(2, kParityListCount, 3), 2);
}

TEST(EnableRulesTest, ByWriterType) {
    const EnableRules all{};
    const EnableRules noLine{false, true, true, true, false};
    const EnableRules speech{false, false, false, false, true};
    const struct {
        int type;
        EnableRules rules;
    } cases[] = {{0, all}, {4, all}, {20, all}, {21, noLine}, {22, all}, {25, all},
                 {26, speech}, {27, all}, {28, noLine}, {29, all}, {30, noLine}, {31, all}};
    for (const auto& c : cases) EXPECT_EQ(EnableRulesFor(c.type), c.rules) << c.type;
}

TEST(PortEditTest, IntegersAreTakenAsTyped) {
    const struct {
        const char* text;
        bool ok;
        int value;
    } cases[] = {{"1", true, 1},         {"0", true, 0},       {" 42 ", true, 42},
                 {"1000", true, 1000},   {"-3", true, -3},     {"+7", true, 7},
                 {"-2147483648", true, INT_MIN}, {"2147483647", true, INT_MAX},
                 {"", false, 0},         {"  ", false, 0},     {"abc", false, 0},
                 {"12a", false, 0},      {"1 2", false, 0},    {"-", false, 0},
                 {"2147483648", false, 0}, {"99999999999999999999", false, 0}, {"0x10", false, 0}};
    for (const auto& c : cases) {
        int value = -99;
        EXPECT_EQ(ParseDialogInteger(c.text, value), c.ok) << '"' << c.text << '"';
        EXPECT_EQ(value, c.ok ? c.value : -99) << '"' << c.text << '"';
    }
}

TEST(PortEditTest, ArrowsStepWithinTheirRange) {
    const struct {
        const char* text;
        int delta;
        int result;
    } cases[] = {{"1", +1, 2},   {"1", -1, 1},     {"0", -1, 1},    {"255", +1, 255},
                 {"254", +1, 255}, {"1000", -1, 255}, {"-5", +1, 1}, {"abc", +1, 1},
                 {"", -1, 1},    {"2147483647", +1, 255}, {"2", -1, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(StepPortNumber(c.text, c.delta), c.result) << c.text << " " << c.delta;
}

class FolderListingTest : public testing::Test {
protected:
    void SetUp() override { root = testenv::MakeTempDir("Data"); }
    void Touch(const std::string& relative) {
        const std::filesystem::path path = root + "/" + relative;
        std::filesystem::create_directories(path.parent_path());
        testfiles::WriteBytes(path.string(), "x");
    }
    std::string root;
};

TEST_F(FolderListingTest, ModulesAreTheFoldersHoldingWordLists) {
    Touch("A/one.edq");
    Touch("A/two.edq");
    Touch("B/notes.txt");
    Touch("B/old.dqx");
    Touch("c.d.module/list.EDQ");
    Touch(".hidden/list.edq");
    Touch("loose.edq");
    Touch("E/deeper/list.edq");
    std::filesystem::create_directories(root + "/F/folder.edq");
    EXPECT_EQ(ListModules(root),
              (Entries{{".hidden", root + "/.hidden"}, {"A", root + "/A"}, {"c.d", root + "/c.d.module"}}));
}

TEST_F(FolderListingTest, NoDataFolderGivesNoModulesAndNoLists) {
    EXPECT_TRUE(ListModules(root + "/missing").empty());
    EXPECT_TRUE(ListModules("").empty());
    // Never a search from the file system's root.
    EXPECT_TRUE(ListWordLists("").empty());
}

TEST_F(FolderListingTest, WordListsSortedByTitleEachWithItsOwnPath) {
    for (const char* name : {"b.edq", "A.EDQ", "c list.edq", "a b.edq", "Zeta.edq"}) Touch(std::string("M/") + name);
    Touch("M/readme.txt");
    std::filesystem::create_directories(root + "/M/folder.edq");
    EXPECT_EQ(ListWordLists(root + "/M"), (Entries{{"A", root + "/M/A.EDQ"},
                                                   {"a b", root + "/M/a b.edq"},
                                                   {"b", root + "/M/b.edq"},
                                                   {"c list", root + "/M/c list.edq"},
                                                   {"Zeta", root + "/M/Zeta.edq"}}));
}

TEST(ProgressPathTest, NamedByTheListsTitleInTheDocumentsFolder) {
    EXPECT_EQ(ProgressPathFor("/home/a/Documents/Dictionary Quillfast/", "/d/Basics/Lesson 1.edq"),
              "/home/a/Documents/Dictionary Quillfast/Lesson 1.dqx");
    EXPECT_EQ(RtfPathFor("/docs/", "/d/m.x/list.v2.edq"), "/docs/list.v2.rtf");
}

TEST(UsersTest, DefaultIsAddedOnlyWhenAbsent) {
    std::vector<std::string> names;
    AddUserOnce(names, "default");
    AddUserOnce(names, "default");
    EXPECT_EQ(names, (std::vector<std::string>{"default"}));
    names = {"anna"};
    AddUserOnce(names, "default");
    EXPECT_EQ(names, (std::vector<std::string>{"anna", "default"}));
}

}  // namespace
