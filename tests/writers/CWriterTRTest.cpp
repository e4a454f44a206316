// The Treal keyboard driver: its key tables, its notes records, and its start against a
// scripted keyboard-hook library.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/AppSettings.h"
#include "tests/fakes/FakeOwnerWindow.h"
#include "tests/support/ScriptedPresenter.h"
#include "tests/writers/DriverSession.h"
#include "writers/CWriterTR.h"

namespace {

using Keys = std::vector<std::string>;
using session::kBoundMs;

// A library whose opens answer from a script and whose keyboard is played by the test.
struct ScriptedLibrary {
    static inline std::vector<int> opens;  // answers, in order; then 1
    static inline int openCalls = 0;
    static inline int closeCalls = 0;
    static inline TrealKeyboardCallbackFn callback = nullptr;

    static int Open(TrealKeyboardCallbackFn cb) {
        const int answer = openCalls < int(opens.size()) ? opens[std::size_t(openCalls)] : 1;
        ++openCalls;
        if (answer) callback = cb;
        return answer;
    }
    static unsigned Close() {
        ++closeCalls;
        return callback ? 0u : 0xFFFFFFFFu;
    }
};

class TrealTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved = CWriterTR::library;
        CWriterTR::library = {ScriptedLibrary::Open, ScriptedLibrary::Close};
        ScriptedLibrary::opens.clear();
        ScriptedLibrary::openCalls = ScriptedLibrary::closeCalls = 0;
        ScriptedLibrary::callback = nullptr;
        GetSettings().keyboardLayout = 0;
    }
    void TearDown() override {
        writer.reset();
        CWriterTR::library = saved;
    }
    // A report as the library hands it over: a callback for every byte, on its own thread.
    void Report(const std::vector<int>& bytes) {
        std::thread([&] {
            for (std::size_t i = 0; i < bytes.size(); ++i)
                TrealKeyboardCallback(kTrealReportByte, bytes[i], int(i));
        }).join();
    }
    void Release() {
        std::thread([] { TrealKeyboardCallback(kTrealAllReleased, 0, 0); }).join();
    }

    CWriterTR::Library saved{};
    fakes::FakeOwnerWindow owner;
    std::unique_ptr<CWriterTR> writer{NewWriter<CWriterTR>(owner.Handle())};
};

TEST_F(TrealTest, KeysOfEachLayoutColumnBecomeOneStrokePerRelease) {
    struct Case {
        const char* name;
        int layout;
        std::vector<std::vector<int>> reports;  // before one release
        Keys want;
    } cases[] = {
        {"English K", 0, {{0, 0x80, 0, 0, 0, 0, 0, 0}}, {"08 00 00 00 00 00"}},
        {"English S", 0, {{0, 0, 0x01, 0, 0, 0, 0, 0}}, {"20 00 00 00 00 00"}},
        {"English number bar from any bit of byte 4", 0, {{0, 0, 0, 0, 0x13, 0, 0, 0}},
         {"40 00 00 00 00 00"}},
        {"English last key", 0, {{0, 0, 0, 0, 0, 0x20, 0, 0}}, {"00 00 01 00 00 00"}},
        {"German uses the first column", 5, {{0, 0x80, 0, 0, 0, 0, 0, 0}}, {"08 00 00 00 00 00"}},
        {"French column", 1, {{0, 0x80, 0, 0, 0, 0, 0, 0}}, {"01 00 00 00 00 00"}},
        {"extended English column", 10, {{0, 0x80, 0, 0, 0, 0, 0, 0}}, {"00 80 00 00 00 00"}},
        {"extended French column", 11, {{0, 0x80, 0, 0, 0, 0, 0, 0}}, {"00 40 00 00 00 00"}},
        {"extended number bar", 9, {{0, 0, 0, 0, 0x80, 0, 0, 0}}, {"40 00 00 00 00 00"}},
        {"extended last key", 13, {{0, 0, 0, 0, 0, 0x01, 0, 0}}, {"00 00 02 00 00 00"}},
        {"extended byte 3", 12, {{0, 0, 0, 0x80, 0, 0, 0, 0}}, {"00 00 00 04 00 00"}},
        {"two reports before one release", 0,
         {{0, 0x80, 0, 0, 0, 0, 0, 0}, {0, 0x40, 0, 0, 0, 0, 0, 0}}, {"0A 00 00 00 00 00"}},
        {"report-id byte and bytes past 5 add nothing", 0, {{0xFF, 0, 0, 0, 0, 0, 0xFF, 0xFF}},
         {}},
        {"a bit no column uses adds nothing", 0, {{0, 0, 0, 0, 0, 0x80, 0, 0}}, {}},
    };
    for (const Case& c : cases) {
        writer.reset(NewWriter<CWriterTR>(owner.Handle()));
        GetSettings().keyboardLayout = c.layout;
        for (const auto& report : c.reports) Report(report);
        Release();
        Release();  // nothing collected: nothing more
        fakes::FakeOwnerWindow fresh;
        writer->SetOwner(fresh.Handle());
        fresh.HandleMessages(*writer);
        EXPECT_EQ(fresh.StrokeKeys(), c.want) << c.name;
    }
}

TEST_F(TrealTest, NotesRecordsAreRotatedThreeBytes) {
    writer->receiveBuffer = std::string("\x01\x00\x00\xAA\xAA\xAA\xAA\xAA", 8) +
                            std::string("\x00\x00\x80\x00\x00\x00\x00\x00", 8) +
                            std::string("\x02\x01\x00\x00\x00", 5);
    writer->DecodeBuffer();
    owner.HandleMessages(*writer);
    EXPECT_EQ(owner.StrokeKeys(), (Keys{"40 00 00 00 00 00", "20 00 00 00 00 00"}));
    EXPECT_EQ(writer->strokeIndex, 2);
    EXPECT_EQ(writer->receiveBuffer.size(), 5u) << "a cut record waits for the rest";
    EXPECT_EQ(owner.Strokes()[0].timeCode, TimeCode{});
}

TEST_F(TrealTest, StartAsksUntilTheKeyboardOpensAndStrokesFollow) {
    ScriptedPresenter presenter;
    presenter.Answer(kMessageNoAnswer, 0);  // Retry
    ScriptedLibrary::opens = {0, 1};
    writer->mode = kModeRealtime;
    writer->Start(1);
    EXPECT_EQ(ScriptedLibrary::openCalls, 2);
    Report({0, 0, 0x01, 0, 0, 0, 0, 0});
    Release();
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBoundMs));
    EXPECT_EQ(owner.StrokeKeys(), Keys{"20 00 00 00 00 00"});

    writer.reset();  // closes the library before the writer goes
    EXPECT_EQ(ScriptedLibrary::closeCalls, 1);
    Release();  // a late event finds no writer
    TrealKeyboardCallback(kTrealReportByte, 1, 1);
}

TEST_F(TrealTest, CancelLeavesAWriterWithoutStrokes) {
    ScriptedPresenter presenter;
    presenter.Answer(kMessageNoAnswer, 1);  // Cancel
    ScriptedLibrary::opens = {0};
    writer->mode = kModeRealtime;
    writer->Start(1);
    EXPECT_EQ(ScriptedLibrary::openCalls, 1);
    EXPECT_EQ(presenter.Asked().size(), 1u);
    writer->Stop();  // the reader thread ends at once
    EXPECT_FALSE(writer->readerThread.joinable());
}

TEST_F(TrealTest, NotesCableModeDoesNothing) {
    writer->mode = kModeNotesCable;
    writer->Start(1);
    EXPECT_EQ(ScriptedLibrary::openCalls, 0);
    EXPECT_FALSE(writer->readerThread.joinable());
}

}  // namespace
