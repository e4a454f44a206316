// The USB channel and the USB SG driver against a scripted USB writer, and the real USB back end
// on a machine without the writers.
#include <gtest/gtest.h>

#include <memory>
#include <string>
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
using session::kBoundMs;
using session::kNothingMs;
using Keys = std::vector<std::string>;

TEST(SguPackets, RequestsAreSgHeadersPaddedToSixteen) {
    const std::string contact = sgu::Packet(0, std::string("\x01", 1), "");
    EXPECT_EQ(contact.size(), 32u);
    EXPECT_EQ(contact.substr(0, 8), std::string("SG\0\0\0\0\x01\0", 8));
    EXPECT_EQ(contact.find_first_not_of('\0', 8), std::string::npos);

    const std::string open = sgu::Packet(7, std::string("\x11\x00\x10", 3), "REALTIME.000");
    ASSERT_EQ(open.size(), 48u);
    EXPECT_EQ(open.substr(0, 12), std::string("SG\x07\0\0\0\x11\0\x10\0\0\0", 12));
    EXPECT_EQ(open.substr(32), std::string("REALTIME.000\0\0\0\0", 16));

    const std::string read = sgu::Packet(1, sgu::ReadFields(1040, 512), "");
    EXPECT_EQ(read.size(), 32u);
    EXPECT_EQ(read.substr(6, 14), std::string("\x13\0\0\0\0\0\x10\x04\0\0\0\x02\0\0", 14));
    EXPECT_EQ(sgu::Packet(0, "", std::string(17, 'x')).size(), 64u);
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
    }
    void Start(unsigned argument = 1) {
        writer.reset(NewWriter<CWriterSGU>(owner.Handle()));
        writer->mode = kModeRealtime;
        writer->openFileWaitMs = 300;
        writer->Start(argument);
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
