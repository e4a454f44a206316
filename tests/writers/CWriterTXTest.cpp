// CWriterTX against a simulated TranscriptorX on a pseudo-terminal: realtime key bytes however
// they are split, the silence that ends a stroke, a writer unplugged; the stored notes pulled
// block by block into TXNotes.000 with Cancel, damaged and stalled blocks, a capture file that
// cannot be made, and stale numbered capture files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <thread>

#include "tests/fakes/FakeOwnerWindow.h"
#include "tests/fakes/TestWriters.h"
#include "tests/fakes/WaitDialogScript.h"
#include "tests/sim/TxSimulator.h"
#include "tests/support/FileHelpers.h"
#include "tests/support/HexBytes.h"
#include "tests/support/ScriptedPresenter.h"
#include "tests/support/TestEnvironment.h"
#include "tests/writers/DriverSession.h"
#include "writers/CWriterTX.h"

namespace {

using Keys = sim::TxSimulator::Keys;
constexpr int kBound = 5000;

// Strokes with keys in group 0, so that each stroke's first byte begins a new one.
std::vector<Keys> Strokes(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<Keys> strokes;
    while (strokes.size() < count)
        strokes.push_back({std::uint8_t((random() & 0x3F) | 0x01 | (random() & 0x40)), std::uint8_t(random()),
                           std::uint8_t(random())});
    return strokes;
}

std::string Line(const std::vector<Keys>& strokes) {
    std::string bytes;
    for (const Keys& k : strokes) bytes += sim::TxSimulator::StrokeBytes(k);
    return bytes;
}

std::string Records(const std::vector<Keys>& strokes) {
    std::string records;
    for (const Keys& k : strokes) records.append(k.begin(), k.end());
    return records;
}

std::vector<std::string> Texts(const std::vector<Keys>& strokes) {
    std::vector<std::string> texts;
    for (const Keys& k : strokes) texts.push_back(ToHex(std::string(k.begin(), k.end())) + " 00 00 00");
    return texts;
}

std::string TempPath(const std::string& name) { return std::string(std::getenv("TEMP")) + "/" + name; }

class TxSession : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.IsOpen()) << sim.Error();
        fakes::UseLineSettings(1);
    }
    std::unique_ptr<CWriterTX> Open(int mode) {
        std::unique_ptr<CWriterTX> writer(NewWriter<CWriterTX>(owner.Handle()));
        writer->mode = mode;
        writer->commandGapMs = 1;
        writer->blockByteLimitMs = 300;
        writer->syncWaitMs = 500;
        writer->Start(1);
        return writer;
    }

    sim::TxSimulator sim{1};
    fakes::FakeOwnerWindow owner;
};

// ---- realtime ---------------------------------------------------------------------------

TEST_F(TxSession, StrokesArriveHoweverTheBytesAreSplit) {
    const std::vector<Keys> strokes = Strokes(30, 1);
    const std::string line = Line(strokes) + std::string(1, '\0');
    std::mt19937 random(2);
    for (const char* how : {"whole", "byte by byte", "random pieces"}) {
        SCOPED_TRACE(how);
        fakes::FakeOwnerWindow window;
        auto writer = std::unique_ptr<CWriterTX>(NewWriter<CWriterTX>(window.Handle()));
        writer->mode = kModeRealtime;
        writer->Start(1);
        for (std::size_t at = 0; at < line.size();) {
            const std::size_t piece = std::string(how) == "whole" ? line.size()
                                      : std::string(how) == "byte by byte" ? 1
                                                                           : 1 + random() % 7;
            sim.Send(line.substr(at, piece));
            at += piece;
            if (piece < line.size()) std::this_thread::sleep_for(std::chrono::milliseconds(random() % 3));
        }
        ASSERT_TRUE(window.WaitForStrokes(*writer, strokes.size(), kBound));
        EXPECT_FALSE(window.WaitForStrokes(*writer, strokes.size() + 1, session::kNothingMs));
        EXPECT_EQ(window.StrokeKeys(), Texts(strokes));
    }
    EXPECT_TRUE(sim.Received().empty());  // nothing is sent to the writer in realtime
}

TEST_F(TxSession, SilenceEndsTheLastStroke) {
    auto writer = Open(kModeRealtime);
    sim.Send(Hex("05 4A 93 D1"));
    // The group did not fall and no end byte came: only the silence completes the stroke.
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBound));
    EXPECT_EQ(owner.StrokeKeys(), std::vector<std::string>{"68 53 28 00 00 00"});
    sim.Send(Hex("40"));  // the separator alone
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 2, kBound));
    EXPECT_EQ(owner.StrokeKeys()[1], "C0 00 00 00 00 00");
}

TEST_F(TxSession, AnUnpluggedWriterDeliversNothingAndStops) {
    auto writer = Open(kModeRealtime);
    sim.Send(Hex("05 4A"));
    sim.Vanish();
    EXPECT_LT(session::CpuMsWhileIdle(500), 250.0);
    EXPECT_TRUE(session::ReturnsSoon([&] { writer->Stop(); }));
}

// ---- stored notes over the cable ----------------------------------------------------------

TEST_F(TxSession, NotesArePulledBlockByBlockIntoTheCaptureFile) {
    const std::vector<Keys> strokes = Strokes(200, 3);  // about 600 bytes: three blocks
    const std::string notes = Line(strokes);
    sim.SetNotes(notes);
    sim.echoHighToo = true;
    testfiles::WriteBytes(TempPath("TXNotes.001"), "old");
    testfiles::WriteBytes(TempPath("TXNotes.002"), "old");
    testfiles::WriteBytes(TempPath("TXNotes.004"), "kept: 003 is missing");
    fakes::WaitDialogScript dialogs;
    auto writer = Open(kModeNotesCable);

    EXPECT_EQ(testfiles::ReadBytes(TempPath("TXNotes.000")), Records(strokes));
    const std::size_t blocks = notes.size() / 256 + 1;
    std::vector<std::pair<int, int>> expected;
    for (std::size_t i = 1; i <= blocks; ++i) expected.emplace_back(0, int(i));
    EXPECT_EQ(sim.BlockRequests(), expected);
    ASSERT_TRUE(sim.WaitForScript(kBound));
    for (int i = 0; i < 50 && sim.closingPairs < 5; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(sim.closingPairs.load(), 5);

    EXPECT_EQ(writer->notesFiles, (std::vector<std::string>{TempPath("TXNotes.000"), TempPath("TXNotes.004")}));
    ASSERT_EQ(writer->notesListing.size(), 2u);
    EXPECT_TRUE(session::ListsCaptureFile(writer->notesListing[0], "TXNotes.000", 600));
    ASSERT_EQ(dialogs.OpenedCount(), 1u);
    EXPECT_TRUE(session::IsClosedNotesWindow(dialogs.Dialog(0)));
    EXPECT_EQ(dialogs.Dialog(0).ranges[0].high, 100);

    ASSERT_TRUE(writer->OpenNotesFile(0));
    writer->ReadStrokes(198, 5);
    owner.HandleMessages(*writer);
    EXPECT_EQ(owner.StrokeKeys(), Texts({strokes.end() - 2, strokes.end()}));
}

TEST_F(TxSession, BlockNumbersGoOnInTheHighByteAfter127) {
    sim.SetNotes(std::string(256 * 128 + 10, '\x01'));  // 129 blocks of group-0 strokes
    fakes::WaitDialogScript dialogs;
    auto writer = Open(kModeNotesCable);
    const auto requests = sim.BlockRequests();
    ASSERT_EQ(requests.size(), 129u);
    EXPECT_EQ(requests[126], (std::pair<int, int>{0, 127}));
    EXPECT_EQ(requests[127], (std::pair<int, int>{1, 1}));
    EXPECT_EQ(requests[128], (std::pair<int, int>{1, 2}));
    EXPECT_EQ(testfiles::ReadBytes(TempPath("TXNotes.000")).size(), (256u * 128 + 10) * 3);
}

TEST_F(TxSession, DamagedBlocksEndTheTransferKeepingTheBlocksBefore) {
    using Fault = sim::TxSimulator::BlockFault;
    const std::vector<Keys> strokes = Strokes(300, 4);
    const std::string notes = Line(strokes);
    // The whole strokes of the first two blocks (a stroke cut at a block's end is kept too).
    const struct {
        const char* name;
        Fault fault;
        std::size_t thirdBlockBytes;  // notes bytes of the third block that came before the end
    } rows[] = {
        {"no sync byte while others stream", Fault::NoSync, 0},
        {"a length over 259", Fault::LongLength, 0},
        {"a length below 3", Fault::ShortLength, 0},
        // Half of its 264 bytes: sync, block number, length, two bytes and 126 notes bytes.
        {"a block that stops half-way", Fault::StallMidway, 126},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        sim::TxSimulator writerSim{2};
        fakes::UseLineSettings(2);
        writerSim.SetNotes(notes);
        writerSim.fault = row.fault;
        writerSim.faultBlock = 2;
        writerSim.noiseMs = 60'000;  // longer than the bound below: the sync wait must end first
        fakes::WaitDialogScript dialogs;
        std::unique_ptr<CWriterTX> writer(NewWriter<CWriterTX>(owner.Handle()));
        writer->mode = kModeNotesCable;
        writer->commandGapMs = 1;
        writer->blockByteLimitMs = 300;
        writer->syncWaitMs = 500;
        EXPECT_TRUE(session::ReturnsSoon([&] { writer->Start(1); }));
        writerSim.noiseMs = 0;
        const std::string kept = testfiles::ReadBytes(TempPath("TXNotes.000"));
        // The strokes of what came: the notes bytes of two blocks and of the third's part.
        const std::string expected = [&] {
            std::vector<tx::Keys> done;
            tx::StrokeGatherer g;
            for (const char c : notes.substr(0, 512 + row.thirdBlockBytes)) g.Take(std::uint8_t(c), done);
            g.Flush(done);
            std::string r;
            for (const auto& k : done) r.append(k.begin(), k.end());
            return r;
        }();
        EXPECT_EQ(ToHex(kept), ToHex(expected));
        EXPECT_EQ(writerSim.BlockRequests().size(), 3u);
        EXPECT_TRUE(dialogs.Dialog(0).closed);
        EXPECT_EQ(writer->notesFiles.front(), TempPath("TXNotes.000"));
    }
}

TEST_F(TxSession, CancelMidBlockEndsTheTransfer) {
    sim.SetNotes(Line(Strokes(300, 5)));
    sim.fault = sim::TxSimulator::BlockFault::StallMidway;
    sim.faultBlock = 1;
    fakes::WaitDialogScript dialogs;
    dialogs.CancelAtProgressCall(3);  // blocks 1 and 2 counted, then the stalled block's wait
    std::unique_ptr<CWriterTX> writer(NewWriter<CWriterTX>(owner.Handle()));
    writer->mode = kModeNotesCable;
    writer->commandGapMs = 1;  // the default limits: only Cancel ends the wait soon
    EXPECT_TRUE(session::ReturnsSoon([&] { writer->Start(1); }));
    EXPECT_EQ(sim.BlockRequests().size(), 2u);
    EXPECT_FALSE(testfiles::ReadBytes(TempPath("TXNotes.000")).empty());
    EXPECT_TRUE(dialogs.Dialog(0).closed);
}

TEST_F(TxSession, AWriterUnpluggedMidBlockEndsTheTransfer) {
    sim.SetNotes(Line(Strokes(300, 6)));
    sim.fault = sim::TxSimulator::BlockFault::VanishMidway;
    sim.faultBlock = 1;
    fakes::WaitDialogScript dialogs;
    std::unique_ptr<CWriterTX> writer;
    EXPECT_TRUE(session::ReturnsSoon([&] { writer = Open(kModeNotesCable); }));
    EXPECT_EQ(writer->notesFiles.front(), TempPath("TXNotes.000"));
    EXPECT_TRUE(dialogs.Dialog(0).closed);
}

TEST_F(TxSession, ACaptureFileThatCannotBeMadeIsReportedAndTheWriterReleased) {
    const testenv::ScopedEnv temp("TEMP", testenv::Root() + "/missing");
    sim.SetNotes(Line(Strokes(10, 7)));
    fakes::WaitDialogScript dialogs;
    ScriptedPresenter presenter;
    auto writer = Open(kModeNotesCable);
    ASSERT_EQ(presenter.Asked().size(), 1u);
    EXPECT_NE(presenter.Asked()[0].text.find("/missing/TXNotes.000"), std::string::npos);
    EXPECT_TRUE(sim.BlockRequests().empty());
    for (int i = 0; i < 50 && sim.closingPairs < 5; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(sim.closingPairs.load(), 5);
    EXPECT_TRUE(dialogs.Dialog(0).closed);
    EXPECT_TRUE(writer->notesFiles.empty());
}

TEST_F(TxSession, StaleCaptureFilesAreRemovedUpTo999AndTheNewOneKept) {
    for (int n = 1; n <= 999; ++n) {
        char name[16];
        std::snprintf(name, sizeof name, "TXNotes.%03d", n);
        testfiles::WriteBytes(TempPath(name), "old");
    }
    const std::vector<Keys> strokes = Strokes(5, 8);
    sim.SetNotes(Line(strokes));
    fakes::WaitDialogScript dialogs;
    auto writer = Open(kModeNotesCable);
    EXPECT_EQ(testfiles::ReadBytes(TempPath("TXNotes.000")), Records(strokes));
    EXPECT_EQ(writer->notesFiles, std::vector<std::string>{TempPath("TXNotes.000")});
}

TEST_F(TxSession, ASilentWriterIsAskedAboutAndRetryTriesAgain) {
    sim.ignoreWakes = 100;  // the first round of wake-ups goes unanswered
    const std::vector<Keys> strokes = Strokes(5, 9);
    sim.SetNotes(Line(strokes));
    ScriptedPresenter presenter;
    presenter.Answer(kMessageNoAnswer, 0);  // Retry
    fakes::WaitDialogScript dialogs;
    auto writer = Open(kModeNotesCable);
    EXPECT_EQ(presenter.Asked().size(), 1u);
    EXPECT_EQ(sim.wakes.load(), 101);
    EXPECT_EQ(testfiles::ReadBytes(TempPath("TXNotes.000")), Records(strokes));
}

TEST_F(TxSession, CancelAfterNoAnswerCapturesNothing) {
    testfiles::WriteBytes(TempPath("TXNotes.000"), "earlier");
    sim.ignoreWakes = -1;
    ScriptedPresenter presenter;
    presenter.Answer(kMessageNoAnswer, 1);
    fakes::WaitDialogScript dialogs;
    auto writer = Open(kModeNotesCable);
    EXPECT_EQ(dialogs.OpenedCount(), 0u);
    EXPECT_TRUE(writer->notesFiles.empty());
    EXPECT_EQ(testfiles::ReadBytes(TempPath("TXNotes.000")), "earlier");
}

}  // namespace
