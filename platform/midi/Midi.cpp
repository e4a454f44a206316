#include "platform/midi/Midi.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <RtMidi.h>
#include <algorithm>
#include <functional>
#include <set>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/midi/HeldNotes.h"

namespace {

constexpr const char* kClientName = "Dictionary Quillfast";
constexpr const char* kPortName = "Steno keyboard";
// Far more notes than a keyboard sends between two polls; past it the newest are dropped.
constexpr std::size_t kQueueLimit = 1u << 20;

void QuietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

// Connects readable hardware ports to the input port, now and whenever one appears, and tells
// when one of them goes: a client of its own, like aconnect, so the input itself stays RtMidi's.
class PortConnector {
public:
    ~PortConnector() { Stop(); }

    // `lost` runs on the watcher's thread when a connected port goes away.
    void Start(int destClient, int destPort, std::function<void()> lost) {
        lost_ = std::move(lost);
        if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0) {
            seq_ = nullptr;
            return;
        }
        snd_seq_set_client_name(seq_, kClientName);
        dest_ = {std::uint8_t(destClient), std::uint8_t(destPort)};
        ownClient_ = snd_seq_client_id(seq_);
        announcePort_ = snd_seq_create_simple_port(
            seq_, "announcements", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT,
            SND_SEQ_PORT_TYPE_APPLICATION);
        if (announcePort_ >= 0)
            snd_seq_connect_from(seq_, announcePort_, SND_SEQ_CLIENT_SYSTEM,
                                 SND_SEQ_PORT_SYSTEM_ANNOUNCE);
        ConnectAll();
        stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (announcePort_ >= 0 && stopFd_ >= 0) watcher_ = std::thread([this] { Watch(); });
    }

    void Stop() {
        if (watcher_.joinable()) {
            std::uint64_t one = 1;
            (void)!write(stopFd_, &one, sizeof one);
            watcher_.join();
        }
        if (stopFd_ >= 0) close(stopFd_);
        stopFd_ = -1;
        if (seq_) snd_seq_close(seq_);
        seq_ = nullptr;
        connected_.clear();
    }

private:
    void ConnectAll() {
        snd_seq_client_info_t* client;
        snd_seq_port_info_t* port;
        snd_seq_client_info_alloca(&client);
        snd_seq_port_info_alloca(&port);
        snd_seq_client_info_set_client(client, -1);
        while (snd_seq_query_next_client(seq_, client) >= 0) {
            snd_seq_port_info_set_client(port, snd_seq_client_info_get_client(client));
            snd_seq_port_info_set_port(port, -1);
            while (snd_seq_query_next_port(seq_, port) >= 0) Connect(port);
        }
    }

    void ConnectNew(int client, int portNumber) {
        snd_seq_port_info_t* port;
        snd_seq_port_info_alloca(&port);
        if (snd_seq_get_any_port_info(seq_, client, portNumber, port) >= 0) Connect(port);
    }

    void Connect(const snd_seq_port_info_t* port) {
        const snd_seq_addr_t* from = snd_seq_port_info_get_addr(port);
        if (from->client == SND_SEQ_CLIENT_SYSTEM || from->client == ownClient_ ||
            from->client == dest_.client)
            return;
        const unsigned readable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
        if ((snd_seq_port_info_get_capability(port) & readable) != readable) return;
        if (!(snd_seq_port_info_get_type(port) & SND_SEQ_PORT_TYPE_HARDWARE)) return;
        snd_seq_port_subscribe_t* subscription;
        snd_seq_port_subscribe_alloca(&subscription);
        snd_seq_port_subscribe_set_sender(subscription, from);
        snd_seq_port_subscribe_set_dest(subscription, &dest_);
        snd_seq_subscribe_port(seq_, subscription);  // already connected: nothing to do
        connected_.insert({from->client, from->port});
    }

    // A port we read from went (its client with it, or its connection to us).
    void NoteGone(const snd_seq_event_t& event) {
        bool ours = false;
        if (event.type == SND_SEQ_EVENT_PORT_EXIT) {
            ours = connected_.erase({event.data.addr.client, event.data.addr.port}) > 0;
        } else if (event.type == SND_SEQ_EVENT_CLIENT_EXIT) {
            for (auto it = connected_.begin(); it != connected_.end();)
                if (it->first == event.data.addr.client) {
                    it = connected_.erase(it);
                    ours = true;
                } else {
                    ++it;
                }
        } else if (event.type == SND_SEQ_EVENT_PORT_UNSUBSCRIBED) {
            const snd_seq_addr_t& from = event.data.connect.sender;
            const snd_seq_addr_t& to = event.data.connect.dest;
            ours = to.client == dest_.client && to.port == dest_.port &&
                   connected_.erase({from.client, from.port}) > 0;
        }
        if (ours && lost_) lost_();
    }

    void Watch() {
        const int count = snd_seq_poll_descriptors_count(seq_, POLLIN);
        std::vector<pollfd> fds(std::size_t(count) + 1);
        snd_seq_poll_descriptors(seq_, fds.data(), unsigned(count), POLLIN);
        fds[std::size_t(count)] = {stopFd_, POLLIN, 0};
        for (;;) {
            if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) return;
            if (fds[std::size_t(count)].revents) return;
            // A sequencer that went wrong would wake this loop for ever: stop watching.
            for (int i = 0; i < count; ++i)
                if (fds[std::size_t(i)].revents & (POLLERR | POLLHUP | POLLNVAL)) return;
            snd_seq_event_t* event = nullptr;
            while (snd_seq_event_input(seq_, &event) >= 0 && event) {
                if (event->type == SND_SEQ_EVENT_PORT_START)
                    ConnectNew(event->data.addr.client, event->data.addr.port);
                else
                    NoteGone(*event);
            }
        }
    }

    snd_seq_t* seq_ = nullptr;
    snd_seq_addr_t dest_{};
    int ownClient_ = -1;
    int announcePort_ = -1;
    int stopFd_ = -1;
    std::thread watcher_;
    std::set<std::pair<int, int>> connected_;  // (client, port) subscribed to us
    std::function<void()> lost_;
};

// RtMidi reports a missing sequencer with a message of its own on every try; tell it once.
bool SequencerPresent() {
    snd_seq_t* seq = nullptr;
    const int result = snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK);
    if (result >= 0) {
        snd_seq_close(seq);
        return true;
    }
    static std::atomic<bool> told{false};
    if (!told.exchange(true))
        std::fprintf(stderr,
                     "Dictionary Quillfast: no MIDI input: the ALSA sequencer (/dev/snd/seq) "
                     "cannot be opened (%s)\n",
                     snd_strerror(result));
    return false;
}

// Our input port as the sequencer knows it: RtMidi does not tell its own address.
bool FindOwnPort(int& client, int& portNumber) {
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0) return false;
    snd_seq_client_info_t* info;
    snd_seq_port_info_t* port;
    snd_seq_client_info_alloca(&info);
    snd_seq_port_info_alloca(&port);
    snd_seq_client_info_set_client(info, -1);
    bool found = false;
    while (!found && snd_seq_query_next_client(seq, info) >= 0) {
        if (snd_seq_client_info_get_pid(info) != getpid() ||
            std::string(snd_seq_client_info_get_name(info)) != kClientName)
            continue;
        snd_seq_port_info_set_client(port, snd_seq_client_info_get_client(info));
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(seq, port) >= 0) {
            if (std::string(snd_seq_port_info_get_name(port)) == kPortName) {
                client = snd_seq_port_info_get_client(port);
                portNumber = snd_seq_port_info_get_port(port);
                found = true;
                break;
            }
        }
    }
    snd_seq_close(seq);
    return found;
}

}  // namespace

struct Midi::Input {
    std::mutex lock;
    std::condition_variable arrived;
    std::deque<MidiEvent> events;
    bool interrupted = false;
    bool running = false;
    HeldNotes held;
    std::unique_ptr<RtMidiIn> in;
    PortConnector connector;

    static void OnMessage(double, std::vector<unsigned char>* message, void* user) {
        if (!message || message->empty()) return;
        auto* input = static_cast<Input*>(user);
        const MidiEvent event{(*message)[0], message->size() > 1 ? (*message)[1] : 0,
                              message->size() > 2 ? (*message)[2] : 0};
        {
            std::lock_guard<std::mutex> guard(input->lock);
            if (!input->running || input->events.size() >= kQueueLimit) return;
            input->events.push_back(event);
            input->held.Note(event);
        }
        input->arrived.notify_all();
    }

    // The releases of a keyboard that went will never come: they are made here.
    void PortLost() {
        {
            std::lock_guard<std::mutex> guard(lock);
            if (!running) return;
            for (const MidiEvent& release : held.ReleaseAll()) events.push_back(release);
        }
        arrived.notify_all();
    }
};

Midi::Midi(unsigned /*flags*/) : input_(std::make_unique<Input>()) {}

Midi::~Midi() { Midi::threadEnd(); }

void Midi::threadBegin() {
    Midi::threadEnd();
    {
        std::lock_guard<std::mutex> guard(input_->lock);
        input_->running = true;
        input_->interrupted = false;
    }
    snd_lib_error_set_handler(QuietAlsaErrors);
    if (!SequencerPresent()) {
        snd_lib_error_set_handler(nullptr);
        return;
    }
    try {
        auto in = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, kClientName);
        in->ignoreTypes(true, true, true);  // sysex, clock and active sensing carry no keys
        in->setCallback(&Input::OnMessage, input_.get());
        in->openVirtualPort(kPortName);
        input_->in = std::move(in);
    } catch (const RtMidiError& e) {
        std::fprintf(stderr,
                     "Dictionary Quillfast: no MIDI input (%s); is the ALSA sequencer "
                     "(/dev/snd/seq) there?\n",
                     e.getMessage().c_str());
    }
    int client = 0, port = 0;
    Input* input = input_.get();
    if (input_->in && FindOwnPort(client, port))
        input_->connector.Start(client, port, [input] { input->PortLost(); });
    snd_lib_error_set_handler(nullptr);
}

unsigned Midi::poll(MidiEvent* buffer) {
    std::lock_guard<std::mutex> guard(input_->lock);
    const std::size_t n = std::min<std::size_t>(input_->events.size(), kMaxEvents);
    std::copy_n(input_->events.begin(), n, buffer);
    input_->events.erase(input_->events.begin(), input_->events.begin() + std::ptrdiff_t(n));
    return unsigned(n);
}

void Midi::threadEnd() {
    input_->connector.Stop();
    if (input_->in) {
        try {
            input_->in->cancelCallback();
            input_->in->closePort();
        } catch (const RtMidiError&) {
        }
        input_->in.reset();
    }
    std::lock_guard<std::mutex> guard(input_->lock);
    input_->running = false;
    input_->events.clear();
    input_->held = HeldNotes{};
}

bool Midi::wait(int ms) {
    std::unique_lock<std::mutex> lock(input_->lock);
    input_->arrived.wait_for(lock, std::chrono::milliseconds(std::max(ms, 0)), [this] {
        return !input_->events.empty() || input_->interrupted;
    });
    return !input_->events.empty();
}

void Midi::interrupt() {
    {
        std::lock_guard<std::mutex> guard(input_->lock);
        input_->interrupted = true;
    }
    input_->arrived.notify_all();
}
