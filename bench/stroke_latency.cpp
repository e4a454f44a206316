// Stroke latency: the time from the writer's last byte of a stroke on the line to the owner
// window's handling of the stroke message (0x402), for each driver, against the same path with
// no driver at all ("floor": a bare thread that polls the line and posts the message).
// The row "CBuildDlg" runs the whole road to the build dialog: the test driver's stroke from
// its last byte on the line until the dialog has listed it.
//
// Each driver runs on a pseudo-terminal with a real Qt event loop as the owner's thread. The
// writer side sends one stroke at a steady rate and stamps the moment its write returned; the
// owner stamps its handling of each message and takes every queued stroke. Strokes arrive in
// order, so the k-th stroke taken belongs to the k-th packet sent.
//
// Read a driver's figures as a ratio to the floor of the same run: the machine is shared and
// its noise moves both. The request/reply drivers (SG, SR) have a floor of their own as well,
// "floor request/reply": a bare thread that asks ten times a second and posts a message per
// stroke of each reply, with no driver. Their threads sleep about 100 ms between replies,
// not 4 ms between strokes, and on a virtual machine waking a thread after a long sleep
// costs more (the stream floor itself takes two to three times as long at that spacing), so
// this floor shows what the driver adds; the stream floor shows the whole difference.
//
//   bench_stroke_latency [--smoke] [row...]   the named rows only (the floors always run)
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QListWidget>
#include <QObject>
#include <QTimer>
#include <cstdlib>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/dialogs/CBuildDlg.h"
#include "core/AppSettings.h"
#include "core/DataFiles.h"
#include "platform/QtMessageWindow.h"
#include "tests/fakes/FakeMidi.h"
#include "tests/fakes/FakeUsbWriter.h"
#include "kbdhook/KeyboardHook.h"
#include "tests/fakes/FakeHidBackend.h"
#include "tests/fakes/TestWriters.h"
#include "tests/sim/EzSimulator.h"
#include "tests/sim/FlSimulator.h"
#include "tests/sim/GeminiWire.h"
#include "tests/sim/MwSimulator.h"
#include "tests/sim/PassportWire.h"
#include "tests/sim/PtSimulator.h"
#include "tests/sim/PtyPair.h"
#include "tests/sim/SgSimulator.h"
#include "tests/sim/SrSimulator.h"
#include "tests/sim/TxSimulator.h"
#include "tests/sim/WriterSimulator.h"
#include "tests/sim/StenoTextWire.h"
#include "tests/support/TestEnvironment.h"
#include "writers/CWriter.h"
#include "writers/CWriterAC.h"
#include "writers/CWriterEZ.h"
#include "writers/CWriterFL.h"
#include "writers/CWriterFN.h"
#include "writers/CWriterGJ.h"
#include "writers/CWriterGM.h"
#include "writers/CWriterMD.h"
#include "writers/CWriterMW.h"
#include "writers/CWriterPP.h"
#include "writers/CWriterPT.h"
#include "writers/CWriterSG.h"
#include "writers/CWriterSGU.h"
#include "writers/CWriterSR.h"
#include "writers/CWriterTX.h"
#include "writers/CWriterTR.h"
#include "writers/SgProtocol.h"

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t NowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch())
        .count();
}

template <class Driver>
CWriter* Make(platform::WindowHandle owner) {
    return NewWriter<Driver>(owner);
}

// The presence check before realtime is not measured. The driver's own 10 ms for the echo is
// missed whenever a loaded machine holds up the answering thread a little, and then the start
// ends at the question nobody here answers: every stroke of the row would count as lost.
CWriter* MakeEz(platform::WindowHandle owner) {
    CWriterEZ* writer = NewWriter<CWriterEZ>(owner);
    writer->presenceWaitMs = 1000;
    return writer;
}

class Owner;
struct Result;

struct DriverRow {
    const char* name;
    CWriter* (*make)(platform::WindowHandle owner);
    std::string (*packet)(int stroke);  // what the writer sends for stroke number `stroke`
    // What the writer answers to bytes the driver writes (null: nothing), e.g. a presence check.
    std::string (*answer)(const std::string& written) = nullptr;
    // Writers that answer requests instead: the whole measurement, with a simulator of their own.
    // Answers 1 when strokes were lost.
    int (*session)(Owner& owner, int n, int intervalUs) = nullptr;
};

int MeasureSg(Owner& owner, int n, int intervalUs);
int MeasureSr(Owner& owner, int n, int intervalUs);
int MeasureSgu(Owner& owner, int n, int intervalUs);
int MeasureSguStop(Owner& owner, int n, int intervalUs);
int MeasureTr(Owner& owner, int n, int intervalUs);
int MeasureMd(Owner& owner, int n, int intervalUs);
int MeasureBuildDialog(Owner& owner, int n, int intervalUs);
int MeasureReconnect(Owner& owner, int n, int intervalUs);

// The 3-byte packet of the test driver, also what the floor reads.
std::string ThreeBytes(int i) { return std::string{char(i), char(i >> 8), 0x55}; }

// A stroke that differs from one stroke to the next, with no synchronisation byte or end
// marker among its bytes.
Stroke NumberedStroke(int i) { return {std::uint8_t(i & 0x3F), std::uint8_t(i >> 6), 0x55}; }
std::string EzPacket(int i) { return sim::EzSimulator::RealtimePacket(NumberedStroke(i)); }
// The EZ-Writer echoes its presence check "B".
std::string EzAnswer(const std::string& written) {
    return std::string(std::size_t(std::count(written.begin(), written.end(), 'B')), 'B');
}
std::string FlPacket(int i) { return sim::FlSimulator::Group(NumberedStroke(i)); }
// A stroke of English keys that differs from one stroke to the next.
Stroke EnglishStroke(int i) { return {std::uint8_t(0x20 >> (i % 6)), std::uint8_t(i), 0x08}; }
std::string AccuWriterLine(int i) { return sim::AccuWriterLine(0, EnglishStroke(i)); }
std::string FoniksPacket(int i) { return sim::FoniksPacket(0, EnglishStroke(i), std::uint8_t(i)); }
std::string GeminiStroke(int i) { return simwire::GeminiPacket(i % 2 ? "S1- T- -E" : "K- A- -Z"); }
std::string GrandjeanStroke(int i) { return i % 2 ? "STKA " : "PAV "; }
std::string PassportStroke(int i) { return simwire::PassportPacket(i, "SKA*E", "T"); }
// A stroke's key bytes and the end byte that completes it.
std::string TxStroke(int i) {
    const Stroke s = EnglishStroke(i);
    return sim::TxSimulator::StrokeBytes({s[0], s[1], s[2]}) + std::string(1, '\0');
}
std::string PalantypePacket(int i) { return sim::PtSimulator::Packet({i % 29, 1 + i % 27}); }
// The Palantype's idle polls are taken and not answered.
std::string TakeWritten(const std::string&) { return {}; }
std::string MeritPacket(int i) { return sim::MwSimulator::RealtimeStroke(NumberedStroke(i), i % 2); }
// The MeritWriter echoes its commands.
std::string Echo(const std::string& written) { return written; }

// One row per driver.
const DriverRow kDrivers[] = {
    {"test3", Make<fakes::ThreeByteWriter>, ThreeBytes},
    {"CWriterGM", Make<CWriterGM>, GeminiStroke},
    {"CWriterGJ", Make<CWriterGJ>, GrandjeanStroke},
    {"CWriterPP", Make<CWriterPP>, PassportStroke},
    {"CWriterEZ", MakeEz, EzPacket, EzAnswer},
    {"CWriterFL", Make<CWriterFL>, FlPacket},
    {"CWriterSG", Make<CWriterSG>, nullptr, nullptr, MeasureSg},
    {"CWriterAC", Make<CWriterAC>, AccuWriterLine},
    {"CWriterFN", Make<CWriterFN>, FoniksPacket},
    {"CWriterSR", nullptr, nullptr, nullptr, MeasureSr},
    {"CWriterSGU", nullptr, nullptr, nullptr, MeasureSgu},
    {"CWriterSGU Stop", nullptr, nullptr, nullptr, MeasureSguStop},
    {"CWriterTX", Make<CWriterTX>, TxStroke},
    {"CWriterTR", nullptr, nullptr, nullptr, MeasureTr},
    {"CWriterMD", nullptr, nullptr, nullptr, MeasureMd},
    {"CWriterPT", Make<CWriterPT>, PalantypePacket, TakeWritten},
    {"CWriterMW", Make<CWriterMW>, MeritPacket, Echo},
    {"CBuildDlg", nullptr, nullptr, nullptr, MeasureBuildDialog},
    {"reconnect", nullptr, nullptr, nullptr, MeasureReconnect},
};

// Plays the writer's answers while a driver runs: reads what the driver writes and sends the
// row's answer.
class Responder {
public:
    Responder(sim::PtyPair& pty, std::string (*answer)(const std::string&)) : pty_(pty), answer_(answer) {
        if (answer_) thread_ = std::thread([this] { Run(); });
    }
    ~Responder() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }

private:
    void Run() {
        while (!stop_) {
            pollfd p{pty_.MasterFd(), POLLIN, 0};
            if (poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN)) continue;
            char buffer[256];
            ssize_t n = read(pty_.MasterFd(), buffer, sizeof buffer);
            if (n <= 0) continue;
            std::string reply = answer_(std::string(buffer, std::size_t(n)));
            if (!reply.empty()) pty_.Send(reply);
        }
    }

    sim::PtyPair& pty_;
    std::string (*answer_)(const std::string&);
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

constexpr int kFloorPacketSize = 3;

// The owner window: counts messages and strokes on the Qt thread and stamps each.
class Owner final : public QObject {
public:
    Owner() : window_(this) {}
    ~Owner() override { window_.Unregister(); }

    platform::WindowHandle Handle() const { return window_.Handle(); }

    void Reset(CWriter* writer, int expected) {
        writer_ = writer;
        available_ = nullptr;
        handled_.assign(static_cast<std::size_t>(expected), 0);
        count_ = 0;
    }
    // No driver: each message takes every stroke counted in `available`, as an owner takes
    // every queued stroke.
    void ResetCounted(std::atomic<int>* available, int expected) {
        Reset(nullptr, expected);
        available_ = available;
    }
    int Count() const { return count_.load(); }
    const std::vector<std::int64_t>& Handled() const { return handled_; }

    bool event(QEvent* e) override {
        const auto* message = platform::WindowMessageEvent::From(e);
        if (!message) return QObject::event(e);
        if (message->Message() != platform::kStrokeMessage) return true;
        const std::int64_t now = NowUs();
        if (available_) {
            for (int k = available_->exchange(0); k > 0; --k) Stamp(now);
            return true;
        }
        if (!writer_) {
            Stamp(now);
            return true;
        }
        TrackStroke stroke;
        while (writer_->GetStroke(&stroke)) Stamp(now);
        return true;
    }

private:
    void Stamp(std::int64_t now) {
        int k = count_.load();
        if (k < static_cast<int>(handled_.size())) handled_[static_cast<std::size_t>(k)] = now;
        count_.store(k + 1);
    }

    platform::QtMessageWindow window_;
    CWriter* writer_ = nullptr;
    std::atomic<int>* available_ = nullptr;
    std::vector<std::int64_t> handled_;
    std::atomic<int> count_{0};
};

// The program's side of a line with no driver: the slave opened raw, read by a thread of its
// own (started by the subclass once it is built, ended by it first thing when it goes).
class BareLine {
public:
    explicit BareLine(const std::string& slavePath) {
        fd_ = open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        termios t{};
        if (fd_ >= 0 && tcgetattr(fd_, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(fd_, TCSANOW, &t);
        }
    }
    virtual ~BareLine() {
        if (fd_ >= 0) close(fd_);
    }
    BareLine(const BareLine&) = delete;
    BareLine& operator=(const BareLine&) = delete;
    bool IsOpen() const { return fd_ >= 0; }

protected:
    void StartThread() { thread_ = std::thread([this] { Run(); }); }
    void StopThread() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    virtual void Run() = 0;

    int fd_ = -1;
    std::atomic<bool> stop_{false};

private:
    std::thread thread_;
};

// The floor: a bare reader that posts a message per 3-byte packet.
class BareReader final : public BareLine {
public:
    BareReader(const std::string& slavePath, platform::WindowHandle owner)
        : BareLine(slavePath), owner_(owner) {
        StartThread();
    }
    ~BareReader() override { StopThread(); }

private:
    void Run() override {
        int pending = 0;
        while (!stop_ && fd_ >= 0) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            char buffer[256];
            ssize_t n = read(fd_, buffer, sizeof buffer);
            for (pending += n > 0 ? int(n) : 0; pending >= kFloorPacketSize;
                 pending -= kFloorPacketSize)
                platform::PostMessage(owner_, platform::kStrokeMessage);
        }
    }

    platform::WindowHandle owner_;
};

struct Result {
    std::vector<std::int64_t> latencies;
    int lost = 0;
};

// The request/reply floor. The writer's side (the kit's simulator, as for the SG and SR rows)
// counts the strokes written and answers each request with a reply carrying those not sent
// yet (a 14-byte header, its length in bytes 2 and 3, then 4 bytes a stroke), stamping them
// once the reply's last byte is on the line. The program's side asks every 100 ms, reads the
// reply whole, counts its strokes for the owner and posts one message per stroke, with no
// driver in between.
constexpr std::size_t kBareRequestSize = 18;
constexpr std::size_t kBareReplyHeader = 14;
constexpr int kBareCycleMs = 100;

class BareRequester final : public BareLine {
public:
    BareRequester(const std::string& slavePath, platform::WindowHandle owner, std::atomic<int>& available)
        : BareLine(slavePath), owner_(owner), available_(available) {
        StartThread();
    }
    ~BareRequester() override { StopThread(); }

private:
    void Run() override {
        auto next = Clock::now();
        while (!stop_ && fd_ >= 0) {
            const std::string request(kBareRequestSize, '\x01');
            if (write(fd_, request.data(), request.size()) != ssize_t(request.size())) return;
            std::string reply;
            while (!stop_ && !Whole(reply)) {
                pollfd p{fd_, POLLIN, 0};
                if (poll(&p, 1, 20) <= 0) continue;
                char buffer[4096];
                const ssize_t n = read(fd_, buffer, sizeof buffer);
                if (n > 0) reply.append(buffer, std::size_t(n));
            }
            const int strokes = int((reply.size() - std::min(reply.size(), kBareReplyHeader)) / 4);
            available_ += strokes;
            for (int i = 0; i < strokes; ++i) platform::PostMessage(owner_, platform::kStrokeMessage);
            next += std::chrono::milliseconds(kBareCycleMs);
            std::this_thread::sleep_until(next);
        }
    }
    static bool Whole(const std::string& reply) {
        return reply.size() >= 4 &&
               reply.size() >= (std::uint8_t(reply[2]) | std::size_t(std::uint8_t(reply[3])) << 8);
    }

    platform::WindowHandle owner_;
    std::atomic<int>& available_;
};

// How long the owner may go without a new stroke, once all are sent, before the rest count as
// lost. Only strokes that never come reach it: a loaded machine (a sanitizer build, a whole
// test run beside) makes the wait longer, never a smoke run fail.
constexpr auto kQuietLimit = std::chrono::seconds(20);

// The writer's side, on a thread of its own: after `settleMs`, calls send(i) for i < n at a
// steady rate and stamps the moment each returned into `sent`; then waits until handled()
// reaches n (or has not moved for kQuietLimit) and calls finish().
void SendThenAwait(int n, int intervalUs, int settleMs, const std::function<void(int)>& send,
                   std::vector<std::int64_t>& sent, const std::function<int()>& handled,
                   const std::function<void()>& finish) {
    sent.assign(static_cast<std::size_t>(n), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
    auto next = Clock::now();
    for (int i = 0; i < n; ++i) {
        send(i);
        sent[static_cast<std::size_t>(i)] = NowUs();
        next += std::chrono::microseconds(intervalUs);
        std::this_thread::sleep_until(next);
    }
    int seen = handled();
    auto lastProgress = Clock::now();
    while (seen < n && Clock::now() - lastProgress < kQuietLimit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (handled() != seen) {
            seen = handled();
            lastProgress = Clock::now();
        }
    }
    finish();
}

// Sends as SendThenAwait does while the owner's Qt loop runs, until the owner has handled n
// strokes. Returns the moment each send returned.
std::vector<std::int64_t> SendSteadily(Owner& owner, int n, int intervalUs, int settleMs,
                                       const std::function<void(int)>& send) {
    std::vector<std::int64_t> sent;
    std::thread writerSide([&] {
        SendThenAwait(n, intervalUs, settleMs, send, sent, [&] { return owner.Count(); }, [] {
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
        });
    });
    QCoreApplication::exec();
    writerSide.join();
    return sent;
}

// The latency of each of the first `count` strokes (at most n), from the moment in `from` to
// the one in `handled` with its number.
Result LatenciesOf(const std::vector<std::int64_t>& handled, int count, int n,
                   const std::vector<std::int64_t>& from) {
    Result result;
    const int got = std::min(count, n);
    result.lost = n - got;
    for (int i = 0; i < got; ++i)
        result.latencies.push_back(std::max<std::int64_t>(
            0, handled[static_cast<std::size_t>(i)] - from[static_cast<std::size_t>(i)]));
    return result;
}

// The latency of each stroke the owner handled.
Result Latencies(const Owner& owner, int n, const std::vector<std::int64_t>& from) {
    return LatenciesOf(owner.Handled(), owner.Count(), n, from);
}

// Sends `n` packets at a steady rate on the writer's side and waits for the owner to handle
// them; the owner's Qt loop runs meanwhile.
Result Measure(sim::PtyPair& pty, Owner& owner, int n, int intervalUs,
               std::string (*packet)(int)) {
    const std::vector<std::int64_t> sent =
        SendSteadily(owner, n, intervalUs, 50, [&](int i) { pty.Send(packet(i)); });
    return Latencies(owner, n, sent);
}

void Print(const char* name, Result result) {
    std::vector<std::int64_t>& v = result.latencies;
    std::sort(v.begin(), v.end());
    auto at = [&](double q) -> std::int64_t {
        if (v.empty()) return 0;
        auto index = static_cast<std::size_t>(std::ceil(q * double(v.size()))) - 1;
        return v[std::min(index, v.size() - 1)];
    };
    std::printf(
        "{\"bench\": \"stroke_latency\", \"name\": \"%s\", \"n\": %zu, \"p50_us\": %lld, "
        "\"p99_us\": %lld, \"max_us\": %lld}\n",
        name, v.size(), static_cast<long long>(at(0.5)), static_cast<long long>(at(0.99)),
        static_cast<long long>(v.empty() ? 0 : v.back()));
    if (result.lost > 0) std::fprintf(stderr, "%s: %d strokes never reached the owner\n", name, result.lost);
    std::fflush(stdout);
}

// Prints the row; 1 when strokes were lost.
int Report(const char* name, Result result) {
    const int lost = result.lost;
    Print(name, std::move(result));
    return lost > 0 ? 1 : 0;
}

// Prints the row timed from `from` (the moment each stroke was sent); 1 when strokes were lost.
int Report(const char* name, const Owner& owner, int n, const std::vector<std::int64_t>& from) {
    return Report(name, Latencies(owner, n, from));
}

// Stamps a simulator's thread takes once a reply is on the line, one per stroke the reply
// carried; read once it has stopped stamping.
class ReplyStamps {
public:
    // Strokes first .. first+count-1 are on the line now; a stroke sent again keeps its first
    // stamp.
    void Sent(int first, int count) {
        const std::int64_t now = NowUs();
        std::lock_guard<std::mutex> guard(lock_);
        if (first + count > int(stamps_.size())) stamps_.resize(std::size_t(first + count), now);
    }
    // The next `count` strokes are on the line now.
    void Sent(int count) {
        const std::int64_t now = NowUs();
        std::lock_guard<std::mutex> guard(lock_);
        stamps_.resize(stamps_.size() + std::size_t(count), now);
    }
    // One stamp for each of n strokes (0 for a stroke never sent).
    std::vector<std::int64_t> Taken(int n) const {
        std::vector<std::int64_t> taken;
        {
            std::lock_guard<std::mutex> guard(lock_);
            taken = stamps_;
        }
        taken.resize(static_cast<std::size_t>(n), 0);
        return taken;
    }

private:
    mutable std::mutex lock_;
    std::vector<std::int64_t> stamps_;
};

// A request/reply driver against its simulator, which stamps each reply into `stamps`: the
// stroke is written on the simulated machine at a steady rate (write), the latency runs from
// the moment the last byte of the reply carrying it is on the line (`name`) and, for the
// whole road with the polling, from the moment it was written ("<name> written"). `unhook`
// stops the stamping before the stamps are read. 1 when strokes were lost.
template <class Driver>
int MeasureRequestReply(const char* name, Owner& owner, int n, int intervalUs,
                        const std::function<void(int)>& write, const ReplyStamps& stamps,
                        const std::function<void()>& unhook) {
    std::unique_ptr<CWriter> writer(NewWriter<Driver>(owner.Handle()));
    writer->mode = kModeRealtime;
    writer->Start(1);
    owner.Reset(writer.get(), n);
    const std::vector<std::int64_t> written = SendSteadily(owner, n, intervalUs, 0, write);
    writer.reset();
    fakes::UseLineSettings(1);
    // The simulator's thread outlives the stamps: a late reply must not stamp into them.
    unhook();
    const int lost = Report(name, owner, n, stamps.Taken(n));
    Print((std::string(name) + " written").c_str(), Latencies(owner, n, written));
    return lost;
}

// CWriterSG asks for new strokes at every poll; the simulator answers from its realtime file.
// The stroke is written on the simulated machine at a steady rate; the latency runs from the
// moment the last byte of the reply carrying it is on the line ("CWriterSG"), and, for the whole road
// with the polling, from the moment it was written ("CWriterSG written").
int MeasureSg(Owner& owner, int n, int intervalUs) {
    constexpr int kSgCom = 2;  // beside the other rows' line
    SgSimulator sim(kSgCom);
    if (!sim.IsOpen()) return 1;
    sim.Model().SetRealtimeStrokes(3);
    fakes::UseLineSettings(kSgCom);
    ReplyStamps stamps;
    sim.OnReplySent([&](const std::string& reply) {
        if (sg::Get16(reply, 4) == sg::ReadRecords) stamps.Sent(int(sg::ReplyData(reply).size() / 4));
    });
    return MeasureRequestReply<CWriterSG>(
        "CWriterSG", owner, n, intervalUs,
        [&](int i) { sim.Model().Write(0x20, std::uint8_t(i >> 8), std::uint8_t(i)); }, stamps,
        [&] { sim.OnReplySent(nullptr); });
}

// CWriterSR asks for the count at most ten times a second and then for the new strokes; the
// latency runs from the moment the stroke-data reply carrying a stroke has been written.
int MeasureSr(Owner& owner, int n, int intervalUs) {
    constexpr int kSrCom = 3;  // beside the other rows' lines
    sim::SrSimulator sim(kSrCom);
    if (!sim.IsOpen()) return 1;
    fakes::UseLineSettings(kSrCom);
    ReplyStamps stamps;
    // A reply starts again with the stroke before the first wanted.
    sim.OnStrokeData([&](int first, int strokes) { stamps.Sent(first, strokes); });
    return MeasureRequestReply<CWriterSR>(
        "CWriterSR", owner, n, intervalUs,
        [&](int i) { sim.Write({0x20, std::uint8_t(i >> 8), std::uint8_t(i)}); }, stamps,
        [&] { sim.OnStrokeData(nullptr); });
}

// CWriterSGU asks its USB writer for new strokes at every poll; the scripted writer answers at
// once, from its realtime file. The latency runs from the moment the reply carrying a stroke is
// handed to the driver ("CWriterSGU") and from the moment it was written ("CWriterSGU written").
int MeasureSgu(Owner& owner, int n, int intervalUs) {
    fakes::FakeUsbWriter usb;
    GetSettings().usbFlag = 1;  // as the factory sets it: no serial port
    ReplyStamps stamps;
    usb.OnReply([&](const fakes::FakeUsbWriter::Request& request, std::size_t records) {
        if (request.action == sgu::kRead && records > 0) stamps.Sent(int(request.offset / 8), int(records));
    });
    const int lost = MeasureRequestReply<CWriterSGU>(
        "CWriterSGU", owner, n, intervalUs,
        [&](int i) { usb.Write(0x20, std::uint8_t(i >> 8), std::uint8_t(i)); }, stamps,
        [&] { usb.OnReply(nullptr); });
    GetSettings().usbFlag = 0;
    return lost;
}

// How long Stop takes (closing the build or adjust window) while the reader waits on a USB
// writer that does not answer ("CWriterSGU Stop silent") or takes no request ("... stalled"):
// a read waits 2.5 s and a write 1 s unless Stop ends them. Goal: under 100 ms.
int MeasureSguStop(Owner& owner, int n, int) {
    const int runs = std::max(3, n / 20);
    GetSettings().usbFlag = 1;
    int failures = 0;
    for (const bool stalled : {false, true}) {
        Result result;
        for (int k = 0; k < runs; ++k) {
            fakes::FakeUsbWriter usb;
            std::unique_ptr<CWriter> writer(NewWriter<CWriterSGU>(owner.Handle()));
            writer->mode = kModeRealtime;
            writer->Start(1);
            if (stalled)
                usb.StallWrites(true);
            else
                usb.SetSilent(true);
            if (!usb.WaitUntilWaiting(5000)) {
                ++result.lost;
                continue;
            }
            const std::int64_t start = NowUs();
            writer->Stop();
            result.latencies.push_back(NowUs() - start);
        }
        failures += Report(stalled ? "CWriterSGU Stop stalled" : "CWriterSGU Stop silent", std::move(result));
    }
    GetSettings().usbFlag = 0;
    return failures;
}

// CWriterMD reads the MIDI library, not the line: the batch that releases the last key is
// handed to a scripted library, which wakes the reader as the real one does when notes arrive.
int MeasureMd(Owner& owner, int n, int intervalUs) {
    fakes::MidiCalls calls;
    auto* midi = new fakes::FakeMidi(calls);
    std::unique_ptr<CWriter> writer(NewWriter<CWriterMD>(owner.Handle(), std::unique_ptr<Midi>(midi)));
    writer->mode = kModeRealtime;
    writer->Start(1);
    owner.Reset(writer.get(), n);
    const int note = 48;
    const std::vector<std::int64_t> sent = SendSteadily(owner, n, intervalUs, 50, [&](int i) {
        midi->Push({fakes::Press(note + i % 10), fakes::Release(note + i % 10)});
    });
    writer.reset();
    return Report("CWriterMD", owner, n, sent);
}

// The build dialog, run as the program runs it, with the test driver on a line of its own; each
// stroke counts when the dialog's stroke list has it. No command stroke is set, so every stroke
// joins the outline.
int MeasureBuildDialog(Owner&, int n, int intervalUs) {
    constexpr int kCom = 3;
    sim::PtyPair pty(kCom);
    if (!pty.IsOpen()) return 1;
    fakes::UseLineSettings(kCom);
    const std::string folder = testenv::MakeTempDir("build") + "/";
    GetSettings().documentsFolder = folder;
    if (!WriteWordListFile(folder + "list.edq", {"one", "two"})) return 1;

    std::vector<std::int64_t> listed(static_cast<std::size_t>(n), 0);
    std::atomic<int> count{0};
    std::vector<std::int64_t> sent;
    std::thread writerSide;
    {
        CBuildDlg dialog;
        dialog.SetWriterFactory([](platform::WindowHandle owner) {
            CWriter* writer = NewWriter<fakes::ThreeByteWriter>(owner);
            writer->mode = kModeRealtime;
            writer->Start(1);
            return writer;
        });
        if (!dialog.LoadWordList(folder + "list.edq")) return 1;
        auto* list = dialog.findChild<QListWidget*>("strokeList");
        QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, list,
                         [&](const QModelIndex&, int first, int last) {
                             const std::int64_t now = NowUs();
                             for (int row = first; row <= last; ++row) {
                                 const int k = count.load();
                                 if (k < n) listed[static_cast<std::size_t>(k)] = now;
                                 count.store(k + 1);
                             }
                         });
        QTimer::singleShot(0, &dialog, [&] {
            writerSide = std::thread([&] {
                SendThenAwait(
                    n, intervalUs, 50, [&](int i) { pty.Send(ThreeBytes(i)); }, sent,
                    [&] { return count.load(); },
                    [&dialog] {
                        QMetaObject::invokeMethod(&dialog, [&dialog] { dialog.done(QDialog::Accepted); },
                                                  Qt::QueuedConnection);
                    });
            });
        });
        dialog.Run();
        writerSide.join();
    }
    fakes::UseLineSettings(1);
    return Report("CBuildDlg", LatenciesOf(listed, count.load(), n, sent));
}

// CWriterTR reads the keyboard-hook library, not the line: the library's own reader runs on a
// scripted HID device, and the latency runs from the release report being handed to it.
kbdhook::KeyboardHook* trealHook = nullptr;
int OpenTrealHook(TrealKeyboardCallbackFn callback) { return trealHook->Open(callback); }
unsigned CloseTrealHook() { return trealHook->Close(); }

int MeasureTr(Owner& owner, int n, int intervalUs) {
    const std::string path = "/dev/hidraw-bench";
    FakeHidBackend device;
    device.Add(path, kbdhook::kTrealVendorId, kbdhook::kTrealProductId, VendorDescriptor(7));
    kbdhook::KeyboardHook hook(device);
    trealHook = &hook;
    const CWriterTR::Library saved = CWriterTR::library;
    CWriterTR::library = {OpenTrealHook, CloseTrealHook};
    std::unique_ptr<CWriter> writer(NewWriter<CWriterTR>(owner.Handle()));
    writer->mode = kModeRealtime;
    writer->Start(1);
    owner.Reset(writer.get(), n);
    const std::vector<std::int64_t> sent = SendSteadily(owner, n, intervalUs, 50, [&](int i) {
        // hidraw leaves out the unnumbered report's id byte: this is report byte 1
        device.SendReport(path, {std::uint8_t(1 << (i % 8)), 0, 0, 0, 0, 0, 0});
        device.SendReport(path, {0, 0, 0, 0, 0, 0, 0});
    });
    writer.reset();
    CWriterTR::library = saved;
    trealHook = nullptr;
    return Report("CWriterTR", owner, n, sent);
}

}  // namespace

namespace {

// Reconnect: a writer unplugged and a new device behind the same COMn link, timed from the
// moment the new device is there until the driver has queued the first stroke written on it.
// The writer sends a stroke every few milliseconds from then on, so the time is the driver's
// search (about once a second) and its start-up exchange, give or take that spacing.
constexpr int kReconnectPort = 3;
constexpr int kReconnectStrokeGapMs = 5;

// Waits until the writer says `state` (at most `limitMs`).
bool AwaitState(CWriter& writer, ConnectionState state, int limitMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(limitMs);
    while (writer.GetConnectionStatus().state != state) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Sends `packet` every few milliseconds on `pty` until the writer has queued a stroke; the
// moment it had one (0 when none came within the limit).
std::int64_t FirstStrokeWhileSending(CWriter& writer, sim::PtyPair& pty, const std::string& packet, int limitMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(limitMs);
    auto nextSend = Clock::now();
    TrackStroke stroke;
    while (Clock::now() < end) {
        if (writer.GetStroke(&stroke)) return NowUs();
        if (Clock::now() >= nextSend) {
            pty.Send(packet);
            nextSend += std::chrono::milliseconds(kReconnectStrokeGapMs);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return 0;
}

// One row per driver: `trials` unplug-and-replug cycles of a driver whose writer streams.
int MeasureReconnectStream(const char* name, CWriter* (*make)(platform::WindowHandle), const std::string& packet,
                           int trials) {
    Result result;
    fakes::UseLineSettings(kReconnectPort);
    auto first = std::make_unique<sim::PtyPair>(kReconnectPort);
    // No owner: the row takes the strokes itself, so no event loop is needed.
    std::unique_ptr<CWriter> writer(make(platform::kNoWindow));
    writer->mode = kModeRealtime;
    writer->Start(1);
    for (int t = 0; t < trials; ++t) {
        first->Vanish();
        if (!AwaitState(*writer, ConnectionState::Gone, 5000)) break;
        // Replugged at a different point of the driver's once-a-second search each time.
        std::this_thread::sleep_for(std::chrono::milliseconds(137 * t % 1000));
        auto next = std::make_unique<sim::PtyPair>(kReconnectPort);
        const std::int64_t appeared = NowUs();
        const std::int64_t delivered = FirstStrokeWhileSending(*writer, *next, packet, 10000);
        if (delivered == 0) {
            ++result.lost;
        } else {
            result.latencies.push_back(delivered - appeared);
        }
        TrackStroke stroke;
        while (writer->GetStroke(&stroke)) {
        }
        first = std::move(next);
    }
    writer->Stop();
    fakes::UseLineSettings(1);
    return Report(name, std::move(result));
}

// The request/reply drivers: the new device holds what the writer held and one stroke more,
// which the driver asks for once it has set the session up again. Also timed from the first
// byte the driver wrote to the new device, its port opened again ("<name> exchange"): the
// difference is the wait for the next try to open the port. The SG writer's start-up exchange
// begins with a zero header and a 1 s pause, so its exchange alone takes more than a second.
template <class Simulator>
int MeasureReconnectRequestReply(const char* name, CWriter* (*make)(platform::WindowHandle),
                                 void (*write)(Simulator&, int), int trials) {
    Result fromAppearing, fromExchange;
    fakes::UseLineSettings(kReconnectPort);
    auto line = std::make_unique<Simulator>(kReconnectPort);
    std::unique_ptr<CWriter> writer(make(platform::kNoWindow));
    writer->mode = kModeRealtime;
    writer->Start(1);
    int held = 0;
    write(*line, held++);  // the session runs
    TrackStroke stroke;
    for (const auto end = Clock::now() + std::chrono::seconds(10); !writer->GetStroke(&stroke) && Clock::now() < end;)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    for (int t = 0; t < trials; ++t) {
        line->Vanish();
        if (!AwaitState(*writer, ConnectionState::Gone, 5000)) break;
        line.reset();  // its link goes with it
        std::this_thread::sleep_for(std::chrono::milliseconds(137 * t % 1000));
        line = std::make_unique<Simulator>(kReconnectPort);
        const std::int64_t appeared = NowUs();
        for (int i = 0; i <= held; ++i) write(*line, i);
        ++held;
        std::int64_t spoke = 0, delivered = 0;
        for (const auto end = Clock::now() + std::chrono::seconds(10); delivered == 0 && Clock::now() < end;) {
            if (spoke == 0 && line->WaitForReceived(1, 0)) spoke = NowUs();
            if (writer->GetStroke(&stroke)) delivered = NowUs();
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        if (delivered == 0) {
            ++fromAppearing.lost;
            ++fromExchange.lost;
            continue;
        }
        fromAppearing.latencies.push_back(delivered - appeared);
        fromExchange.latencies.push_back(delivered - spoke);
        while (writer->GetStroke(&stroke)) {
        }
    }
    writer->Stop();
    fakes::UseLineSettings(1);
    Print((std::string(name) + " exchange").c_str(), std::move(fromExchange));
    return Report(name, std::move(fromAppearing));
}

void WriteSgStroke(SgSimulator& sim, int i) { sim.Model().Write(0x20, std::uint8_t(i >> 8), std::uint8_t(i)); }
void WriteSrStroke(sim::SrSimulator& sim, int i) { sim.Write({0x20, std::uint8_t(i >> 8), std::uint8_t(i)}); }

int MeasureReconnect(Owner&, int n, int) {
    const int trials = n < 100 ? 2 : 10;
    return MeasureReconnectStream("reconnect CWriterGM", Make<CWriterGM>, GeminiStroke(1), trials) +
           MeasureReconnectRequestReply<SgSimulator>("reconnect CWriterSG", Make<CWriterSG>, WriteSgStroke, trials) +
           MeasureReconnectRequestReply<sim::SrSimulator>("reconnect CWriterSR", Make<CWriterSR>, WriteSrStroke, trials);
}

}  // namespace

int main(int argc, char** argv) {
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const std::vector<std::string> only(argv + 1 + (smoke ? 1 : 0), argv + argc);
    auto chosen = [&](const char* name) {
        return only.empty() || std::find(only.begin(), only.end(), name) != only.end();
    };
    const int n = smoke ? 20 : 1000;
    const int intervalUs = smoke ? 2000 : 4000;

    // A private HOME and device folder: the pseudo-terminal's COM1 link must never replace the
    // user's own.
    testenv::SetUp();
    // The build dialog's row needs widgets; no display is needed.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    Owner owner;
    sim::PtyPair pty(1);
    if (!pty.IsOpen()) {
        std::fprintf(stderr, "no pseudo-terminal: %s\n", pty.Error().c_str());
        return 1;
    }
    fakes::UseLineSettings(1);

    {
        owner.Reset(nullptr, n);
        BareReader reader(pty.SlavePath(), owner.Handle());
        if (!reader.IsOpen()) return 1;
        Print("floor", Measure(pty, owner, n, intervalUs, ThreeBytes));
    }
    {
        std::atomic<int> written{0};
        int answered = 0;  // the simulator's thread only
        ReplyStamps stamps;
        sim::WriterSimulator line(0);
        line.SetRequestHandler([&](const std::string& pending, std::string& reply) -> std::size_t {
            if (pending.size() < kBareRequestSize) return 0;
            const int strokes = std::min(written.load() - answered, 255);
            answered += strokes;
            reply.assign(kBareReplyHeader + 4 * std::size_t(strokes), '\x20');
            reply[2] = char(reply.size() & 0xFF);
            reply[3] = char(reply.size() >> 8);
            return kBareRequestSize;
        });
        line.SetReplySentHandler([&](const std::string& reply) {
            stamps.Sent(int((reply.size() - kBareReplyHeader) / 4));
        });
        std::atomic<int> available{0};
        owner.ResetCounted(&available, n);
        BareRequester requester(line.Pty().SlavePath(), owner.Handle(), available);
        if (!requester.IsOpen()) return 1;
        SendSteadily(owner, n, intervalUs, 0, [&](int) { ++written; });
        Print("floor request/reply", Latencies(owner, n, stamps.Taken(n)));
    }
    int failures = 0;
    for (const DriverRow& row : kDrivers) {
        if (!chosen(row.name)) continue;
        if (row.session) {
            failures += row.session(owner, n, intervalUs);
            continue;
        }
        std::unique_ptr<CWriter> writer(row.make(owner.Handle()));
        writer->mode = kModeRealtime;
        writer->keyboardLayout = GetSettings().keyboardLayout;
        owner.Reset(writer.get(), n);
        Responder responder(pty, row.answer);
        writer->Start(1);
        Result result = Measure(pty, owner, n, intervalUs, row.packet);
        writer->Stop();
        failures += Report(row.name, std::move(result));
    }
    testenv::TearDown();
    return smoke && failures ? 1 : 0;
}
