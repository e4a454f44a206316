// The serial port against a pseudo-terminal standing in for the writer.
#include <dirent.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/SerialDevice.h"
#include "platform/SerialPortNames.h"
#include "tests/sim/PtyPair.h"
#include "tests/support/ScriptedPresenter.h"
#include "tests/support/TestEnvironment.h"
#include "writers/CSerialFile.h"

using ::testing::HasSubstr;

namespace {

constexpr int kLongMs = 20000;  // only reached when something is broken

int OpenDescriptors() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir)) ++count;
        closedir(dir);
    }
    return count;
}

std::string AllBytes() {
    std::string bytes;
    for (int b = 0; b < 256; ++b) bytes.push_back(char(b));
    return bytes;
}

class SerialPort : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pty.IsOpen() && pty.Error().empty()) << pty.Error(); }
    void OpenDefault(const std::string& settings = "9600,n,8,1") {
        ASSERT_TRUE(port.Open(pty.PortSpec(settings).c_str())) << "lastError " << port.lastError;
    }
    // Waits until the port sees `count` bytes waiting.
    void AwaitInput(int count) {
        for (int i = 0; i < 2000 && port.GetInQueueCount() < count; ++i) usleep(1000);
        ASSERT_EQ(port.GetInQueueCount(), count);
    }

    sim::PtyPair pty{1};
    CSerialFile port;
};

// ---- opening --------------------------------------------------------------------------------

struct OpenedLineRow {
    const char* name;
    const char* settings;
    std::uint32_t rate;
    bool twoStopBits;
};

const OpenedLineRow kOpenedLineRows[] = {
    {"Default", "9600,n,8,1", 9600, false},
    {"TwoStopBits", "19200,n,8,2", 19200, true},
    {"OneAndAHalf", "19200,n,8,1.5", 19200, false},
    {"Offered56000", "56000,n,8,1", 57600, false},
    {"Offered115000", "115000,n,8,1", 115200, false},
    {"Rate28800ByBother", "28800,n,8,1", 28800, false},
};

void PrintTo(const OpenedLineRow& row, std::ostream* os) { *os << row.settings; }

class OpenedLine : public SerialPort, public ::testing::WithParamInterface<OpenedLineRow> {};

TEST_P(OpenedLine, DeviceHoldsTheSettings) {
    OpenDefault(GetParam().settings);
    EXPECT_EQ(port.IsOpen(), 1);
    EXPECT_EQ(port.portSpec, pty.PortSpec(GetParam().settings));
    EXPECT_EQ(pty.SlaveBaudRate(), GetParam().rate);
    termios t{};
    ASSERT_TRUE(pty.SlaveSettings(t));
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, GetParam().twoStopBits);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | IXON | IXOFF), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
}

INSTANTIATE_TEST_SUITE_P(Table, OpenedLine, ::testing::ValuesIn(kOpenedLineRows),
                         [](const auto& info) { return std::string(info.param.name); });

struct FailedOpenRow {
    const char* name;
    const char* spec;  // "%" stands for the pseudo-terminal's port name
    int lastError;
    const char* reason;
};

const FailedOpenRow kFailedOpenRows[] = {
    {"MissingPort", "COM9:9600,n,8,1", ENOENT, "no such device"},
    {"RateZero", "%:0,n,8,1", 87, "cannot be used"},
    {"RateNotANumber", "%:fast,n,8,1", 87, "cannot be used"},
    {"NineDataBits", "%:9600,n,9,1", 87, "cannot be used"},
    {"NoSettings", "%", 87, "cannot be used"},
    {"NotATerminal", "/dev/null:9600,n,8,1", ENOTTY, "not a serial device"},
};

void PrintTo(const FailedOpenRow& row, std::ostream* os) { *os << row.spec; }

class FailedOpen : public SerialPort, public ::testing::WithParamInterface<FailedOpenRow> {};

TEST_P(FailedOpen, LeavesTheReasonAndReleasesEverything) {
    // The test environment has no serial device but its own links, so COM9 is missing.
    std::string spec = GetParam().spec;
    if (spec[0] == '%') spec = pty.PortName() + spec.substr(1);

    const int before = OpenDescriptors();
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(port.Open(spec.c_str()));
    const std::string said = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(port.lastError, GetParam().lastError);
    EXPECT_EQ(port.IsOpen(), 0);
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_THAT(said, HasSubstr(GetParam().reason));
    EXPECT_THAT(said, HasSubstr(spec.substr(0, spec.find(':'))));
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
    // Nothing to do on a closed port.
    char byte;
    EXPECT_EQ(port.Read(&byte, 1), 0u);
    EXPECT_FALSE(port.IsDataAvailable());
    EXPECT_EQ(port.WaitForInput(kLongMs), WaitResult::Closed);
}

INSTANTIATE_TEST_SUITE_P(Table, FailedOpen, ::testing::ValuesIn(kFailedOpenRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SerialPort, NullSpecificationIsAnInvalidParameter) {
    EXPECT_FALSE(port.Open(nullptr));
    EXPECT_EQ(port.lastError, 87);
    EXPECT_EQ(port.IsOpen(), 0);
}

TEST_F(SerialPort, SecondPortOnTheSameDeviceIsRefused) {
    OpenDefault();
    CSerialFile other;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(other.Open(pty.PortSpec().c_str()));
    EXPECT_THAT(::testing::internal::GetCapturedStderr(), HasSubstr("in use by another program"));
    EXPECT_EQ(other.lastError, EBUSY);
    port.Close();
    EXPECT_TRUE(other.Open(pty.PortSpec().c_str()));
}

TEST_F(SerialPort, ByIdEntryIsReachedWithoutALink) {
    sim::PtyPair unlinked(0);
    const platform::SerialDeviceRoots saved = platform::CurrentSerialDeviceRoots();
    platform::SerialDeviceRoots roots{testenv::MakeTempDir("byid"), testenv::MakeTempDir("dev")};
    ASSERT_EQ(symlink(unlinked.SlavePath().c_str(), (roots.byIdFolder + "/usb-Writer-if00").c_str()), 0);
    ASSERT_EQ(unlink(pty.LinkPath().c_str()), 0);
    platform::OverrideSerialDeviceRoots(&roots);
    const bool opened = port.Open("COM1:9600,n,8,1");
    platform::OverrideSerialDeviceRoots(&saved);
    ASSERT_TRUE(opened);
    port.WriteString("by id");
    EXPECT_EQ(unlinked.Receive(5, kLongMs), "by id");
}

TEST_F(SerialPort, OpenOnAnOpenPortReopensWithTheNewSettings) {
    OpenDefault("9600,n,8,1");
    OpenDefault("19200,n,8,2");
    EXPECT_EQ(pty.SlaveBaudRate(), 19200u);
    const int before = OpenDescriptors();
    OpenDefault("4800,n,8,1");
    EXPECT_EQ(OpenDescriptors(), before);
}

// ---- bytes ----------------------------------------------------------------------------------

TEST_F(SerialPort, EveryByteValuePassesUnchangedBothWays) {
    OpenDefault();
    const std::string bytes = AllBytes() + "\x0D\x0A\x11\x13\x00\xFF" + std::string(1, '\0');
    port.WriteString(bytes);
    EXPECT_EQ(pty.Receive(bytes.size(), kLongMs), bytes);

    ASSERT_TRUE(pty.Send(bytes));
    std::string got(bytes.size(), '\x55');
    EXPECT_EQ(port.Read(got.data(), unsigned(got.size())), bytes.size());
    EXPECT_EQ(got, bytes);
}

TEST_F(SerialPort, ReadWaitsForAllTheBytesAskedFor) {
    OpenDefault();
    std::string got(5, '\0');
    unsigned count = 0;
    std::thread reader([&] { count = port.Read(got.data(), 5); });
    ASSERT_TRUE(pty.Send("ab"));
    usleep(50'000);
    ASSERT_TRUE(pty.Send("cde"));
    reader.join();
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(got, "abcde");
}

TEST_F(SerialPort, ReadWithANullBufferLeavesTheInput) {
    OpenDefault();
    ASSERT_TRUE(pty.Send("x"));
    AwaitInput(1);
    EXPECT_EQ(port.Read(nullptr, 1), 0u);
    EXPECT_TRUE(port.IsDataAvailable());
    EXPECT_EQ(port.GetInQueueCount(), 1);
}

TEST_F(SerialPort, WriteOnAClosedPortDoesNothing) {
    port.WriteString("lost");
    port.Write(nullptr, 4);
    EXPECT_EQ(port.lastError, 0);
    OpenDefault();
    port.Write(nullptr, 4);
    EXPECT_EQ(pty.Receive(1, 100), "");
}

TEST_F(SerialPort, FlushInputDropsOnlyWhatWasWaiting) {
    OpenDefault();
    ASSERT_TRUE(pty.Send("old bytes"));
    AwaitInput(9);
    port.FlushInput();
    EXPECT_FALSE(port.IsDataAvailable());
    ASSERT_TRUE(pty.Send("new"));
    std::string got(3, '\0');
    EXPECT_EQ(port.Read(got.data(), 3), 3u);
    EXPECT_EQ(got, "new");
}

TEST_F(SerialPort, FlushInputEndsWhileTheWriterKeepsSending) {
    OpenDefault();
    std::atomic<bool> stop{false};
    std::thread chatter([&] {
        while (!stop) {
            pty.Send(std::string(64, 'z'));
            usleep(200);
        }
    });
    for (int i = 0; i < 2000 && !port.IsDataAvailable(); ++i) usleep(1000);
    for (int i = 0; i < 20; ++i) port.FlushInput();
    stop = true;
    chatter.join();
}

TEST_F(SerialPort, QueueCountsAndWaitForInput) {
    OpenDefault();
    EXPECT_EQ(port.WaitForInput(0), WaitResult::Timeout);
    EXPECT_EQ(port.WaitForInput(-5), WaitResult::Timeout);
    EXPECT_FALSE(port.IsDataAvailable());
    ASSERT_TRUE(pty.Send("hello"));
    EXPECT_EQ(port.WaitForInput(kLongMs), WaitResult::Ready);
    AwaitInput(5);
    EXPECT_EQ(port.comStat.cbInQue, 5u);
    EXPECT_EQ(port.GetOutQueueCount(), 0);
    EXPECT_EQ(port.commErrors, 0u);
}

// ---- closing --------------------------------------------------------------------------------

TEST_F(SerialPort, CloseTwiceAndCloseUnopenedDoNothing) {
    port.Close();
    EXPECT_EQ(port.IsOpen(), 0);
    const int before = OpenDescriptors();
    OpenDefault();
    port.Close();
    EXPECT_EQ(port.IsOpen(), 0);
    EXPECT_EQ(OpenDescriptors(), before);
    port.Close();
    EXPECT_EQ(port.IsOpen(), 0);
    EXPECT_EQ(port.WaitForInput(0), WaitResult::Closed);
}

TEST_F(SerialPort, LastRequestBeforeCloseReachesTheWriter) {
    OpenDefault();
    port.WriteString("last request\r");
    port.Close();
    EXPECT_EQ(pty.Receive(13, kLongMs), "last request\r");
}

// ---- the device goes away --------------------------------------------------------------------

TEST_F(SerialPort, VanishingMidReadEndsTheReadWithWhatCame) {
    OpenDefault();
    std::string got(10, '\0');
    unsigned count = 99;
    ASSERT_TRUE(pty.Send("abc"));
    AwaitInput(3);
    std::thread reader([&] { count = port.Read(got.data(), 10); });
    // The writer goes once the read has taken what came: a hang-up throws away unread bytes,
    // and a loaded machine may start the reader late.
    for (int i = 0; i < kLongMs && pty.Unread() > 0; ++i) usleep(1000);
    usleep(50'000);
    pty.Vanish();
    reader.join();
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(got.substr(0, 3), "abc");
    EXPECT_FALSE(port.IsUsable());
    EXPECT_EQ(port.lastError, CSerialFile::kErrorInvalidHandle);
}

TEST_F(SerialPort, VanishedDeviceIsUnusableUntilReopened) {
    OpenDefault();
    pty.Vanish();
    EXPECT_EQ(port.WaitForInput(kLongMs), WaitResult::Closed);
    EXPECT_EQ(port.WaitForInput(kLongMs), WaitResult::Closed);
    EXPECT_FALSE(port.IsDataAvailable());
    char byte;
    EXPECT_EQ(port.Read(&byte, 1), 0u);
    port.WriteString("nobody");
    EXPECT_EQ(port.GetInQueueCount(), 0);
    EXPECT_EQ(port.lastError, CSerialFile::kErrorInvalidHandle);
    EXPECT_EQ(port.IsOpen(), 1);  // still to be closed by its owner

    const int before = OpenDescriptors();
    port.Close();
    EXPECT_EQ(OpenDescriptors(), before - 1);  // the gone device's descriptor is released

    sim::PtyPair again(1);
    ASSERT_TRUE(port.Open(again.PortSpec().c_str()));
    EXPECT_TRUE(port.IsUsable());
    port.WriteString("back");
    EXPECT_EQ(again.Receive(4, kLongMs), "back");
}

TEST_F(SerialPort, VanishingIsSeenByAnIdleCheckToo) {
    OpenDefault();
    pty.Vanish();
    EXPECT_FALSE(port.IsDataAvailable());
    EXPECT_FALSE(port.IsUsable());
    EXPECT_EQ(port.WaitForInput(kLongMs), WaitResult::Closed);
}

// ---- reads with a limit ----------------------------------------------------------------------

// A port on an adapter that counts line errors: its next line check finds a framing error,
// which discards the input waiting.
class FramingErrorPort : public CSerialFile {
public:
    void CheckCommError(int tag) override {
        CSerialFile::CheckCommError(tag);
        if (framingErrorAtNextCheck.exchange(false)) {
            commErrors |= CE_FRAME;
            platform::PurgeSerialInput(commHandle);
            comStat.cbInQue = 0;
        }
    }
    std::atomic<bool> framingErrorAtNextCheck{false};
};

TEST_F(SerialPort, ReadWithALimitKeepsItWhenTheWaitingInputIsDiscarded) {
    struct Case {
        const char* name;
        int limitMs;
    } cases[] = {{"only what is waiting", 0}, {"a short limit", 150}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FramingErrorPort errors;
        ASSERT_TRUE(errors.Open(pty.PortSpec().c_str()));
        ASSERT_TRUE(pty.Send("z"));
        ASSERT_EQ(errors.WaitForInput(kLongMs), WaitResult::Ready);
        errors.framingErrorAtNextCheck = true;
        std::atomic<bool> returned{false};
        unsigned got = 99;
        std::thread reader([&] {
            std::uint8_t b = 0;
            got = errors.ReadWithin(&b, 1, c.limitMs);
            returned = true;
        });
        for (int i = 0; i < kLongMs && !returned; ++i) usleep(1000);
        EXPECT_TRUE(returned) << "the read waited past its limit";
        if (!returned) errors.Wake();  // free the thread so that the test can end
        reader.join();
        EXPECT_EQ(got, 0u);
        EXPECT_TRUE(errors.IsUsable());
        // The line goes on: the next byte is read.
        ASSERT_TRUE(pty.Send("y"));
        std::uint8_t b = 0;
        EXPECT_EQ(errors.ReadWithin(&b, 1, kLongMs), 1u);
        EXPECT_EQ(b, 'y');
    }
}

TEST_F(SerialPort, ReadWithALimitTakesWhatComesInTime) {
    OpenDefault();
    std::string got(3, '\0');
    EXPECT_EQ(port.ReadWithin(got.data(), 3, 0), 0u);
    ASSERT_TRUE(pty.Send("ab"));
    AwaitInput(2);
    EXPECT_EQ(port.ReadWithin(got.data(), 3, 0), 2u);  // what is waiting, no wait for the third
    EXPECT_EQ(got.substr(0, 2), "ab");
    std::thread late([&] {
        usleep(30'000);
        pty.Send("c");
    });
    EXPECT_EQ(port.ReadWithin(got.data(), 1, kLongMs), 1u);
    late.join();
    EXPECT_EQ(got[0], 'c');
}

// ---- waking ---------------------------------------------------------------------------------

TEST_F(SerialPort, WakeEndsABlockingReadFromAnotherThread) {
    OpenDefault();
    ASSERT_TRUE(pty.Send("a"));
    std::string got(4, '\0');
    unsigned count = 99;
    std::thread reader([&] { count = port.Read(got.data(), 4); });
    usleep(50'000);
    port.Wake();
    reader.join();
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(got[0], 'a');
    EXPECT_TRUE(port.IsUsable());
}

TEST_F(SerialPort, WakeEndsTheWaitAndEveryLaterOneUntilCleared) {
    OpenDefault();
    WaitResult result = WaitResult::Ready;
    std::thread waiter([&] { result = port.WaitForInput(kLongMs); });
    usleep(50'000);
    port.Wake();
    waiter.join();
    EXPECT_EQ(result, WaitResult::Woken);

    ASSERT_TRUE(pty.Send("x"));
    AwaitInput(1);
    EXPECT_EQ(port.WaitForInput(kLongMs), WaitResult::Woken);  // a stop request wins over input
    char byte = 0;
    EXPECT_EQ(port.Read(&byte, 1), 1u);                         // what is there is still read
    EXPECT_EQ(port.Read(&byte, 1), 0u);                         // without waiting for more

    port.ClearWake();
    EXPECT_EQ(port.WaitForInput(0), WaitResult::Timeout);
    port.Wake();
    OpenDefault();  // opening clears it
    EXPECT_FALSE(port.IsWoken());
    EXPECT_EQ(port.WaitForInput(0), WaitResult::Timeout);
}

TEST_F(SerialPort, WakeEndsAWriteHeldUpByAFullLine) {
    OpenDefault();
    // Nobody reads the writer's side, so the line fills up.
    std::string lots(1 << 20, 'w');
    std::thread writer([&] { port.WriteString(lots); });
    usleep(100'000);
    port.Wake();
    writer.join();
    EXPECT_EQ(port.lastError, ECANCELED);
}

TEST_F(SerialPort, WriteThatStallsGivesUpAfterTheLimit) {
    OpenDefault();
    port.writeStallLimitMs = 100;
    port.WriteString(std::string(1 << 20, 'w'));
    EXPECT_EQ(port.lastError, ETIMEDOUT);
    EXPECT_TRUE(port.IsUsable());
}

// ---- flow control and modem lines ------------------------------------------------------------

TEST_F(SerialPort, FlowControlSetsReadsBackAndZeroChangesNothing) {
    OpenDefault();
    EXPECT_EQ(port.GetFlowControl(), 0);
    port.SetFlowControl(CSerialFile::kFlowXonXoff | CSerialFile::kFlowCtsDsr);
    EXPECT_EQ(port.GetFlowControl(), 3);
    termios t{};
    ASSERT_TRUE(pty.SlaveSettings(t));
    EXPECT_NE(t.c_iflag & IXON, 0u);
    EXPECT_NE(t.c_iflag & IXOFF, 0u);
    EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_cc[VSTART], 0x11);
    EXPECT_EQ(t.c_cc[VSTOP], 0x13);

    port.SetFlowControl(0);
    EXPECT_EQ(port.GetFlowControl(), 3);

    port.SetFlowControl(CSerialFile::kFlowCtsDsr);
    EXPECT_EQ(port.GetFlowControl(), 2);
    port.SetFlowControl(CSerialFile::kFlowXonXoff);
    EXPECT_EQ(port.GetFlowControl(), 1);
    EXPECT_EQ(pty.SlaveBaudRate(), 9600u);  // the rest of the line untouched
    EXPECT_EQ(port.lastError, 0);
}

TEST_F(SerialPort, ModemLinesOnAPseudoTerminalAreNoError) {
    OpenDefault();
    port.SetRTS();
    port.SetDTR();
    port.ClearDTR();
    EXPECT_EQ(port.lastError, 0);
    EXPECT_TRUE(port.IsUsable());
}

TEST_F(SerialPort, ClosedPortIgnoresLineCalls) {
    port.SetRTS();
    port.SetFlowControl(3);
    EXPECT_EQ(port.GetFlowControl(), 0);
    EXPECT_EQ(port.GetInQueueCount(), 0);
    EXPECT_EQ(port.GetOutQueueCount(), 0);
    port.FlushInput();
    EXPECT_EQ(port.IsOpen(), 0);
}

// ---- adopted descriptors --------------------------------------------------------------------

TEST_F(SerialPort, AttachAdoptsADescriptor) {
    int fd = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(port.Attach(fd));
    EXPECT_EQ(port.IsOpen(), 1);
    EXPECT_EQ(port.directIo, 1);
    port.WriteString("hi");
    EXPECT_EQ(pty.Receive(2, kLongMs), "hi");
    ASSERT_TRUE(pty.Send("yo"));
    std::string got(2, '\0');
    EXPECT_EQ(port.Read(got.data(), 2), 2u);
    EXPECT_EQ(got, "yo");
    port.Close();
    EXPECT_EQ(port.directIo, 0);
    EXPECT_EQ(fcntl(fd, F_GETFD), -1);  // closed with the port
}

TEST_F(SerialPort, AttachRefusesAnInvalidDescriptor) {
    OpenDefault();
    EXPECT_FALSE(port.Attach(-1));
    EXPECT_EQ(port.lastError, CSerialFile::kErrorInvalidHandle);
    EXPECT_EQ(port.IsOpen(), 0);
}

TEST_F(SerialPort, AdoptedPortTellsTheUserOfAFailedWriteOnce) {
    ScriptedPresenter presenter;
    int fd = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_TRUE(port.Attach(fd));
    pty.Vanish();
    port.WriteString("a");
    port.WriteString("b");
    const auto asked = presenter.Asked();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].kind, ScriptedPresenter::Kind::MessageBox);
    EXPECT_EQ(asked[0].text, "Modem output error: 6");
}

TEST_F(SerialPort, AdoptedPortTellsTheUserOfAWriteTimeout) {
    ScriptedPresenter presenter;
    int fd = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_TRUE(port.Attach(fd));
    port.writeStallLimitMs = 100;
    port.WriteString(std::string(1 << 20, 'w'));
    const auto asked = presenter.Asked();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, "Output error timeout.");
}

TEST_F(SerialPort, RepeatedFailedOpensAreReportedOnceUntilOneSucceeds) {
    ::testing::internal::CaptureStderr();
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(port.Open("COM9:9600,n,8,1"));
    EXPECT_FALSE(port.Open("COM8:9600,n,8,1"));  // another reason is said again
    EXPECT_TRUE(port.Open(pty.PortSpec().c_str()));
    port.Close();
    EXPECT_FALSE(port.Open("COM9:9600,n,8,1"));  // after a success, said again
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 3) << said;
}

// ---- storing --------------------------------------------------------------------------------

TEST_F(SerialPort, SerializeStoresAndReopens) {
    OpenDefault("19200,e,7,1");
    std::stringstream stream;
    port.Serialize(static_cast<std::ostream&>(stream));
    port.Close();

    CSerialFile loaded;
    EXPECT_TRUE(loaded.Serialize(static_cast<std::istream&>(stream)));
    EXPECT_EQ(loaded.IsOpen(), 1);
    EXPECT_EQ(loaded.portSpec, pty.PortSpec("19200,e,7,1"));
    EXPECT_EQ(pty.SlaveBaudRate(), 19200u);
}

TEST_F(SerialPort, SerializeLoadingRefusesDamagedStreamsAndStrayFlags) {
    OpenDefault();
    std::stringstream closedStream;
    CSerialFile closedPort;
    closedPort.portSpec = "COM4:1200,n,8,1";
    closedPort.Serialize(static_cast<std::ostream&>(closedStream));
    const std::string good = closedStream.str();

    for (std::size_t cut : {std::size_t(0), std::size_t(3), std::size_t(7), good.size() - 1}) {
        std::istringstream damaged(good.substr(0, cut));
        EXPECT_FALSE(port.Serialize(static_cast<std::istream&>(damaged))) << cut;
        EXPECT_EQ(port.IsOpen(), 1) << "a damaged stream changes nothing";
    }
    std::string stray = good;
    stray[0] = 7;  // neither 0 nor 1
    std::istringstream strayStream(stray);
    EXPECT_TRUE(port.Serialize(static_cast<std::istream&>(strayStream)));
    EXPECT_EQ(port.IsOpen(), 0);
    EXPECT_EQ(port.portSpec, "COM4:1200,n,8,1");
}

}  // namespace
