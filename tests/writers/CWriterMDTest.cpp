// The MIDI keyboard driver against a scripted MIDI library, and the real library on a machine
// without a MIDI sequencer.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/midi/HeldNotes.h"
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
        {"two strokes in one batch",
         {{Press(48), Release(48), Press(49), Release(49)}},
         {"20 00 00 00 00 00", "10 00 00 00 00 00"}},
        {"a key still held waits for its release",
         {{Press(48), Press(49), Release(48)}, {Release(49)}}, {"30 00 00 00 00 00"}},
        {"note-off 0x80 releases nothing", {{Press(48), noteOff48}, {Release(48)}},
         {"20 00 00 00 00 00"}},
        {"notes that are no key neither press nor release",
         {{Press(48), Press(60), Press(47), Press(73), Release(60), Release(47)}, {Release(48)}},
         {"20 00 00 00 00 00"}},
        {"a key pressed after the release in the same batch starts the next stroke",
         {{Press(48), Release(48), Press(49)}, {Release(49)}},
         {"20 00 00 00 00 00", "10 00 00 00 00 00"}},
        {"a chord ends with its last key, not with the batch",
         {{Press(48), Press(63), Release(63), Press(49), Release(48)}, {Release(49)}},
         {"30 08 00 00 00 00"}},
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

// A reader that fell behind finds many chords in one batch: each is a stroke of its own.
TEST(CWriterMD, ABatchOfManyChordsGivesAStrokeEach) {
    MidiWriter w;
    Batch batch;
    Keys want;
    for (int i = 0; i < 1000; ++i) {
        const int a = 48 + i % 10, b = 63 + i % 10;
        batch.insert(batch.end(), {Press(a), Press(b), Release(b), Release(a)});
        StrokeRecord r{0, 0, {}};
        const std::uint32_t keys = CWriterMD::NoteKeyBit(a) | CWriterMD::NoteKeyBit(b);
        r.keys = {std::uint8_t(keys >> 16), std::uint8_t(keys >> 8), std::uint8_t(keys), 0, 0, 0};
        want.push_back(fakes::KeysText(r));
        if (batch.size() >= 200) {  // 50 chords a batch
            w.midi->Push(batch);
            w.writer->Poll();
            batch.clear();
        }
    }
    w.owner.HandleMessages(*w.writer);
    EXPECT_EQ(w.owner.StrokeKeys(), want);
    EXPECT_EQ(w.owner.StrokeMessageCount(), want.size()) << "one message per stroke";
}

TEST(CWriterMD, ANoteHeldWhenThePortGoesIsReleasedWithIt) {
    MidiWriter w;
    w.writer->Start(1);
    w.midi->Push({Press(48), Press(49), Release(48)});  // 49 is still down
    w.midi->LosePort();
    ASSERT_TRUE(w.owner.WaitForStrokes(*w.writer, 1, kBoundMs));
    for (int i = 0; i < 150; ++i) w.midi->Push({Press(50 + i % 5), Release(50 + i % 5)});
    ASSERT_TRUE(w.owner.WaitForStrokes(*w.writer, 151, kBoundMs));
    EXPECT_FALSE(w.owner.WaitForStrokes(*w.writer, 152, kNothingMs));
    const Keys keys = w.owner.StrokeKeys();
    EXPECT_EQ(keys[0], "30 00 00 00 00 00");
    EXPECT_EQ(keys[1], "08 00 00 00 00 00");
    EXPECT_EQ(keys[150], "00 80 00 00 00 00");
}

// What the library makes of a lost port: the releases of the notes still held.
TEST(MidiLibrary, TheNotesStillHeldAreLetGo) {
    struct Case {
        const char* name;
        Batch events;
        Batch releases;
    } cases[] = {
        {"none held", {Press(48), Release(48)}, {}},
        {"in the order pressed", {Press(60), Press(48), Press(72)},
         {Release(60), Release(48), Release(72)}},
        {"a note-off lets go too", {Press(48), {0x80, 48, 64}, Press(49)}, {Release(49)}},
        {"a press twice is one note", {Press(48), Press(48)}, {Release(48)}},
        {"by channel", {{0x93, 48, 64}, Press(48), Release(48)}, {{0x93, 48, 0}}},
        {"other messages hold nothing", {{0xB0, 48, 64}, {0xE0, 0, 64}}, {}},
    };
    for (const Case& c : cases) {
        HeldNotes held;
        for (const MidiEvent& e : c.events) held.Note(e);
        const Batch releases = held.ReleaseAll();
        ASSERT_EQ(releases.size(), c.releases.size()) << c.name;
        for (std::size_t i = 0; i < releases.size(); ++i) {
            EXPECT_EQ(releases[i].status, c.releases[i].status) << c.name;
            EXPECT_EQ(releases[i].note, c.releases[i].note) << c.name;
            EXPECT_EQ(releases[i].velocity, 0) << c.name;
        }
        EXPECT_TRUE(held.ReleaseAll().empty()) << c.name << ": all let go";
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
