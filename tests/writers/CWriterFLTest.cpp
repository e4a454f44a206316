// CWriterFL against a simulated Flash writer on a pseudo-terminal: realtime strokes (the
// writer's own groups, a writer stopping mid-group, one unplugged), and the stored notes read
// over the cable into Flash.000, Flash.001, ... with the split at the job-end markers, the
// deletion of stale files, the listing, Cancel and a writer that goes away in the handshake.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <regex>

#include "core/TextUtil.h"
#include "tests/fakes/FakeOwnerWindow.h"
#include "tests/fakes/TestWriters.h"
#include "tests/fakes/WaitDialogScript.h"
#include "tests/sim/FlSimulator.h"
#include "tests/support/FileHelpers.h"
#include "tests/support/ScriptedPresenter.h"
#include "tests/support/TestEnvironment.h"
#include "tests/writers/StrokeBytes.h"
#include "tests/writers/DriverSession.h"
#include "writers/CWriterFL.h"

namespace {

using strokebytes::Records;

constexpr int kBound = 5000;
const std::string kJobEnd("\x40\x10\x00", 3);

std::string Repeat(const std::string& bytes, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += bytes;
    return out;
}

class FlSession : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.IsOpen()) << sim.Error();
        fakes::UseLineSettings(1);
    }
    std::unique_ptr<CWriterFL> Open(int mode) {
        std::unique_ptr<CWriterFL> writer(NewWriter<CWriterFL>(owner.Handle()));
        writer->mode = mode;
        writer->Start(1);
        return writer;
    }
    static std::string Capture(int number) {
        return std::string(std::getenv("TEMP")) + "/Flash.00" + std::to_string(number);
    }

    sim::FlSimulator sim{1};
    fakes::FakeOwnerWindow owner;
};

// ---- realtime ---------------------------------------------------------------------------

TEST_F(FlSession, RealtimeStrokesArriveWithoutAHandshake) {
    ScriptedPresenter presenter;
    auto writer = Open(kModeRealtime);
    sim.Send(std::string("\x12\x34\x56\xFF", 4));
    sim.Send(std::string("\x7A\x00\x00\x01\xFF\x40\x00\x01\xFF", 9));  // the writer's group first
    sim.Send(std::string("\xFF\x01\xFF\x02\xFF", 5));                  // a stray end marker first
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 3, kBound));
    EXPECT_EQ(owner.StrokeKeys(), (std::vector<std::string>{"12 34 56 00 00 00", "40 00 01 00 00 00",
                                                            "01 FF 02 00 00 00"}));
    EXPECT_TRUE(sim.Received().empty());
    EXPECT_TRUE(presenter.Asked().empty());
}

TEST_F(FlSession, AWriterStoppingMidGroupLosesThatGroupOnly) {
    auto writer = Open(kModeRealtime);
    sim.Send(std::string("\x12\x34", 2));
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 1, 400));
    sim.Send(std::string("\x01\x02\x03\xFF", 4));
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBound));
    EXPECT_EQ(owner.StrokeKeys(), std::vector<std::string>{"01 02 03 00 00 00"});

    sim.Send(std::string("\x12\x34\x56", 3));  // no end marker, then stopped while it waits
    writer->Stop();
    EXPECT_EQ(writer->threadStopped.load(), 1);
}

TEST_F(FlSession, AnUnpluggedWriterDeliversNothingAndStops) {
    auto writer = Open(kModeErase);  // runs like realtime
    sim.Send(std::string("\x12\x34\x56", 3));
    sim.Vanish();
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 1, 300));
    writer.reset();
}

// ---- stored notes over the cable ----------------------------------------------------------

TEST_F(FlSession, StoredNotesAreSplitAtJobEndsStaleFilesGoAndAllAreListed) {
    const auto job1 = sim::FlSimulator::NoteStrokes(1500, 1);
    const auto job2 = sim::FlSimulator::NoteStrokes(1500, 2);
    sim.SetJobs({job1, job2});
    for (int n = 0; n <= 5; ++n) testfiles::WriteBytes(Capture(n), "old");
    fakes::WaitDialogScript dialogs;
    ScriptedPresenter presenter;
    auto writer = Open(kModeNotesCable);

    EXPECT_EQ(sim.Received(), "XCXD");
    EXPECT_EQ(testfiles::ReadBytes(Capture(0)), Records(job1) + Repeat(kJobEnd, 5));
    EXPECT_EQ(testfiles::ReadBytes(Capture(1)), Records(job2) + Repeat(kJobEnd, 5));
    EXPECT_EQ(testfiles::ReadBytes(Capture(2)), "");  // begun after the last job's end
    for (int n = 3; n <= 5; ++n) EXPECT_FALSE(FileExists(Capture(n))) << n;

    ASSERT_EQ(writer->notesFiles, (std::vector<std::string>{Capture(0), Capture(1), Capture(2)}));
    ASSERT_EQ(writer->notesListing.size(), 3u);
    EXPECT_TRUE(session::ListsCaptureFile(writer->notesListing[0], "Flash.000", 4515));
    EXPECT_TRUE(std::regex_match(writer->notesListing[2], std::regex(R"(Flash\.002: 0 .*)")));

    ASSERT_EQ(dialogs.OpenedCount(), 1u);
    const fakes::WaitDialogRecord dialog = dialogs.Dialog(0);
    EXPECT_TRUE(session::IsClosedNotesWindow(dialog));
    ASSERT_EQ(dialog.ranges.size(), 2u);
    EXPECT_EQ(dialog.ranges[0].high, 5);
    EXPECT_EQ(dialog.ranges[1].high, 10000);
    EXPECT_EQ(dialog.progress.front().first, 0);
    EXPECT_TRUE(presenter.Asked().empty());

    // The caller reads a listed file through the base operations.
    ASSERT_TRUE(writer->OpenNotesFile(1));
    writer->ReadStrokes(0, 2);
    owner.HandleMessages(*writer);
    ASSERT_EQ(owner.Strokes().size(), 2u);
    EXPECT_EQ(owner.Strokes()[0].keys[0], job2[0][0]);
}

TEST_F(FlSession, ATransferOfOneFileDeletesTheRestOfAnEarlierOne) {
    sim.SetJobs({sim::FlSimulator::NoteStrokes(10, 3)}, 0);
    for (int n = 0; n <= 3; ++n) testfiles::WriteBytes(Capture(n), "old");
    fakes::WaitDialogScript dialogs;
    dialogs.CancelAtProgressCall(20);  // Cancel keeps what arrived and still cleans up
    auto writer = Open(kModeNotesCable);

    const std::string kept = testfiles::ReadBytes(Capture(0));
    EXPECT_NE(kept, "old");
    EXPECT_EQ(kept, Records(sim::FlSimulator::NoteStrokes(10, 3)).substr(0, kept.size()));
    for (int n = 1; n <= 3; ++n) EXPECT_FALSE(FileExists(Capture(n))) << n;
    EXPECT_EQ(writer->notesFiles, std::vector<std::string>{Capture(0)});
    EXPECT_TRUE(dialogs.Dialog(0).closed);
}

// A folder on the memory file system for the test's capture files, when the machine has one:
// a thousand files synced to disk take seconds.
class MemoryTempFolder {
public:
    MemoryTempFolder() {
        std::string pattern = "/dev/shm/dqtest.XXXXXX";
        if (!mkdtemp(pattern.data())) return;
        folder_ = pattern;
        temp_ = std::make_unique<testenv::ScopedEnv>("TEMP", folder_);
    }
    ~MemoryTempFolder() {
        temp_.reset();  // TEMP names the process's own folder again before this one goes
        std::error_code ignored;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
    }

private:
    std::string folder_;
    std::unique_ptr<testenv::ScopedEnv> temp_;
};

TEST_F(FlSession, FileNumbersStopAtTheLastAndLaterJobsGoOnInIt) {
    MemoryTempFolder temp;
    // Each job of six end groups closes two files: 501 jobs ask for 1002 files.
    std::vector<std::vector<Stroke>> jobs(501);
    jobs.back() = {{0x01, 0x02, 0x03}};
    sim.SetJobs(jobs, 6);
    fakes::WaitDialogScript dialogs;
    ScriptedPresenter presenter;
    auto writer = Open(kModeNotesCable);

    EXPECT_TRUE(presenter.Asked().empty());
    ASSERT_EQ(writer->notesFiles.size(), 1000u);
    EXPECT_EQ(GetFileNamePart(writer->notesFiles.back()), "Flash.999");
    // Flash.999 holds what came after the numbers ran out: the last jobs' strokes and markers.
    const std::string last = testfiles::ReadBytes(writer->notesFiles.back());
    EXPECT_NE(last.find(std::string("\x01\x02\x03", 3)), std::string::npos);
    EXPECT_EQ(last.size() % 3, 0u);
}

TEST_F(FlSession, AWriterGoneInTheHandshakeIsReportedAndEarlierFilesStay) {
    sim.Expect("X").Stall();
    sim.Expect("C").Vanish();
    testfiles::WriteBytes(Capture(0), "old");
    fakes::WaitDialogScript dialogs;
    ScriptedPresenter presenter;
    presenter.Answer(kMessageNoAnswer, 0).Answer(kMessageNoAnswer, 1);  // Retry, then Cancel
    auto writer = Open(kModeNotesCable);

    EXPECT_EQ(presenter.Asked().size(), 2u);
    EXPECT_EQ(dialogs.OpenedCount(), 2u);
    EXPECT_TRUE(dialogs.Dialog(0).closed);
    EXPECT_TRUE(dialogs.Dialog(1).closed);
    EXPECT_EQ(testfiles::ReadBytes(Capture(0)), "old");
    EXPECT_TRUE(writer->notesFiles.empty());
}

TEST_F(FlSession, ACaptureFileThatCannotBeMadeIsReported) {
    sim.SetJobs({sim::FlSimulator::NoteStrokes(10, 4)});
    const testenv::ScopedEnv temp("TEMP", testenv::Root() + "/missing");
    fakes::WaitDialogScript dialogs;
    ScriptedPresenter presenter;
    auto writer = Open(kModeNotesCable);
    ASSERT_EQ(presenter.Asked().size(), 1u);
    EXPECT_NE(presenter.Asked()[0].text.find("/missing/Flash.000"), std::string::npos);
    EXPECT_EQ(sim.Received(), "XC");  // the notes were never asked for
    EXPECT_TRUE(dialogs.Dialog(0).closed);
}

}  // namespace
