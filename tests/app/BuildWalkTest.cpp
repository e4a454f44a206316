#include "app/BuildWalk.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "core/AppSettings.h"
#include "core/DataFiles.h"
#include "core/Stroke.h"
#include "tests/support/FileHelpers.h"
#include "tests/support/HookedPresenter.h"
#include "tests/support/ScriptedPresenter.h"
#include "tests/support/TestEnvironment.h"
#include "writers/CWriter.h"

void PrintTo(const ProgressEntry& e, std::ostream* os) { *os << "{\"" << e.outline << "\", \"" << e.translation << "\"}"; }

namespace {

TrackStroke StrokeOf(const std::string& text) {
    TrackStroke t;
    const Outline keys = ParseOutline(0, text);
    std::copy(keys.begin(), keys.begin() + kStrokeSize, t.keys.begin());
    return t;
}

void Queue(CWriter& writer, const std::string& text) {
    const Stroke k = StrokeOf(text).keys;
    writer.AddStroke(k[0], k[1], k[2], nullptr, k[3], k[4], k[5]);
}

class ScriptedChildren final : public BuildChildren {
public:
    bool CaptureStroke(CWriter* writer, Stroke& keys) override {
        captureWriter = writer;
        ++captures;
        if (!capture) return false;
        keys = *capture;
        return true;
    }
    bool Suggest(const std::string& text, std::vector<std::string>& chosen) override {
        suggestedFor = text;
        if (during) during();
        chosen = choose;
        return suggestOk;
    }
    void Configure(CWriter* writer) override {
        configureWriter = writer;
        ++configures;
    }
    std::optional<Stroke> capture;
    std::vector<std::string> choose;
    bool suggestOk = true;
    std::function<void()> during;
    std::string suggestedFor;
    CWriter* captureWriter = nullptr;
    CWriter* configureWriter = nullptr;
    int captures = 0, configures = 0;
};

class BuildWalkTest : public ::testing::Test {
protected:
    void SetUp() override {
        docs = testenv::MakeTempDir("docs") + "/";
        listDir = testenv::MakeTempDir("lists") + "/";
        GetSettings().keyboardLayout = 0;
        walk.SetDefaultCommandStrokes();
    }
    // Writes the list (and a progress file at `position` when given) and loads it.
    void Load(const std::vector<std::string>& lines, std::optional<int> position = {},
              const std::vector<ProgressEntry>& stored = {}) {
        const std::string path = listDir + "Lesson.edq";
        ASSERT_TRUE(WriteWordListFile(path, lines));
        if (position) ASSERT_TRUE(WriteProgressFile(docs + "Lesson.dqx", stored, *position));
        ASSERT_TRUE(walk.LoadWordList(path, docs));
    }
    void Write(const std::vector<std::string>& strokes) {
        for (const auto& s : strokes) walk.HandleStroke(StrokeOf(s));
    }
    std::string docs, listDir;
    BuildWalk walk;
};

}  // namespace

// The walk as sequences of strokes, with the default English command strokes:
// "*RBGS" Accept, "SKWR*" Clear, "*" Delete, "*FPLT" Next, "STPH*" Back.
TEST_F(BuildWalkTest, StrokeSequences) {
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        std::optional<int> resume;
        std::vector<std::string> strokes;
        int line;
        std::string heading, word, outline;
        std::size_t listed;
        std::vector<ProgressEntry> entries;
        bool ended = false;
        std::function<void()> settings = {};
    };
    const std::vector<std::string> plain{"one", "two", "three"};
    const std::vector<std::string> sections{"one", "@H", "two", "three"};
    const Case cases[] = {
        {"no headings: first word at 0", plain, {}, {}, 0, "", "one", "", 0, {}},
        {"heading first: its word at 1", {"@H", "one", "two"}, {}, {}, 1, "H", "one", "", 0, {}},
        {"two headings in a row: the second is the word", {"@A", "@B", "x"}, {}, {}, 1, "A", "@B", "", 0, {}},
        {"strokes join with slashes", plain, {}, {"TK", "PW"}, 0, "", "one", "TK-/PW-", 2, {}},
        {"Next commits and moves on", plain, {}, {"TK", "PW", "*FPLT"}, 1, "", "two", "", 0,
         {{"TK-/PW-", "one"}}},
        {"Next with no outline stores nothing", plain, {}, {"*FPLT"}, 1, "", "two", "", 0, {}},
        {"empty New Outline stores an empty outline", plain, {}, {"*RBGS"}, 0, "", "one", "", 0,
         {{"", "one"}}},
        {"Accept stores and stays", plain, {}, {"TK", "*RBGS", "PW"}, 0, "", "one", "PW-", 1,
         {{"TK-", "one"}}},
        {"Clear drops the outline", plain, {}, {"TK", "SKWR*"}, 0, "", "one", "", 0, {}},
        {"Delete alone clears", plain, {}, {"*"}, 0, "", "one", "", 0, {}},
        {"Delete after one stroke empties all", plain, {}, {"TK", "*"}, 0, "", "one", "", 0, {}},
        {"Delete takes the last stroke", plain, {}, {"TK", "PW", "*"}, 0, "", "one", "TK-", 1, {}},
        {"Back at line 0 does nothing but stays listed", plain, {}, {"TK", "STPH*"}, 0, "", "one",
         "TK-", 2, {}},
        {"Delete leaves a listed Back that is no part of the outline", plain, {},
         {"TK", "STPH*", "PW", "*"}, 0, "", "one", "TK-", 2, {}},
        {"Back after the first heading shows the same word", {"@H", "one", "two"}, {}, {"TK", "STPH*"},
         1, "H", "one", "", 0, {}},
        {"Back onto a section's first word shows its heading", sections, {},
         {"*FPLT", "*FPLT", "STPH*"}, 2, "H", "two", "", 0, {}},
        {"Back over a heading to the word before it", sections, {}, {"*FPLT", "STPH*"}, 0, "", "one",
         "", 0, {}},
        {"the heading shows only with the section's first word", sections, {}, {"*FPLT", "*FPLT"}, 3,
         "", "three", "", 0, {}},
        {"Next on the last word commits and saves", {"one"}, {}, {"TK", "*FPLT"}, 0, "", "one", "", 0,
         {{"TK-", "one"}}, true},
        {"a heading as the last line ends without a word", {"one", "@H"}, {}, {"*FPLT"}, 1, "H", "one", "",
         0, {}, true},
        {"Next on the last word with nothing written ends", {"one"}, {}, {"*FPLT"}, 0, "", "one", "", 1, {},
         true},
        {"resumed after a heading shows the heading", sections, 2, {}, 2, "H", "two", "", 0, {}},
        {"resumed past the end: the last line", plain, 7, {}, 2, "", "three", "", 0, {}},
        {"resumed negative: the first line", plain, -4, {}, 0, "", "one", "", 0, {}},
        {"^ and ~ exchanged, stored as shown", {"a^b~c"}, {}, {"*RBGS"}, 0, "", "a~b^c", "", 0,
         {{"", "a~b^c"}}},
        {"equal settings: Accept comes before Next", plain, {}, {"TK", "*FPLT"}, 0, "", "one", "", 0,
         {{"TK-", "one"}}, false, [] { GetSettings().acceptStroke = GetSettings().nextStroke; }},
        {"a command of two strokes never matches", plain, {}, {"*FPLT"}, 0, "", "one", "*FPLT", 1, {},
         false, [] { GetSettings().nextStroke = ParseOutline(0, "*FPLT/*FPLT"); }},
        {"an empty command never matches", plain, {}, {"TK"}, 0, "", "one", "TK-", 1, {}, false,
         [] { GetSettings().backStroke.clear(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        walk = BuildWalk();
        std::filesystem::remove(docs + "Lesson.dqx");
        walk.SetDefaultCommandStrokes();
        if (c.settings) c.settings();
        ScriptedPresenter presenter;
        Load(c.lines, c.resume);
        walk.Start();
        for (const auto& s : c.strokes)
            if (!walk.ended) walk.HandleStroke(StrokeOf(s));
        EXPECT_EQ(walk.currentLine, c.line);
        EXPECT_EQ(walk.headingText, c.heading);
        EXPECT_EQ(walk.wordText, c.word);
        EXPECT_EQ(walk.outlineText, c.outline);
        EXPECT_EQ(walk.strokeList.size(), c.listed);
        EXPECT_EQ(walk.entries, c.entries);
        EXPECT_EQ(walk.ended, c.ended);
        if (c.ended) {
            int position = -1;
            EXPECT_EQ(ReadProgressFile(walk.ProgressPath(), position), c.entries);
            EXPECT_EQ(position, c.line);
        }
    }
}

TEST_F(BuildWalkTest, EndOfListIsAnnouncedForAWord) {
    ScriptedPresenter presenter;
    Load({"one"});
    walk.Start();
    Write({"*FPLT"});
    ASSERT_EQ(presenter.Asked().size(), 1u);
    EXPECT_EQ(presenter.Asked()[0].text, "End of list reached (all progress will be automatically saved)");
}

// A list stored at a heading on its last line has nothing left to write: opening it says so
// and offers the list again from its first word, instead of closing at once every time.
TEST_F(BuildWalkTest, AFinishedListSaysSoAndOffersARestart) {
    const char* const kEndOfList = "End of list reached (all progress will be automatically saved)";
    const char* const kRestart = "Are you sure you wish to restart the dictionary build?";
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        int stored;
        std::optional<int> answer;  // to the restart question; none: not asked
        bool ended;
        std::string word;
    } cases[] = {
        {"restarted", {"one", "@H"}, 1, platform::kIdYes, false, "one"},
        {"restart declined", {"one", "@H"}, 1, platform::kIdNo, true, ""},
        {"restarted at its first heading", {"@A", "one", "@B"}, 2, platform::kIdYes, false, "one"},
        {"no word at all: nothing to restart", {"@H"}, 0, std::nullopt, true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        walk = BuildWalk();
        Load(c.lines, c.stored, {{"TK-", "one"}});
        const std::string stored = testfiles::ReadBytes(walk.ProgressPath());
        ScriptedPresenter presenter;
        if (c.answer) presenter.AnswerText(kRestart, *c.answer);
        walk.Start();
        const auto asked = presenter.Asked();
        ASSERT_EQ(asked.size(), c.answer ? 2u : 1u);
        EXPECT_EQ(asked[0].text, kEndOfList);
        if (c.answer) EXPECT_EQ(asked[1].text, kRestart);
        EXPECT_EQ(walk.ended, c.ended);
        if (c.ended) {
            EXPECT_EQ(walk.result, platform::kIdCancel);
        } else {
            EXPECT_EQ(walk.wordText, c.word);
            EXPECT_EQ(walk.PositionText(), std::to_string(walk.currentLine) + " of " +
                                               std::to_string(c.lines.size()));
        }
        EXPECT_EQ(testfiles::ReadBytes(walk.ProgressPath()), stored);  // nothing written
        EXPECT_EQ(walk.entries, (std::vector<ProgressEntry>{{"TK-", "one"}}));
    }
}

// Walked onto a heading on the last line, the list is saved at the heading and ends; when the
// save fails, the walk stands at the last word again, so the word shown is the one the next
// Accept stores.
TEST_F(BuildWalkTest, AFailedSaveAtATrailingHeadingShowsTheWordAcceptStores) {
    const std::string path = listDir + "Lesson.edq";
    ASSERT_TRUE(WriteWordListFile(path, {"@A", "one", "@H"}));
    const std::string missing = docs + "gone/";
    ASSERT_TRUE(walk.LoadWordList(path, missing));
    walk.Start();
    ScriptedPresenter presenter;
    Write({"TK", "*FPLT"});
    EXPECT_FALSE(walk.ended);
    ASSERT_EQ(presenter.Asked().size(), 1u);
    EXPECT_NE(presenter.Asked()[0].text.find("could not be saved"), std::string::npos);
    EXPECT_EQ(walk.currentLine, 1);
    EXPECT_EQ(walk.headingText, "A");
    EXPECT_EQ(walk.wordText, "one");
    EXPECT_EQ(walk.PositionText(), "1 of 3");
    Write({"PW", "*RBGS"});
    EXPECT_EQ(walk.entries, (std::vector<ProgressEntry>{{"TK-", "one"}, {"PW-", "one"}}));
    // Next tries again; once the folder is there it saves at the heading.
    std::filesystem::create_directory(missing);
    Write({"*FPLT"});
    EXPECT_TRUE(walk.ended);
    int position = -1;
    EXPECT_EQ(ReadProgressFile(missing + "Lesson.dqx", position), walk.entries);
    EXPECT_EQ(position, 2);
}

TEST_F(BuildWalkTest, StrokeListShowsTapeColumnsOfEveryStroke) {
    Load({"one", "two"});
    walk.Start();
    Write({"TK", "STPH*"});  // a command stroke is listed too
    EXPECT_EQ(walk.strokeList, (std::vector<std::string>{FormatStroke(StrokeOf("TK"), kStrokeColumns),
                                                         FormatStroke(StrokeOf("STPH*"), kStrokeColumns)}));
}

TEST_F(BuildWalkTest, SaveCancelAndNoWriteTheFileAsSaid) {
    const std::vector<std::string> lines{"one", "two"};
    struct Case {
        const char* name;
        bool save;          // the Save button; else Cancel with the answer below
        int answer;
        bool ended;
        int result;
        bool written;
    } cases[] = {
        {"Save", true, 0, true, platform::kIdOk, true},
        {"Cancel, Yes", false, platform::kIdYes, true, platform::kIdCancel, true},
        {"Cancel, No", false, platform::kIdNo, true, platform::kIdCancel, false},
        {"Cancel, Cancel", false, platform::kIdCancel, false, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(docs + "Lesson.dqx");
        walk = BuildWalk();
        Load(lines);
        walk.Start();
        Write({"TK", "*FPLT", "PW", "*RBGS", "HR"});
        ScriptedPresenter presenter;
        if (!c.save) presenter.AnswerText("Save your results?", c.answer);
        c.save ? walk.Save() : walk.Cancel();
        EXPECT_EQ(walk.ended, c.ended);
        EXPECT_EQ(walk.result, c.result);
        EXPECT_EQ(walk.outlineText, "HR-");  // an outline not committed is not saved
        const std::string expectedFile = docs + "expected.dqx";
        ASSERT_TRUE(WriteProgressFile(expectedFile, {{"TK-", "one"}, {"PW-", "two"}}, 1));
        if (c.written)
            EXPECT_EQ(testfiles::ReadBytes(walk.ProgressPath()), testfiles::ReadBytes(expectedFile));
        else
            EXPECT_FALSE(std::filesystem::exists(walk.ProgressPath()));
    }
}

TEST_F(BuildWalkTest, FailedSaveKeepsTheDialogAndTheEntries) {
    const std::string path = listDir + "Lesson.edq";
    ASSERT_TRUE(WriteWordListFile(path, {"one"}));
    const std::string missing = docs + "gone/";
    ASSERT_TRUE(walk.LoadWordList(path, missing));
    walk.Start();
    {
        ScriptedPresenter presenter;
        Write({"TK", "*FPLT"});  // the end of the list saves, and fails
        EXPECT_FALSE(walk.ended);
        ASSERT_EQ(presenter.Asked().size(), 2u);
        const std::string said = presenter.Asked()[1].text;
        const std::size_t named = said.find(missing + "Lesson.dqx");
        EXPECT_NE(named, std::string::npos) << said;
        EXPECT_EQ(said.find(missing + "Lesson.dqx", named + 1), std::string::npos) << said;
        EXPECT_NE(said.find("No such file or directory"), std::string::npos) << said;
        EXPECT_EQ(presenter.Asked()[1].style & platform::kMbIconMask, platform::kMbIconError);
    }
    {
        ScriptedPresenter presenter;
        presenter.AnswerText("Save your results?", platform::kIdYes);
        walk.Cancel();  // Yes fails as well
        EXPECT_FALSE(walk.ended);
    }
    EXPECT_EQ(walk.entries, (std::vector<ProgressEntry>{{"TK-", "one"}}));
    std::filesystem::create_directory(missing);
    walk.Save();
    EXPECT_TRUE(walk.ended);
    int position = -1;
    EXPECT_EQ(ReadProgressFile(missing + "Lesson.dqx", position), walk.entries);
    EXPECT_EQ(position, 0);
}

TEST_F(BuildWalkTest, LoadRefusesWhatItCannotRead) {
    std::string error;
    EXPECT_FALSE(walk.LoadWordList(listDir + "none.edq", docs, &error));
    EXPECT_NE(error.find("none.edq"), std::string::npos);
    EXPECT_FALSE(walk.progressUnreadable);
    // A progress "file" that cannot be read is never replaced by this session's save.
    ASSERT_TRUE(WriteWordListFile(listDir + "Lesson.edq", {"one"}));
    std::filesystem::create_directory(docs + "Lesson.dqx");
    EXPECT_FALSE(walk.LoadWordList(listDir + "Lesson.edq", docs, &error));
    EXPECT_NE(error.find("Lesson.dqx"), std::string::npos) << error;
    EXPECT_TRUE(walk.progressUnreadable);
}

TEST_F(BuildWalkTest, FirstWordAsksFirst) {
    Load({"one", "two", "three"});
    walk.Start();
    Write({"*FPLT", "*FPLT", "TK"});
    ScriptedPresenter presenter;
    presenter.AnswerText("restart the dictionary build", platform::kIdNo);
    walk.FirstWord();
    EXPECT_EQ(walk.currentLine, 2);
    EXPECT_EQ(walk.outlineText, "TK-");
    presenter.AnswerText("restart the dictionary build", platform::kIdYes);
    walk.FirstWord();
    EXPECT_EQ(walk.currentLine, 0);
    EXPECT_EQ(walk.wordText, "one");
    EXPECT_EQ(walk.outlineText, "");
}

// Strokes that arrive while one of the walk's own questions is open wait in the queue.
TEST_F(BuildWalkTest, ANextStrokeDuringEndOfListIsNotTaken) {
    CWriter writer(platform::kNoWindow);
    walk.writer = &writer;
    Load({"one"});
    walk.Start();
    HookedPresenter presenter([&](const std::string&, unsigned) {
        Queue(writer, "*FPLT");
        Queue(writer, "TK");
        walk.TakeStrokes();  // the stroke message, handled inside the box's loop
        return platform::kIdOk;
    });
    Queue(writer, "*FPLT");
    walk.TakeStrokes();
    EXPECT_TRUE(walk.ended);
    EXPECT_EQ(presenter.asked.size(), 1u);
    int position = -1;
    ReadProgressFile(walk.ProgressPath(), position);
    EXPECT_EQ(position, 0);
    TrackStroke left;
    EXPECT_EQ(writer.GetStroke(&left), 1);  // the dialog ended: they stay queued
}

TEST_F(BuildWalkTest, StrokesBehindTheSaveQuestionFollowIt) {
    CWriter writer(platform::kNoWindow);
    walk.writer = &writer;
    Load({"one", "two"});
    walk.Start();
    Write({"TK"});
    int answer = platform::kIdCancel;
    HookedPresenter presenter([&](const std::string&, unsigned) {
        const std::string before = walk.outlineText;
        Queue(writer, "PW");
        Queue(writer, "*RBGS");
        walk.TakeStrokes();
        EXPECT_EQ(walk.outlineText, before);  // nothing taken while the box is open
        return answer;
    });
    walk.Cancel();
    EXPECT_FALSE(walk.ended);
    walk.TakeStrokes();  // after the handler, as the dialog does
    EXPECT_EQ(walk.entries, (std::vector<ProgressEntry>{{"TK-/PW-", "one"}}));

    answer = platform::kIdNo;
    walk.Cancel();
    EXPECT_TRUE(walk.ended);
    walk.TakeStrokes();
    EXPECT_EQ(walk.entries.size(), 1u);
}

TEST_F(BuildWalkTest, EveryQueuedStrokeIsTakenInOrder) {
    CWriter writer(platform::kNoWindow);
    walk.writer = &writer;
    Load({"one", "two"});
    walk.Start();
    for (const char* s : {"TK", "PW", "*FPLT", "HR"}) Queue(writer, s);
    walk.TakeStrokes();  // one message for all of them
    EXPECT_EQ(walk.entries, (std::vector<ProgressEntry>{{"TK-/PW-", "one"}}));
    EXPECT_EQ(walk.outlineText, "HR-");
}

TEST_F(BuildWalkTest, CaptureMakesTheCommandExactlyTheStroke) {
    ScriptedChildren children;
    CWriter writer(platform::kNoWindow);
    walk.children = &children;
    walk.writer = &writer;
    const Stroke written = StrokeOf("TPH").keys;
    struct Case { const char* name; Outline before; std::optional<Stroke> capture; Outline after; } cases[] = {
        {"captured", ParseOutline(0, "*FPLT"), written, Outline(written.begin(), written.end())},
        {"into an empty setting", "", written, Outline(written.begin(), written.end())},
        {"into two strokes", ParseOutline(0, "*FPLT/*FPLT"), written, Outline(written.begin(), written.end())},
        {"nothing captured", ParseOutline(0, "*FPLT"), std::nullopt, ParseOutline(0, "*FPLT")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GetSettings().nextStroke = c.before;
        children.capture = c.capture;
        walk.CaptureCommand(CommandStroke::Next);
        EXPECT_EQ(GetSettings().nextStroke, c.after);
        EXPECT_EQ(children.captureWriter, &writer);
    }
    children.capture = written;
    walk.CaptureCommand(CommandStroke::Next);
    EXPECT_EQ(BuildWalk::CommandCaption(CommandStroke::Next), "TPH-");
    // The capture's strokes are written; Next is now TPH.
    Load({"one", "two"});
    walk.Start();
    Write({"TPH"});
    EXPECT_EQ(walk.currentLine, 1);
}

TEST_F(BuildWalkTest, DefaultCommandStrokesFollowTheLayout) {
    struct Case { int layout; const char* next; const char* back; const char* accept; const char* clear; const char* del; } cases[] = {
        {0, "*FPLT", "STPH*", "*RBGS", "SKWR*", "*"},
        {1, "KMFR", "AlnD", "SPT*", "UlsC", "KMFRUlsC"},
        {2, "*FPLT", "STPH*", "*RBGS", "SKWR*", "*"},
    };
    for (const auto& c : cases) {
        GetSettings().keyboardLayout = c.layout;
        walk.SetDefaultCommandStrokes();
        const auto layout = std::uint8_t(c.layout);
        EXPECT_EQ(GetSettings().nextStroke, ParseOutline(layout, c.next)) << c.layout;
        EXPECT_EQ(GetSettings().backStroke, ParseOutline(layout, c.back)) << c.layout;
        EXPECT_EQ(GetSettings().acceptStroke, ParseOutline(layout, c.accept)) << c.layout;
        EXPECT_EQ(GetSettings().clearStroke, ParseOutline(layout, c.clear)) << c.layout;
        EXPECT_EQ(GetSettings().deleteStroke, ParseOutline(layout, c.del)) << c.layout;
        EXPECT_EQ(GetSettings().deleteStroke.size(), 6u) << c.layout;
    }
}

TEST_F(BuildWalkTest, SuggestionsBecomeEntriesOfTheWordShownBeforehand) {
    ScriptedChildren children;
    walk.children = &children;
    Load({"one", "two"});
    walk.Start();
    ScriptedPresenter presenter;
    walk.Suggest();  // no outline: nothing opens
    EXPECT_TRUE(children.suggestedFor.empty());

    Write({"TK", "PW"});
    children.choose = {"STK-/PW-", "K-/PW-"};
    children.during = [&] { walk.wordText = "edited meanwhile"; };
    walk.Suggest();
    EXPECT_EQ(children.suggestedFor, "TK- PW-");
    EXPECT_EQ(walk.entries, (std::vector<ProgressEntry>{{"STK-/PW-", "one"}, {"K-/PW-", "one"}}));
    EXPECT_EQ(walk.outlineText, "TK-/PW-");  // neither committed nor cleared
    ASSERT_EQ(presenter.Asked().size(), 1u);
    EXPECT_EQ(presenter.Asked()[0].text, "Added 2 suggested entries");

    children.choose = {};
    walk.Suggest();
    EXPECT_EQ(presenter.Asked().back().text, "Added 0 suggested entries");
    children.suggestOk = false;
    children.choose = {"X"};
    walk.Suggest();
    EXPECT_EQ(presenter.Asked().size(), 2u);
    EXPECT_EQ(walk.entries.size(), 2u);
}

TEST_F(BuildWalkTest, ConfigureHandsOverTheWriter) {
    ScriptedChildren children;
    CWriter writer(platform::kNoWindow);
    walk.children = &children;
    walk.writer = &writer;
    walk.Configure();
    EXPECT_EQ(children.configures, 1);
    EXPECT_EQ(children.configureWriter, &writer);
}

TEST(DefinitionUrl, EncodesTheWordAsUtf8) {
    struct Case { std::string word, tail; } cases[] = {
        {"cat", "cat"},
        {"ice cream", "ice%20cream"},
        {"caf\xE9", "caf%C3%A9"},
        {"\x80", "%E2%82%AC"},  // the euro sign of Windows-1252
        {"a&b;rm -rf /", "a%26b%3Brm%20-rf%20%2F"},
        {"x?y#z%", "x%3Fy%23z%25"},
    };
    for (const auto& c : cases) {
        const std::string url = DefinitionUrl(c.word);
        ASSERT_NE(url.find("/dictionary/"), std::string::npos);
        EXPECT_EQ(url.substr(url.find("/dictionary/") + 12), c.tail) << c.word;
    }
}
