// The Treal keyboard driver: its key tables, its notes records, and its start against a
// scripted keyboard-hook library.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/AppSettings.h"
#include "kbdhook/KeyboardHook.h"
#include "tests/fakes/FakeHidBackend.h"
#include "tests/fakes/FakeOwnerWindow.h"
#include "tests/support/ScriptedPresenter.h"
#include "tests/writers/DriverSession.h"
#include "writers/CWriterTR.h"

namespace {

using Keys = std::vector<std::string>;
using session::kBoundMs;
using session::kNothingMs;

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

// The driver on the library's own logic, reading a scripted HID keyboard.
kbdhook::KeyboardHook* hookInUse = nullptr;
int OpenHook(TrealKeyboardCallbackFn callback) { return hookInUse->Open(callback); }
unsigned CloseHook() { return hookInUse->Close(); }

class TrealOnHidTest : public ::testing::Test {
protected:
    static constexpr const char* kPath = "/dev/hidraw4";
    void SetUp() override {
        saved = CWriterTR::library;
        CWriterTR::library = {OpenHook, CloseHook};
        hookInUse = &hook;
        device.Add(kPath, kbdhook::kTrealVendorId, kbdhook::kTrealProductId, VendorDescriptor(7));
        GetSettings().keyboardLayout = 0;
        GetSettings().usbFlag = 1;  // as the factory sets it: no serial port
    }
    void TearDown() override {
        writer.reset();
        GetSettings().usbFlag = 0;
        CWriterTR::library = saved;
        hookInUse = nullptr;
    }
    void Start() {
        writer.reset(NewWriter<CWriterTR>(watcher.Handle()));
        watcher.WatchStatus(*writer);
        writer->mode = kModeRealtime;
        writer->Start(1);
    }
    // K down, then all keys up: one stroke "08 00 00 00 00 00".
    bool WriteK() {
        return device.SendReport(kPath, {0x80, 0, 0, 0, 0, 0, 0}) &&
               device.SendReport(kPath, {0, 0, 0, 0, 0, 0, 0});
    }

    CWriterTR::Library saved{};
    FakeHidBackend device;
    kbdhook::KeyboardHook hook{device};
    fakes::FakeOwnerWindow watcher;
    std::unique_ptr<CWriterTR> writer;
};

TEST_F(TrealOnHidTest, AKeyboardThatWentIsOpenedAgainAndEveryLaterStrokeArrives) {
    Start();
    ASSERT_TRUE(WriteK());
    ASSERT_TRUE(watcher.WaitForStrokes(*writer, 1, kBoundMs));
    device.Unplug(kPath);
    ASSERT_TRUE(watcher.WaitForState(ConnectionState::Gone, kBoundMs));
    EXPECT_FALSE(WriteK()) << "nothing reads the keyboard while it is away";
    device.PlugIn(kPath);
    ASSERT_TRUE(watcher.WaitForStatus([](const ConnectionStatus& s) { return s.again; }, kBoundMs));
    constexpr int kAfter = 100;
    for (int i = 0; i < kAfter; ++i) ASSERT_TRUE(WriteK()) << "stroke " << i;
    ASSERT_TRUE(watcher.WaitForStrokes(*writer, 1 + kAfter, kBoundMs));
    EXPECT_FALSE(watcher.WaitForStrokes(*writer, 2 + kAfter, kNothingMs));
    EXPECT_EQ(watcher.StrokeKeys(), Keys(1 + kAfter, "08 00 00 00 00 00"));
    using S = ConnectionState;
    EXPECT_EQ(watcher.States(), (std::vector<S>{S::Connecting, S::Connected, S::Receiving, S::Gone,
                                                S::Connected, S::Receiving}));
    for (const ConnectionStatus& s : watcher.Statuses()) EXPECT_EQ(s.device, "Tr\xC3\xA9" "al keyboard");
}

TEST_F(TrealOnHidTest, AKeyboardThatCannotBeOpenedSaysWhy) {
    struct Case {
        const char* name;
        void (*prepare)(FakeHidBackend&);
        std::string text;
    } cases[] = {
        {"not plugged in", [](FakeHidBackend& d) { d.Unplug(kPath); },
         "Tr\xC3\xA9" "al keyboard: not found"},
        {"no udev rule", [](FakeHidBackend& d) { d.DenyAccess(kPath); },
         "Tr\xC3\xA9" "al keyboard: access denied: the udev rule 70-treal-keyboard.rules is missing (see README)"},
    };
    for (const Case& c : cases) {
        c.prepare(device);
        ScriptedPresenter presenter;
        presenter.Answer(kMessageNoAnswer, 1);  // Cancel
        Start();
        EXPECT_EQ(presenter.Asked().size(), 1u) << c.name;
        EXPECT_EQ(writer->GetConnectionStatus().state, ConnectionState::Unavailable) << c.name;
        EXPECT_EQ(writer->GetConnectionStatus().Text(), c.text) << c.name;
        writer.reset();
        device.PlugIn(kPath);
        device.DenyAccess(kPath, false);
    }
}

}  // namespace
