// The USB channel and the USB SG driver against a scripted USB writer, and the real USB back end
// on a machine without the writers.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/AppSettings.h"
#include "tests/fakes/FakeOwnerWindow.h"
#include "tests/fakes/FakeUsbWriter.h"
#include "tests/support/HexBytes.h"
#include "tests/support/ScriptedPresenter.h"
#include "tests/writers/DriverSession.h"
#include "writers/CWriterSGU.h"

namespace {

using fakes::FakeUsbWriter;
using platform::UsbEndpoint;
using platform::UsbOpenError;
using session::kBoundMs;
using session::kNothingMs;
using Keys = std::vector<std::string>;

TEST(SguPackets, RequestsAreSgHeadersPaddedToSixteen) {
    const std::string contact = sgu::Packet(0, std::string("\x01", 1), "");
    EXPECT_EQ(contact.size(), 32u);
    EXPECT_EQ(contact.substr(0, 8), std::string("SG\0\0\0\0\x01\0", 8));
    EXPECT_EQ(contact.find_first_not_of('\0', 8), std::string::npos);

    EXPECT_EQ(sgu::OpenFileFields(), std::string("\x11\x00\x10", 3));
    const std::string open = sgu::Packet(7, sgu::OpenFileFields(), "REALTIME.000");
    ASSERT_EQ(open.size(), 48u);
    EXPECT_EQ(open.substr(0, 12), std::string("SG\x07\0\0\0\x11\0\x10\0\0\0", 12));
    EXPECT_EQ(open.substr(32), std::string("REALTIME.000\0\0\0\0", 16));

    const std::string read = sgu::Packet(1, sgu::ReadFields(1040, 512), "");
    EXPECT_EQ(read.size(), 32u);
    EXPECT_EQ(read.substr(6, 14), std::string("\x13\0\0\0\0\0\x10\x04\0\0\0\x02\0\0", 14));
    EXPECT_EQ(sgu::Packet(0, "", std::string(17, 'x')).size(), 64u);

    EXPECT_EQ(sgu::ReplySequence(std::string("SG\x07\x01\0\0\x13\0", 8)), 0x107u);
    EXPECT_EQ(sgu::ReplySequence("SG\x07"), std::nullopt) << "too short to tell";
}

// The writer's side: requests damaged one field at a time are refused, the good ones taken.
TEST(FakeUsbWriterChecks, EveryFieldOfEveryRequestIsChecked) {
    const std::string zeros26(26, '\0');
    auto header = [](std::string seq, std::string fields) {
        std::string h = "SG" + seq + fields;
        h.resize(32, '\0');
        return h;
    };
    const std::string seq0("\0\0\0\0", 4);
    const std::string contact = header(seq0, std::string("\x01\0", 2));
    const std::string open = header(seq0, std::string("\x11\0\x10\0", 4)) +
                             std::string("REALTIME.000\0\0\0\0", 16);
    const std::string read =
        header(seq0, std::string("\x13\0\0\0\0\0\x10\x04\0\0\0\x02\0\0", 14));
    auto with = [](std::string packet, std::size_t at, char byte) {
        packet[at] = byte;
        return packet;
    };
    struct Case {
        const char* name;
        std::string packet;
        bool good;
    } cases[] = {
        {"contact", contact, true},
        {"open file", open, true},
        {"read", read, true},
        {"close file", header(seq0, std::string("\x12\0", 2)), true},
        {"a name of 16 letters needs no fill",
         header(seq0, std::string("\x11\0\x10\0", 4)) + "ABCDEFGHIJKLMNOP", true},
        {"short packet", contact.substr(0, 16), false},
        {"not a multiple of 16", contact + "x", false},
        {"no SG", with(contact, 1, 'X'), false},
        {"unknown action", with(contact, 6, '\x02'), false},
        {"action high byte", with(contact, 7, '\x01'), false},
        {"open file with 4096 at byte 8", with(with(open, 8, '\0'), 9, '\x10'), false},
        {"open file without its 16", with(open, 8, '\0'), false},
        {"contact with a field at 8", with(contact, 8, '\x10'), false},
        {"read offset inside a record", with(read, 12, '\x11'), false},
        {"read of more than 512 bytes", with(read, 17, '\x03'), false},
        {"offset on a contact", with(contact, 13, '\x01'), false},
        {"count on a contact", with(contact, 16, '\x08'), false},
        {"byte 20 not zero", with(read, 20, '\x01'), false},
        {"byte 31 not zero", with(contact, 31, '\x01'), false},
        {"payload on a contact", contact + std::string(16, 'x'), false},
        {"open file without a name", header(seq0, std::string("\x11\0\x10\0", 4)), false},
        {"name not ASCII", with(open, 33, '\xE9'), false},
        {"bytes after the name", with(open, 47, 'x'), false},
        {"a whole block of zero fill", open + std::string(16, '\0'), false},
    };
    for (const Case& c : cases) {
        FakeUsbWriter usb;
        UsbOpenError error;
        std::unique_ptr<platform::UsbDevice> device = usb.Open("usb/1-2/vid_112b&pid_0001", error);
        ASSERT_TRUE(device) << c.name;
        ASSERT_EQ(device->Write(c.packet, 100), platform::UsbResult::Done) << c.name;
        EXPECT_EQ(usb.Violations().empty(), c.good) << c.name;
        std::string reply;
        EXPECT_EQ(device->Read(reply, 8192, 20) == platform::UsbResult::Done, c.good)
            << c.name << ": only a good request is answered";
        if (c.good) {
            EXPECT_EQ(reply.substr(0, 8), c.packet.substr(0, 8)) << c.name << ": the echo";
        }
    }

    // A new writer counts from 0; otherwise every packet uses up one number.
    FakeUsbWriter usb;
    UsbOpenError error;
    std::unique_ptr<platform::UsbDevice> device = usb.Open("usb/1-2/vid_112b&pid_0001", error);
    for (const char* seq : {"\0\0\0\0", "\x01\0\0\0", "\0\0\0\0", "\x02\0\0\0"})
        device->Write(header(std::string(seq, 4), std::string("\x01\0", 2)), 100);
    EXPECT_EQ(usb.Violations(), std::vector<std::string>{"sequence 2 after 0"});
}

TEST(UsbChannel, OpensTheFirstDeviceThatNamesASupportedId) {
    struct Case {
        const char* name;
        std::string writer;
        std::vector<std::string> others;
        std::vector<std::string> failing;
        bool opens;
        std::string opened;  // the path whose device is the open one
    } cases[] = {
        {"one writer", "usb/1-2/vid_112b&pid_0001", {}, {}, true, "usb/1-2/vid_112b&pid_0001"},
        {"upper-case path", "usb/1-2/VID_112B&PID_0013", {}, {}, true, "usb/1-2/VID_112B&PID_0013"},
        {"product past the table", "usb/1-2/vid_112b&pid_0014", {}, {}, false, ""},
        {"another maker", "usb/1-2/vid_0403&pid_0001", {}, {}, false, ""},
        {"of two writers the first", "usb/2-1/vid_112b&pid_0002", {"usb/1-1/vid_112b&pid_0005"},
         {}, true, "usb/1-1/vid_112b&pid_0005"},
        {"one that will not open is passed over", "usb/2-1/vid_112b&pid_0002",
         {"usb/1-1/vid_112b&pid_0005"}, {"usb/1-1/vid_112b&pid_0005"}, true,
         "usb/2-1/vid_112b&pid_0002"},
    };
    for (const Case& c : cases) {
        FakeUsbWriter usb(c.writer, c.others);
        for (const std::string& path : c.failing) usb.FailOpen(path);
        UsbDeviceChannel channel;
        EXPECT_FALSE(channel.Close()) << c.name << ": nothing open yet";
        ASSERT_EQ(channel.Open(), c.opens) << c.name;
        if (!c.opens) continue;
        EXPECT_TRUE(channel.Open()) << c.name << ": opening again keeps the open device";
        // Only the writer's own device answers a request.
        EXPECT_EQ(channel.Write(sgu::Packet(0, std::string("\x01", 1), "")),
                  c.opened == c.writer)
            << c.name;
        EXPECT_TRUE(channel.Close()) << c.name;
    }
}

TEST(UsbChannel, RefusedWritesAndSilenceAreFailuresNotHangs) {
    FakeUsbWriter usb;
    UsbDeviceChannel channel;
    ASSERT_TRUE(channel.Open());
    usb.RefuseWrites(1);
    EXPECT_FALSE(channel.Write(sgu::Packet(0, std::string("\x01", 1), "")));
    usb.SetSilent(true);
    EXPECT_TRUE(channel.Write(sgu::Packet(0, std::string("\x01", 1), "")));
    EXPECT_EQ(channel.Read(50), "");
    usb.Unplug();
    EXPECT_FALSE(channel.Write(sgu::Packet(0, std::string("\x01", 1), "")));
    EXPECT_EQ(channel.Read(), "") << "a gone device answers at once";
}

class SguSession : public ::testing::Test {
protected:
    void SetUp() override {
        GetSettings().usbFlag = 1;  // as the factory sets it: no serial port
        GetSettings().keyboardLayout = 0;
    }
    void TearDown() override {
        writer.reset();
        GetSettings().usbFlag = 0;
        GetSettings().writerType = 0;
        EXPECT_EQ(usb.Violations(), std::vector<std::string>{}) << "requests the writer refused";
    }
    void Start(unsigned argument = 1, int replyWaitMs = UsbDeviceChannel::kReadTimeoutMs) {
        writer.reset(NewWriter<CWriterSGU>(owner.Handle()));
        writer->mode = kModeRealtime;
        writer->openFileWaitMs = 300;
        writer->replyWaitMs = replyWaitMs;
        writer->Start(argument);
    }
    // Every stroke stored so far has arrived exactly once, in order.
    void ExpectStrokes(int count) {
        ASSERT_TRUE(owner.WaitForStrokes(*writer, std::size_t(count), kBoundMs));
        EXPECT_FALSE(owner.WaitForStrokes(*writer, std::size_t(count) + 1, kNothingMs)) << "no stroke twice";
        Keys want;
        for (int i = 0; i < count; ++i)
            want.push_back(fakes::KeysText({0, 0, {std::uint8_t(0x20 >> (i % 6)), std::uint8_t(i >> 2),
                                                   std::uint8_t(i), 0, 0, 0}}));
        EXPECT_EQ(owner.StrokeKeys(), want);
    }
    std::vector<std::uint32_t> ReadOffsets() const {
        std::vector<std::uint32_t> offsets;
        for (const auto& r : usb.Requests())
            if (r.action == sgu::kRead) offsets.push_back(r.offset);
        return offsets;
    }

    FakeUsbWriter usb;
    fakes::FakeOwnerWindow owner;
    std::unique_ptr<CWriterSGU> writer;
};

TEST_F(SguSession, CatchUpSkipsWhatIsStoredThenNewStrokesArriveInOrder) {
    usb.StoreStrokes(130);
    Start();
    std::vector<std::uint32_t> offsets = ReadOffsets();
    ASSERT_GE(offsets.size(), 4u);
    EXPECT_EQ(std::vector<std::uint32_t>(offsets.begin(), offsets.begin() + 4),
              (std::vector<std::uint32_t>{0, 512, 1024, 1040}));
    std::vector<FakeUsbWriter::Request> requests = usb.Requests();
    EXPECT_EQ(requests[0].action, sgu::kContact);
    EXPECT_EQ(requests[1].action, sgu::kOpenFile);
    EXPECT_EQ(requests[1].payload, "REALTIME.000");
    EXPECT_EQ(requests[1].size, 48u);
    for (std::size_t i = 0; i < requests.size(); ++i) EXPECT_EQ(requests[i].sequence, i);

    usb.Write(0x20, 0x00, 0x00);
    usb.Write(0x00, 0x08, 0x01);
    usb.Write(0x80, 0x00, 0x00);  // a coded command
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 3, kBoundMs));
    EXPECT_EQ(owner.StrokeKeys(),
              (Keys{"20 00 00 00 00 00", "00 08 01 00 00 00", "80 00 00 00 00 00"}));
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 4, kNothingMs)) << "no stroke twice";
}

TEST_F(SguSession, AReplyIsQueuedWholeBeforeItsFirstMessage) {
    usb.StoreStrokes(5);  // the first reply carries the five
    EXPECT_EQ(session::QueuedAtFirstMessageFromTheFirstStroke<CWriterSGU>(
                  kBoundMs, [](CWriterSGU& w) { w.openFileWaitMs = 300; }),
              5u);
}

TEST_F(SguSession, HeaderOnlyAndCutRepliesLoseNothing) {
    Start();
    usb.CutRepliesTo(32);  // header only: no records
    usb.StoreStrokes(3);
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 1, kNothingMs));
    usb.CutRepliesTo(32 + 20);  // two records and half of the third
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 2, kBoundMs));
    usb.CutRepliesTo(0);
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 3, kBoundMs));
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 4, kNothingMs));
    EXPECT_EQ(owner.StrokeKeys(),
              (Keys{"20 00 00 00 00 00", "10 00 01 00 00 00", "08 00 02 00 00 00"}));
}

TEST_F(SguSession, StoredRecordsBecomeStrokes) {
    Start();
    // Four key bytes of six bits each, most significant first; bits 7-6 carry nothing.
    const std::vector<std::pair<std::string, std::string>> cases = {
        {std::string("\x20\x00\x00\x00", 4), "80 00 00 00 00 00"},  // coded command
        {std::string("\x10\x00\x00\x00", 4), "40 00 00 00 00 00"},  // number bar
        {std::string("\x00\x00\x00\x01", 4), "00 00 01 00 00 00"},
        {std::string("\x01\x20\x02\x10", 4), "06 00 90 00 00 00"},
        {std::string("\xC0\xC0\xC0\xC0", 4), "00 00 00 00 00 00"},  // only the ignored bits
        {std::string("\xFF\xFF\xFF\xFF", 4), "FF FF FF 00 00 00"},
        {std::string("\xE0\x40\x80\x00", 4), "80 00 00 00 00 00"},
    };
    Keys expected;
    for (const auto& [record, keys] : cases) {
        usb.StoreRecord(record + std::string(4, '\x5A'));
        expected.push_back(keys);
    }
    ASSERT_TRUE(owner.WaitForStrokes(*writer, int(cases.size()), kBoundMs));
    EXPECT_EQ(owner.StrokeKeys(), expected);
}

TEST_F(SguSession, NoWriterAsksRetryAndFindsItPluggedIn) {
    // Plugged in while the question is up: the start's search and the reopen after the
    // refused contact find nothing.
    usb.PlugInAfter(3);
    ScriptedPresenter presenter;
    presenter.Answer(kMessageNoAnswer, 0);
    Start();
    EXPECT_EQ(presenter.Asked().size(), 1u);
    usb.Write(0x20, 0, 0);
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBoundMs));
}

TEST_F(SguSession, CancelLeavesAWriterWithoutStrokesThatStops) {
    usb.SetSilent(true);
    ScriptedPresenter presenter;
    presenter.Answer(kMessageNoAnswer, 1);
    Start();
    writer->Stop();
    EXPECT_FALSE(writer->readerThread.joinable());
}

TEST_F(SguSession, AWriterSilentAfterTheContactIsWaitedForBriefly) {
    usb.StoreStrokes(5);
    usb.SilentAfter(1);  // the contact only
    writer.reset(NewWriter<CWriterSGU>(owner.Handle()));
    writer->mode = kModeRealtime;
    writer->openFileWaitMs = 200;
    writer->Start(1);  // returns: neither the open nor the catch-up waits for ever
    EXPECT_TRUE(writer->readerThread.joinable());
    EXPECT_EQ(writer->strokeIndex, 0);
}

TEST_F(SguSession, UnpluggedMidSessionStopsAtOnceAndTheNextWriterClaimsIt) {
    Start();
    usb.Write(0x20, 0, 0);
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBoundMs));
    usb.Unplug();
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 2, kNothingMs));
    writer.reset();
    EXPECT_EQ(usb.OpenDevices(), 0);

    usb.PlugIn();
    Start();
    EXPECT_EQ(usb.OpenDevices(), 1);
    writer.reset();
    EXPECT_EQ(usb.OpenDevices(), 0) << "the interface is released with the writer";
    Start();
    EXPECT_EQ(usb.OpenDevices(), 1) << "and claimed again by the next one";
}

// Stored stroke i of the test writer (as StoreStrokes writes them).
void StoreStroke(FakeUsbWriter& usb, int i) { usb.Write(0x20 >> (i % 6), std::uint8_t(i >> 2), std::uint8_t(i)); }

TEST_F(SguSession, ALateReplyIsDroppedAndItsRequestAskedAgain) {
    Start(1, 200);  // a reply is awaited 200 ms
    // Three replies come after their reads gave up: each would answer the next request.
    usb.DelayReplies(3, 300);
    for (int i = 0; i < 5; ++i) StoreStroke(usb, i);
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 5, kBoundMs));
    for (int i = 5; i < 10; ++i) StoreStroke(usb, i);
    ExpectStrokes(10);
}

TEST_F(SguSession, AHaltedEndpointIsClearedAndTheWriterGoesOn) {
    Start();
    StoreStroke(usb, 0);
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBoundMs));
    usb.Halt(UsbEndpoint::In);
    StoreStroke(usb, 1);
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 2, kBoundMs));
    usb.Halt(UsbEndpoint::Out);
    StoreStroke(usb, 2);
    ExpectStrokes(3);
    const std::vector<std::string> events = usb.Events();
    EXPECT_EQ(std::count(events.begin(), events.end(), "clear halt in"), 1);
    EXPECT_EQ(std::count(events.begin(), events.end(), "clear halt out"), 1);
}

TEST_F(SguSession, AWriterThatWentIsFoundAgainAndGoesOnFromTheStrokeReached) {
    fakes::FakeOwnerWindow watcher;
    Start();
    watcher.WatchStatus(*writer);
    writer->SetOwner(watcher.Handle());
    StoreStroke(usb, 0);
    StoreStroke(usb, 1);
    ASSERT_TRUE(watcher.WaitForStrokes(*writer, 2, kBoundMs));
    usb.Unplug();
    ASSERT_TRUE(watcher.WaitForState(ConnectionState::Gone, kBoundMs));
    EXPECT_EQ(writer->GetConnectionStatus().Text(),
              "Stenograph USB: the writer has gone; looking for it again...");
    StoreStroke(usb, 2);  // written while it was away: kept on the writer
    const std::size_t requestsBefore = usb.Requests().size();
    usb.PlugIn();
    ASSERT_TRUE(watcher.WaitForStrokes(*writer, 3, kBoundMs));
    StoreStroke(usb, 3);
    ASSERT_TRUE(watcher.WaitForStrokes(*writer, 4, kBoundMs));
    EXPECT_FALSE(watcher.WaitForStrokes(*writer, 5, kNothingMs)) << "no stroke twice";
    EXPECT_EQ(watcher.StrokeKeys(), (Keys{"20 00 00 00 00 00", "10 00 01 00 00 00",
                                          "08 00 02 00 00 00", "04 00 03 00 00 00"}));
    const std::vector<ConnectionState> states = watcher.States();
    const auto gone = std::find(states.begin(), states.end(), ConnectionState::Gone);
    ASSERT_NE(gone, states.end());
    EXPECT_EQ(std::vector<ConnectionState>(gone, states.end()),
              (std::vector<ConnectionState>{ConnectionState::Gone, ConnectionState::Connecting,
                                            ConnectionState::Connected, ConnectionState::Receiving}));
    // Greeted anew: the contact, then the realtime file opened again, then reads from stroke 2.
    std::vector<FakeUsbWriter::Request> after = usb.Requests();
    after.erase(after.begin(), after.begin() + std::ptrdiff_t(requestsBefore));
    ASSERT_GE(after.size(), 3u);
    EXPECT_EQ(after[0].action, sgu::kContact);
    EXPECT_EQ(after[1].action, sgu::kOpenFile);
    EXPECT_EQ(after[1].payload, "REALTIME.000");
    EXPECT_EQ(after[2].action, sgu::kRead);
    EXPECT_EQ(after[2].offset, 16u);
    writer->SetOwner(owner.Handle());
}

TEST(SguStatus, AWriterThatCannotBeOpenedSaysWhy) {
    struct Case {
        const char* name;
        int writerType;
        std::vector<std::pair<std::string, UsbOpenError>> failing;
        bool plugged;
        std::string text;
    } cases[] = {
        {"not plugged in", 28, {}, false, "Stenograph USB: not found"},
        {"no udev rule", 30, {{"usb/1-2/vid_112b&pid_0001", UsbOpenError::AccessDenied}}, true,
         "Diamante USB: access denied: the udev rule 70-steno-usb-writers.rules is missing (see README)"},
        {"claimed by another program", 28, {{"usb/1-2/vid_112b&pid_0001", UsbOpenError::Busy}}, true,
         "Stenograph USB: in use by another program"},
    };
    for (const Case& c : cases) {
        GetSettings().usbFlag = 1;
        GetSettings().writerType = c.writerType;
        FakeUsbWriter usb;
        if (!c.plugged) usb.Unplug();
        for (const auto& [path, error] : c.failing) usb.FailOpen(path, error);
        ScriptedPresenter presenter;
        presenter.Answer(kMessageNoAnswer, 1);  // Cancel
        fakes::FakeOwnerWindow owner;
        std::unique_ptr<CWriterSGU> writer(NewWriter<CWriterSGU>(owner.Handle()));
        writer->mode = kModeRealtime;
        writer->Start(1);
        EXPECT_EQ(writer->GetConnectionStatus().state, ConnectionState::Unavailable) << c.name;
        EXPECT_EQ(writer->GetConnectionStatus().Text(), c.text) << c.name;
        writer.reset();
        GetSettings().usbFlag = 0;
        GetSettings().writerType = 0;
    }
}

// Stop ends the transfer the reader waits in, whatever the writer does: the device sees the
// cancel and the transfer end by it, never by its time-out.
TEST(SguStop, EndsTheWaitOfASilentOrStalledWriter) {
    struct Case {
        const char* name;
        void (*stall)(FakeUsbWriter&);
        const char* ended;
    } cases[] = {
        {"silent", [](FakeUsbWriter& usb) { usb.SetSilent(true); }, "read cancelled"},
        {"stalled writes", [](FakeUsbWriter& usb) { usb.StallWrites(true); }, "write cancelled"},
    };
    for (const Case& c : cases) {
        GetSettings().usbFlag = 1;
        FakeUsbWriter usb;
        fakes::FakeOwnerWindow owner;
        std::unique_ptr<CWriterSGU> writer(NewWriter<CWriterSGU>(owner.Handle()));
        writer->mode = kModeRealtime;
        writer->Start(1);
        c.stall(usb);
        ASSERT_TRUE(usb.WaitUntilWaiting(kBoundMs)) << c.name;
        EXPECT_TRUE(session::ReturnsSoon([&] { writer->Stop(); })) << c.name;
        const std::vector<std::string> events = usb.Events();
        ASSERT_GE(events.size(), 2u) << c.name;
        EXPECT_EQ(std::vector<std::string>(events.end() - 2, events.end()),
                  (std::vector<std::string>{"cancel", c.ended}))
            << c.name;
        EXPECT_EQ(std::count(events.begin(), events.end(), "read timed out") +
                      std::count(events.begin(), events.end(), "write timed out"),
                  0)
            << c.name;
        EXPECT_EQ(usb.Violations(), std::vector<std::string>{}) << c.name;
        writer.reset();
        GetSettings().usbFlag = 0;
    }
}

// The busy window's Cancel ends a start that waits for a writer that does not answer, as the
// Cancel of "Unable to communicate" would: the wait ends by the cancel and nothing is asked.
TEST(SguStop, CancelEndsAStartWaitingForASilentWriter) {
    GetSettings().usbFlag = 1;
    FakeUsbWriter usb;
    usb.SetSilent(true);
    ScriptedPresenter presenter;
    fakes::FakeOwnerWindow owner;
    std::unique_ptr<CWriterSGU> writer(NewWriter<CWriterSGU>(owner.Handle()));
    writer->mode = kModeRealtime;
    std::thread start([&] { writer->Start(1); });
    ASSERT_TRUE(usb.WaitUntilWaiting(kBoundMs));
    EXPECT_TRUE(session::ReturnsSoon([&] {
        writer->CancelStart();
        start.join();
    }));
    const std::vector<std::string> events = usb.Events();
    writer->FinishStart();
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(events.end() - 2, events.end()),
              (std::vector<std::string>{"cancel", "read cancelled"}));
    EXPECT_TRUE(presenter.Asked().empty());
    EXPECT_FALSE(writer->readerThread.joinable());
    writer.reset();
    GetSettings().usbFlag = 0;
}

TEST(UsbBackend, WithoutWritersNothingOpensAndNothingHangs) {
    platform::InstallUsbBackend(nullptr);
    UsbDeviceChannel channel;
    for (const std::string& path : platform::CurrentUsbBackend().DevicePaths())
        ASSERT_EQ(path.find("vid_112b"), std::string::npos) << "a USB writer is plugged in";
    EXPECT_FALSE(channel.Open());
    EXPECT_FALSE(channel.Write("SG"));
    EXPECT_EQ(channel.Read(), "");

    GetSettings().usbFlag = 1;
    ScriptedPresenter presenter;
    presenter.Answer(kMessageNoAnswer, 1);
    fakes::FakeOwnerWindow owner;
    std::unique_ptr<CWriterSGU> writer(NewWriter<CWriterSGU>(owner.Handle()));
    writer->mode = kModeRealtime;
    writer->Start(1);
    writer.reset();
    GetSettings().usbFlag = 0;
}

}  // namespace
