// The keyboard-hook library's logic against a scripted HID back end, and the real library on a
// machine without the keyboard.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "kbdhook/KeyboardHook.h"
#include "kbdhook/ReportDescriptor.h"
#include "kbdhook/TrealKeyboard.h"
#include "tests/fakes/FakeHidBackend.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Event = std::tuple<int, int, int>;
using Events = std::vector<Event>;
constexpr int kBoundMs = 5000;
constexpr int kNothingMs = 200;
const std::string kKeyboard = "/dev/hidraw7";

TEST(ReportDescriptor, UsagePageAndInputReportLength) {
    struct Case {
        const char* name;
        Bytes descriptor;
        bool ok;
        std::uint16_t page;
        int length;
        bool numbered;
    } cases[] = {
        {"vendor page, unnumbered", VendorDescriptor(7), true, 0xFFA1, 8, false},
        {"vendor page, numbered reports of 7 and 3 bytes",
         {0x06, 0xA1, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x01, 0x75, 0x08, 0x95, 0x07, 0x09,
          0x01, 0x81, 0x02, 0x85, 0x02, 0x95, 0x03, 0x09, 0x01, 0x81, 0x02, 0xC0},
         true, 0xFFA1, 8, true},
        {"ordinary keyboard",
         {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00,
          0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01,
          0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00,
          0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0xC0},
         true, 0x0001, 9, false},
        {"usage with its own page", {0x0B, 0x01, 0x00, 0xA1, 0xFF, 0xA1, 0x01, 0x75, 0x08, 0x95,
                                     0x02, 0x81, 0x02, 0xC0},
         true, 0xFFA1, 3, false},
        {"output and feature reports do not count",
         {0x06, 0xA1, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x02, 0x81, 0x02, 0x95,
          0x40, 0x91, 0x02, 0xB1, 0x02, 0xC0},
         true, 0xFFA1, 3, false},
        {"long item skipped", {0xFE, 0x02, 0x10, 0xAA, 0xBB, 0x06, 0xA1, 0xFF, 0x09, 0x01, 0xA1,
                               0x01, 0x75, 0x08, 0x95, 0x04, 0x81, 0x02, 0xC0},
         true, 0xFFA1, 5, false},
        {"push and pop", {0x06, 0xA1, 0xFF, 0xA4, 0x05, 0x01, 0xB4, 0x09, 0x01, 0xA1, 0x01, 0x75,
                          0x08, 0x95, 0x01, 0x81, 0x02, 0xC0},
         true, 0xFFA1, 2, false},
        {"truncated inside an item", {0x06, 0xA1, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x26, 0xFF}, false,
         0, 0, false},
        {"no collection", {0x06, 0xA1, 0xFF, 0x75, 0x08, 0x95, 0x01}, false, 0, 0, false},
        {"empty", {}, false, 0, 0, false},
        {"the longest report hidraw delivers",
         {0x06, 0xA1, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x96, 0xFF, 0x3F, 0x81, 0x02, 0xC0},
         true, 0xFFA1, 16384, false},
        {"one byte longer",
         {0x06, 0xA1, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x96, 0x00, 0x40, 0x81, 0x02, 0xC0},
         false, 0, 0, false},
        {"size and count at their largest",
         {0x06, 0xA1, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF,
          0xFF, 0xFF, 0x81, 0x02, 0xC0},
         false, 0, 0, false},
        {"many huge inputs do not wrap",
         {0x06, 0xA1, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x77, 0x00, 0x00, 0x00, 0x80, 0x97, 0x00, 0x00,
          0x00, 0x02, 0x81, 0x02, 0x81, 0x02, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xC0},
         false, 0, 0, false},
    };
    for (const Case& c : cases) {
        kbdhook::DescriptorInfo info;
        ASSERT_EQ(kbdhook::ParseReportDescriptor(c.descriptor.data(), c.descriptor.size(), info),
                  c.ok)
            << c.name;
        if (!c.ok) continue;
        EXPECT_EQ(info.usagePage, c.page) << c.name;
        EXPECT_EQ(info.inputReportLength, c.length) << c.name;
        EXPECT_EQ(info.numberedReports, c.numbered) << c.name;
    }
}

// The callbacks, as the library's thread makes them.
struct Recorder {
    std::mutex lock;
    std::condition_variable arrived;
    Events events;
    std::thread::id thread;
    std::function<void(int, int, int)> also;  // run inside the callback, after recording

    void Also(std::function<void(int, int, int)> f) {
        std::lock_guard<std::mutex> l(lock);
        also = std::move(f);
    }

    bool WaitFor(std::size_t count, int ms) {
        std::unique_lock<std::mutex> l(lock);
        return arrived.wait_for(l, std::chrono::milliseconds(ms),
                                [&] { return events.size() >= count; });
    }
    Events Taken() {
        std::lock_guard<std::mutex> l(lock);
        return events;
    }
};
Recorder* recorder = nullptr;

void RecordCallback(int code, int value, int index) {
    std::function<void(int, int, int)> also;
    {
        std::lock_guard<std::mutex> l(recorder->lock);
        recorder->events.emplace_back(code, value, index);
        recorder->thread = std::this_thread::get_id();
        also = recorder->also;
    }
    recorder->arrived.notify_all();
    if (also) also(code, value, index);
}

class KeyboardHookTest : public ::testing::Test {
protected:
    void SetUp() override {
        recorder = &record;
        backend.Add(kKeyboard, kbdhook::kTrealVendorId, kbdhook::kTrealProductId,
                    VendorDescriptor(7));
    }
    void TearDown() override {
        hook.reset();
        recorder = nullptr;
    }
    Events Deliver(const Bytes& deviceBytes, std::size_t expected) {
        const std::size_t before = record.Taken().size();
        EXPECT_TRUE(backend.SendReport(kKeyboard, deviceBytes));
        EXPECT_TRUE(record.WaitFor(before + expected, kBoundMs));
        Events all = record.Taken();
        return Events(all.begin() + std::ptrdiff_t(before), all.end());
    }

    Recorder record;
    FakeHidBackend backend;
    std::unique_ptr<kbdhook::KeyboardHook> hook = std::make_unique<kbdhook::KeyboardHook>(backend);
};

const int kByte = kTrealReportByte;
const Event kReleased{kTrealAllReleased, 0, 0};

TEST_F(KeyboardHookTest, ReportsBecomeCallbacksWithTheReportIdByteFirst) {
    ASSERT_EQ(hook->Open(RecordCallback), 1);
    // hidraw hands over an unnumbered report without its id byte; the callbacks count it.
    EXPECT_EQ(Deliver({0, 0, 0, 0, 0, 0, 0}, 1), Events{kReleased});
    EXPECT_EQ(Deliver({0, 4, 0, 0, 0, 0, 0}, 8),
              (Events{{kByte, 0, 0}, {kByte, 0, 1}, {kByte, 4, 2}, {kByte, 0, 3}, {kByte, 0, 4},
                      {kByte, 0, 5}, {kByte, 0, 6}, {kByte, 0, 7}}));
    EXPECT_EQ(Deliver({0, 0, 0, 0, 0, 9, 0}, 1), Events{kReleased}) << "byte 6 is no key";
    Events last = Deliver({0, 0, 0, 0, 0x20, 0, 0}, 8);
    EXPECT_EQ(last[5], (Event{kByte, 0x20, 5}));
    EXPECT_NE(record.thread, std::this_thread::get_id());
}

TEST_F(KeyboardHookTest, OnlyTheKeyboardIsOpened) {
    FakeHidBackend others;
    others.Add("/dev/hidraw0", 0x046D, 1, VendorDescriptor(7));  // another maker
    others.Add("/dev/hidraw1", kbdhook::kTrealVendorId, 2, VendorDescriptor(7));
    others.Add("/dev/hidraw2", kbdhook::kTrealVendorId, 1,
               {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x08, 0x81, 0x02, 0xC0});
    others.Add("/dev/hidraw3", kbdhook::kTrealVendorId, 1, {0x06, 0xA1, 0xFF, 0x09});
    kbdhook::KeyboardHook onlyOthers(others);
    EXPECT_EQ(onlyOthers.Open(RecordCallback), 0);
    EXPECT_EQ(onlyOthers.Close(), 0xFFFFFFFFu) << "no reader was started";

    others.Add(kKeyboard, kbdhook::kTrealVendorId, 1, VendorDescriptor(7));
    ASSERT_EQ(onlyOthers.Open(RecordCallback), 1);
    EXPECT_TRUE(others.SendReport(kKeyboard, {0, 0, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(others.SendReport("/dev/hidraw2", {0, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(record.WaitFor(1, kBoundMs));
    EXPECT_EQ(onlyOthers.Close(), 0u);
}

TEST_F(KeyboardHookTest, CloseEndsABlockedReaderAndNoCallbackFollows) {
    EXPECT_EQ(hook->Close(), 0xFFFFFFFFu);
    ASSERT_EQ(hook->Open(RecordCallback), 1);
    Deliver({0, 0, 0, 0, 0, 0, 0}, 1);
    EXPECT_EQ(hook->Close(), 0u);  // the reader waits for the next report: Close ends that wait
    backend.SendReport(kKeyboard, {0, 1, 0, 0, 0, 0, 0});
    EXPECT_FALSE(record.WaitFor(2, kNothingMs));
    EXPECT_EQ(hook->Close(), 0xFFFFFFFFu);

    ASSERT_EQ(hook->Open(RecordCallback), 1) << "the library is usable again";
    EXPECT_EQ(Deliver({0, 0, 0, 0, 0, 0, 0}, 1), Events{kReleased});
}

TEST_F(KeyboardHookTest, AFailedReadEndsReadingAfterOneRelease) {
    ASSERT_EQ(hook->Open(RecordCallback), 1);
    backend.Unplug(kKeyboard);
    ASSERT_TRUE(record.WaitFor(1, kBoundMs));
    EXPECT_FALSE(record.WaitFor(2, kNothingMs));
    EXPECT_EQ(record.Taken(), Events{kReleased});
    EXPECT_EQ(hook->Close(), 0u);
    EXPECT_EQ(hook->Open(RecordCallback), 0) << "an unplugged keyboard is not found";
}

// The device node delivers the declared 7 bytes (the id byte of an unnumbered report left out,
// so device byte 0 is report byte 1); a report of another length is cut or padded to them,
// sends no callback of its own, and reading goes on.
TEST_F(KeyboardHookTest, ReportsOfTheWrongLengthAreCutOrPaddedAndReadingGoesOn) {
    struct Case {
        const char* name;
        Bytes deviceBytes;
        Events want;
    } cases[] = {
        {"4 bytes, a key", {0x80, 0, 0, 0},
         {{kByte, 0, 0}, {kByte, 0x80, 1}, {kByte, 0, 2}, {kByte, 0, 3}, {kByte, 0, 4}, {kByte, 0, 5},
          {kByte, 0, 6}, {kByte, 0, 7}}},
        {"4 bytes, nothing down", {0, 0, 0, 0}, {kReleased}},
        {"7 bytes", {0, 0x01, 0, 0, 0, 0, 0},
         {{kByte, 0, 0}, {kByte, 0, 1}, {kByte, 1, 2}, {kByte, 0, 3}, {kByte, 0, 4}, {kByte, 0, 5},
          {kByte, 0, 6}, {kByte, 0, 7}}},
        {"12 bytes", {0, 0, 0x04, 0, 0, 0, 0x09, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
         {{kByte, 0, 0}, {kByte, 0, 1}, {kByte, 0, 2}, {kByte, 4, 3}, {kByte, 0, 4}, {kByte, 0, 5},
          {kByte, 0, 6}, {kByte, 9, 7}}},
        {"12 bytes, keys only past the declared length", {0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 1},
         {kReleased}},
    };
    ASSERT_EQ(hook->Open(RecordCallback), 1);
    for (const Case& c : cases) {
        EXPECT_EQ(Deliver(c.deviceBytes, c.want.size()), c.want) << c.name;
        EXPECT_EQ(Deliver({0, 0, 0, 0, 0, 0, 0}, 1), Events{kReleased}) << c.name << ": still reading";
    }
    EXPECT_FALSE(record.WaitFor(record.Taken().size() + 1, kNothingMs)) << "nothing more";
}

TEST_F(KeyboardHookTest, NumberedReportsKeepTheirIdAndShortOnesArePadded) {
    FakeHidBackend numbered;
    numbered.Add(kKeyboard, kbdhook::kTrealVendorId, 1,
                 {0x06, 0xA1, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x01, 0x75, 0x08, 0x95, 0x07,
                  0x09, 0x01, 0x81, 0x02, 0x85, 0x02, 0x95, 0x03, 0x09, 0x01, 0x81, 0x02, 0xC0});
    kbdhook::KeyboardHook numberedHook(numbered);
    ASSERT_EQ(numberedHook.Open(RecordCallback), 1);
    ASSERT_TRUE(numbered.SendReport(kKeyboard, {1, 0, 0, 0, 0, 0, 5}));
    ASSERT_TRUE(numbered.SendReport(kKeyboard, {2, 7, 0, 0}));
    ASSERT_TRUE(record.WaitFor(16, kBoundMs));
    Events events = record.Taken();
    EXPECT_EQ(events[0], (Event{kByte, 1, 0}));
    EXPECT_EQ(events[6], (Event{kByte, 5, 6}));
    EXPECT_EQ(events[8], (Event{kByte, 2, 0}));
    EXPECT_EQ(events[9], (Event{kByte, 7, 1}));
    EXPECT_EQ(events[15], (Event{kByte, 0, 7}));
    numberedHook.Close();
}

TEST_F(KeyboardHookTest, ACallbackMayCloseOrThrow) {
    record.Also([](int code, int, int) {
        if (code == kTrealAllReleased) throw std::runtime_error("the caller's fault");
    });
    ASSERT_EQ(hook->Open(RecordCallback), 1);
    Deliver({0, 0, 0, 0, 0, 0, 0}, 1);
    Deliver({0, 0, 0, 0, 0, 0, 0}, 1);  // still reading after the exception

    kbdhook::KeyboardHook* h = hook.get();
    record.Also([h](int code, int, int index) {
        if (code == kByte && index == 1) h->Close();
    });
    const std::size_t before = record.Taken().size();
    backend.SendReport(kKeyboard, {0, 1, 0, 0, 0, 0, 0});
    ASSERT_TRUE(record.WaitFor(before + 2, kBoundMs));
    EXPECT_FALSE(record.WaitFor(before + 3, kNothingMs)) << "closed from its own callback";
    record.Also(nullptr);
    ASSERT_EQ(hook->Open(RecordCallback), 1);
    EXPECT_EQ(Deliver({0, 0, 0, 0, 0, 0, 0}, 1), Events{kReleased});
}

TEST(KbdHookLibrary, WithoutTheKeyboardNothingOpens) {
    kbdhook::FoundKeyboard found;
    EXPECT_FALSE(kbdhook::FindTrealKeyboard(kbdhook::SystemHidBackend(), found));
    EXPECT_EQ(OpenTrealKeyboard([](int, int, int) { ADD_FAILURE() << "no callback"; }), 0);
    EXPECT_EQ(CloseTrealKeyboard(), 0xFFFFFFFFu);
}

}  // namespace
