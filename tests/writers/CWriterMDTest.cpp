// The MIDI keyboard driver against a scripted MIDI library, and the real library on a machine
// without a MIDI sequencer.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/fakes/FakeMidi.h"
#include "tests/fakes/FakeOwnerWindow.h"
#include "tests/writers/DriverSession.h"
#include "writers/CWriterMD.h"

namespace {

using fakes::Press;
using fakes::Release;
using session::kBoundMs;
using session::kNothingMs;
using Batch = std::vector<MidiEvent>;
using Keys = std::vector<std::string>;

struct MidiWriter {
    fakes::MidiCalls calls;
    fakes::FakeOwnerWindow owner;
    fakes::FakeMidi* midi = new fakes::FakeMidi(calls);
    std::unique_ptr<CWriterMD> writer{
        NewWriter<CWriterMD>(owner.Handle(), std::unique_ptr<Midi>(midi))};
    MidiWriter(int mode = kModeRealtime) { writer->mode = mode; }
};

TEST(CWriterMD, BatchesBecomeStrokesWhenEveryKeyIsUp) {
    const MidiEvent noteOff48{0x80, 48, 0};
    struct Case {
        const char* name;
        std::vector<Batch> batches;
        Keys want;
    } cases[] = {
        {"two keys, both released", {{Press(48), Press(63), Release(48), Release(63)}},
         {"20 08 00 00 00 00"}},
        {"press and release twice in one batch",
         {{Press(48), Release(48), Press(49), Release(49)}}, {"30 00 00 00 00 00"}},
        {"a key still held waits for its release",
         {{Press(48), Press(49), Release(48)}, {Release(49)}}, {"30 00 00 00 00 00"}},
        {"note-off 0x80 releases nothing", {{Press(48), noteOff48}, {Release(48)}},
         {"20 00 00 00 00 00"}},
        {"notes that are no key neither press nor release",
         {{Press(48), Press(60), Press(47), Press(73), Release(60), Release(47)}, {Release(48)}},
         {"20 00 00 00 00 00"}},
        {"a key pressed after the release joins the stroke",
         {{Press(48), Release(48), Press(49)}, {Release(49)}}, {"30 00 00 00 00 00"}},
        {"the last keys of each half", {{Press(57), Press(72), Release(57), Release(72)}},
         {"00 10 04 00 00 00"}},
        {"other channels and statuses are ignored",
         {{{0x91, 48, 64}, {0xB0, 48, 64}, Press(50), {0x91, 50, 0}}, {Release(50)}},
         {"08 00 00 00 00 00"}},
        {"two strokes in two batches", {{Press(48), Release(48)}, {Press(63), Release(63)}},
         {"20 00 00 00 00 00", "00 08 00 00 00 00"}},
        {"empty batches change nothing", {{}, {Press(48)}, {}, {Release(48)}},
         {"20 00 00 00 00 00"}},
    };
    for (const Case& c : cases) {
        MidiWriter w;
        for (const Batch& batch : c.batches) {
            w.midi->Push(batch);
            w.writer->Poll();
        }
        w.owner.HandleMessages(*w.writer);
        EXPECT_EQ(w.owner.StrokeKeys(), c.want) << c.name;
    }
}

TEST(CWriterMD, AnOverReportedCountReadsNoFurtherThanTheBuffer) {
    MidiWriter w;
    w.midi->Push(Batch(Midi::kMaxEvents, Press(48)), Midi::kMaxEvents + 500);
    w.writer->Poll();
    w.midi->Push({Release(48)});
    w.writer->Poll();
    w.owner.HandleMessages(*w.writer);
    EXPECT_EQ(w.owner.StrokeKeys(), Keys{"20 00 00 00 00 00"});
}

TEST(CWriterMD, StrokesArriveFromTheReaderThreadAndStopEndsTheLibrary) {
    MidiWriter w;
    w.writer->Start(1);
    EXPECT_EQ(w.calls.begun, 1);
    w.midi->Push({Press(48), Press(63)});
    w.midi->Push({Release(63), Release(48)});
    w.midi->Push({Press(49), Release(49)});
    ASSERT_TRUE(w.owner.WaitForStrokes(*w.writer, 2, kBoundMs));
    EXPECT_EQ(w.owner.StrokeKeys(), (Keys{"20 08 00 00 00 00", "10 00 00 00 00 00"}));
    w.writer->Stop();  // the reader is waiting for the library: Stop must end that wait
    EXPECT_EQ(w.calls.ended, 1);
    EXPECT_TRUE(w.calls.destroyed);
    EXPECT_EQ(w.writer->midi, nullptr);
    w.writer.reset();
    EXPECT_EQ(w.calls.ended, 1);
}

TEST(CWriterMD, NotesModesStartNothing) {
    for (int mode : {kModeNotesFolder, kModeNotesCable}) {
        MidiWriter w(mode);
        w.writer->Start(1);
        EXPECT_EQ(w.calls.begun, 0) << "mode " << mode;
        EXPECT_FALSE(w.writer->readerThread.joinable()) << "mode " << mode;
    }
}

TEST(CWriterMD, WithoutALibraryObjectItDeliversNothingAndStops) {
    fakes::FakeOwnerWindow owner;
    std::unique_ptr<CWriterMD> writer(NewWriter<CWriterMD>(owner.Handle(), nullptr));
    writer->mode = kModeRealtime;
    writer->Start(1);
    EXPECT_TRUE(writer->readerThread.joinable());
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 1, kNothingMs));
    writer->Stop();
    EXPECT_FALSE(writer->readerThread.joinable());
}

// CI machines and this one have no /dev/snd: the library must still be made, begun, polled and
// ended, and a MIDI writer must start and stop.
TEST(MidiLibrary, WithoutASequencerInputIsSimplyEmpty) {
    Midi midi(0);
    midi.threadBegin();
    MidiEvent events[4];
    EXPECT_EQ(midi.poll(events), 0u);
    EXPECT_FALSE(midi.wait(20));
    midi.interrupt();
    EXPECT_FALSE(midi.wait(60000));  // ended by the interrupt, not the time
    midi.threadEnd();
    midi.threadBegin();
    midi.threadEnd();

    fakes::FakeOwnerWindow owner;
    std::unique_ptr<CWriterMD> writer(NewWriter<CWriterMD>(owner.Handle()));
    writer->mode = kModeRealtime;
    writer->Start(1);
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 1, kNothingMs));
    writer->Stop();
}

}  // namespace
