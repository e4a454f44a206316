// The line settings a port specification asks for, as termios records, and the device a port
// name means.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "platform/SerialDevice.h"
#include "platform/SerialPortNames.h"
#include "tests/support/TestEnvironment.h"
#include "writers/CDeviceControlBlock.h"
#include "writers/CSerialFile.h"

namespace {

// A line as a terminal program leaves it: canonical, echoing, translating, flow control on.
termios CookedLine() {
    termios t{};
    t.c_iflag = ICRNL | IXON | IXOFF | IXANY | INPCK;
    t.c_oflag = OPOST | ONLCR;
    t.c_lflag = ICANON | ECHO | ECHOE | ISIG | IEXTEN;
    t.c_cflag = CS7 | PARENB | CRTSCTS | HUPCL;
    cfsetispeed(&t, B38400);
    cfsetospeed(&t, B38400);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 5;
    return t;
}

struct SpecRow {
    const char* name;
    const char* settings;
    int error;             // BuildTermios result
    speed_t speed;         // 0: no constant, set through termios2
    tcflag_t size;
    tcflag_t parityBits;   // of PARENB | PARODD | CMSPAR
    bool twoStopBits;
};

const SpecRow kSpecRows[] = {
    {"Default", "9600,n,8,1", 0, B9600, CS8, 0, false},
    {"UpperNone", "9600,N,8,1", 0, B9600, CS8, 0, false},
    {"OtherLetterIsNone", "9600,x,8,1", 0, B9600, CS8, 0, false},
    {"EmptyParityIsNone", "9600,,8,1", 0, B9600, CS8, 0, false},
    {"WordIsNone", "9600,even,8,1", 0, B9600, CS8, 0, false},
    {"EvenLower", "19200,e,7,1", 0, B19200, CS7, PARENB, false},
    {"EvenUpper", "19200,E,7,1", 0, B19200, CS7, PARENB, false},
    {"OddLower", "4800,o,7,1", 0, B4800, CS7, PARENB | PARODD, false},
    {"OddUpper", "4800,O,7,1", 0, B4800, CS7, PARENB | PARODD, false},
    {"MarkLower", "1200,m,7,1", 0, B1200, CS7, PARENB | PARODD | CMSPAR, false},
    {"MarkUpper", "1200,M,7,1", 0, B1200, CS7, PARENB | PARODD | CMSPAR, false},
    {"TwoStopBits", "9600,n,8,2", 0, B9600, CS8, 0, true},
    {"OneAndAHalfIsOne", "9600,n,8,1.5", 0, B9600, CS8, 0, false},
    {"MissingStopBitsIsOne", "9600,n,8", 0, B9600, CS8, 0, false},
    {"FiveBits", "110,n,5,2", 0, B110, CS5, 0, true},
    {"SixBits", "300,n,6,1", 0, B300, CS6, 0, false},
    {"Offered56000Is57600", "56000,n,8,1", 0, B57600, CS8, 0, false},
    {"Offered115000Is115200", "115000,n,8,1", 0, B115200, CS8, 0, false},
    {"Rate28800HasNoConstant", "28800,n,8,1", 0, 0, CS8, 0, false},
    {"Rate14400HasNoConstant", "14400,e,7,1", 0, 0, CS7, PARENB, false},
    {"RateZeroMeansHangUp", "0,n,8,1", EINVAL, 0, 0, 0, false},
    {"RateNotANumber", "fast,n,8,1", EINVAL, 0, 0, 0, false},
    {"RateNegative", "-9600,n,8,1", EINVAL, 0, 0, 0, false},
    {"RateTooHigh", "99999999,n,8,1", EINVAL, 0, 0, 0, false},
    {"NineBits", "9600,n,9,1", EINVAL, 0, 0, 0, false},
    {"FourBits", "9600,n,4,1", EINVAL, 0, 0, 0, false},
    {"BitsWrapToEight", "9600,n,264,1", EINVAL, 0, 0, 0, false},
    {"NoSettings", "", EINVAL, 0, 0, 0, false},
};

void PrintTo(const SpecRow& row, std::ostream* os) { *os << '"' << row.settings << '"'; }

class SpecToTermios : public ::testing::TestWithParam<SpecRow> {};

TEST_P(SpecToTermios, BuildsTheRecord) {
    const SpecRow& row = GetParam();
    const termios raw = platform::MakeRawTermios(CookedLine());
    CDeviceControlBlock dcb;
    dcb = platform::LineSettingsFromTermios(raw, 38400);
    CSerialFile::ApplySpecification(row.settings, dcb);
    termios t{};
    bool custom = false;
    ASSERT_EQ(platform::BuildTermios(raw, dcb, t, custom), row.error);
    if (row.error) return;

    EXPECT_EQ(custom, row.speed == 0);
    if (row.speed) {
        EXPECT_EQ(cfgetospeed(&t), row.speed);
        EXPECT_EQ(cfgetispeed(&t), row.speed);
    }
    EXPECT_EQ(t.c_cflag & CSIZE, row.size);
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), row.parityBits);
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, row.twoStopBits);

    // Raw: nothing added, translated, echoed or held back; the receiver on, modem status
    // ignored, a read satisfied by one byte.
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ECHOE | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON | IXOFF | IXANY), 0u);
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    EXPECT_EQ(t.c_cc[VMIN], 1);
    EXPECT_EQ(t.c_cc[VTIME], 0);
    // The parity check is the device's own setting and is kept.
    EXPECT_NE(t.c_iflag & INPCK, 0u);
}

INSTANTIATE_TEST_SUITE_P(Table, SpecToTermios, ::testing::ValuesIn(kSpecRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SpecToTermios, SpecificationSetsTheFixedFieldsAndKeepsTheRest) {
    CDeviceControlBlock dcb;
    dcb.fOutX = dcb.fInX = true;
    dcb.XonChar = 0x11;
    dcb.fParity = true;
    CSerialFile::ApplySpecification("9600,e,7,2", dcb);
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(dcb.Parity, platform::kEvenParity);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.StopBits, platform::kTwoStopBits);
    EXPECT_TRUE(dcb.fBinary);
    EXPECT_FALSE(dcb.fErrorChar);
    EXPECT_TRUE(dcb.fAbortOnError);
    EXPECT_EQ(dcb.ErrorChar, 0x20);
    EXPECT_TRUE(dcb.fOutX && dcb.fInX && dcb.fParity);
    EXPECT_EQ(dcb.XonChar, 0x11);
}

TEST(DeviceControlBlock, ConstructedClearedAndResetByANullRecord) {
    CDeviceControlBlock dcb;
    EXPECT_EQ(dcb.DCBlength, sizeof(platform::LineSettings));
    EXPECT_TRUE(dcb.fBinary);
    EXPECT_EQ(dcb.BaudRate, 0u);
    EXPECT_FALSE(dcb.fOutX);

    platform::LineSettings other;
    other.BaudRate = 1200;
    other.fOutX = true;
    dcb = other;
    EXPECT_EQ(dcb.BaudRate, 1200u);
    EXPECT_TRUE(dcb.fOutX);
    dcb = static_cast<const platform::LineSettings*>(nullptr);
    EXPECT_EQ(dcb.BaudRate, 0u);
    EXPECT_FALSE(dcb.fOutX);
    EXPECT_TRUE(dcb.fBinary);
    EXPECT_EQ(dcb.DCBlength, sizeof(platform::LineSettings));
}

TEST(SpecToTermios, TermiosReadsBackAsTheRecord) {
    const termios raw = platform::MakeRawTermios(CookedLine());
    platform::LineSettings s = platform::LineSettingsFromTermios(raw, 9600);
    s.ByteSize = 7;
    s.Parity = platform::kMarkParity;
    s.StopBits = platform::kTwoStopBits;
    s.fOutX = s.fInX = true;
    s.fOutxCtsFlow = s.fOutxDsrFlow = true;
    s.XonChar = 0x11;
    s.XoffChar = 0x13;
    termios t{};
    bool custom = false;
    ASSERT_EQ(platform::BuildTermios(raw, s, t, custom), 0);
    platform::LineSettings back = platform::LineSettingsFromTermios(t, 9600);
    EXPECT_EQ(back.ByteSize, 7);
    EXPECT_EQ(back.Parity, platform::kMarkParity);
    EXPECT_EQ(back.StopBits, platform::kTwoStopBits);
    EXPECT_TRUE(back.fOutX && back.fInX && back.fOutxCtsFlow && back.fOutxDsrFlow);
    EXPECT_EQ(back.XonChar, 0x11);
    EXPECT_EQ(back.XoffChar, 0x13);
}

TEST(LineErrors, CountersThatMovedBecomeErrorBits) {
    platform::LineErrorCounts before{3, 1, 0, 0, 7};
    platform::LineErrorCounts now = before;
    EXPECT_EQ(CSerialFile::LineErrorBits(before, now), 0u);
    now.frame += 2;
    now.bufferOverrun += 1;
    EXPECT_EQ(CSerialFile::LineErrorBits(before, now), CE_FRAME | CE_RXOVER);
    now = before;
    now.parity = 1;
    now.brk = 1;
    now.overrun = 0;  // a counter that wrapped still moved
    EXPECT_EQ(CSerialFile::LineErrorBits(before, now), CE_RXPARITY | CE_BREAK | CE_OVERRUN);
}

// ---- which device a port name means ----------------------------------------------------------

class PortNames : public ::testing::Test {
protected:
    void SetUp() override {
        root = testenv::MakeTempDir("ports");
        devices = root + "/devices";
        roots.byIdFolder = root + "/by-id";
        roots.devFolder = root + "/dev";
        for (const std::string& d : {devices, roots.byIdFolder, roots.devFolder}) mkdir(d.c_str(), 0700);
    }
    void Link(const std::string& target, const std::string& link) {
        ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0) << link;
    }
    std::string Resolve(const std::string& name) { return platform::ResolveSerialDevice(name, devices, roots); }

    std::string root, devices;
    platform::SerialDeviceRoots roots;
};

TEST_F(PortNames, DeviceFolderThenByIdByNameThenTtyS) {
    Link("/dev/ttyUSB7", devices + "/COM2");
    Link("/nowhere", devices + "/COM5");  // dangling: still the user's choice
    for (const char* name : {"usb-Writer_B", "usb-writer_a", "usb-Writer_C"})
        Link("../../ttyUSB0", roots.byIdFolder + "/" + name);

    const struct {
        const char* name;
        std::string expected;
    } rows[] = {
        {"COM2", devices + "/COM2"},
        {"\\\\.\\COM2", devices + "/COM2"},
        {"com2", devices + "/COM2"},
        {"COM02", devices + "/COM2"},
        {"COM5", devices + "/COM5"},
        {"COM1", roots.byIdFolder + "/usb-writer_a"},
        {"COM3", roots.byIdFolder + "/usb-Writer_C"},
        {"COM4", roots.devFolder + "/ttyS3"},
        {"COM12", roots.devFolder + "/ttyS11"},
        {"COM0", roots.devFolder + "/COM0"},
        {"ttyUSB1", roots.devFolder + "/ttyUSB1"},
        {"/dev/ttyACM0", "/dev/ttyACM0"},
        {"", ""},
    };
    for (const auto& row : rows) EXPECT_EQ(Resolve(row.name), row.expected) << row.name;
}

TEST_F(PortNames, WithoutByIdEveryComIsTtyS) {
    rmdir(roots.byIdFolder.c_str());
    EXPECT_EQ(Resolve("COM1"), roots.devFolder + "/ttyS0");
    EXPECT_EQ(Resolve("COM2"), roots.devFolder + "/ttyS1");
}

TEST_F(PortNames, OtherNamesAreLookedUpInTheDeviceFolderFirst) {
    Link("/dev/ttyACM3", devices + "/stentura");
    EXPECT_EQ(Resolve("stentura"), devices + "/stentura");
}

TEST(PortNamesDefault, DeviceFolderFollowsXdgConfigHome) {
    const std::string config = getenv("XDG_CONFIG_HOME");
    EXPECT_EQ(platform::SerialDeviceFolder(), config + "/DQS/devices");
    const testenv::ScopedEnv unset("XDG_CONFIG_HOME", "");
    EXPECT_EQ(platform::SerialDeviceFolder(), std::string(getenv("HOME")) + "/.config/DQS/devices");
}

}  // namespace
