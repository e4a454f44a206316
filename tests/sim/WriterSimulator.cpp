#include "tests/sim/WriterSimulator.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>

namespace sim {

std::string Hex(const std::string& bytes) {
    std::string out;
    char piece[4];
    for (unsigned char c : bytes) {
        std::snprintf(piece, sizeof piece, "%02X", c);
        if (!out.empty()) out += ' ';
        out += piece;
    }
    return out;
}

WriterSimulator::StepBuilder::StepBuilder(WriterSimulator& simulator, std::string request)
    : simulator_(simulator), request_(std::move(request)) {}

WriterSimulator::StepBuilder::~StepBuilder() {
    if (!committed_) Commit(Step::Action::Stall);
}

void WriterSimulator::StepBuilder::Reply(std::string bytes) {
    Commit(Step::Action::Reply, std::move(bytes));
}

void WriterSimulator::StepBuilder::Stall() { Commit(Step::Action::Stall); }

void WriterSimulator::StepBuilder::Vanish() { Commit(Step::Action::Vanish); }

void WriterSimulator::StepBuilder::Commit(Step::Action action, std::string reply) {
    if (committed_) return;
    committed_ = true;
    simulator_.AddStep(Step{request_, std::move(reply), action});
}

WriterSimulator::WriterSimulator(int comNumber) : pty_(comNumber) {
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (pty_.IsOpen() && wakeFd_ >= 0) thread_ = std::thread(&WriterSimulator::Run, this);
}

WriterSimulator::~WriterSimulator() {
    StopThread();
    if (wakeFd_ >= 0) close(wakeFd_);
}

std::string WriterSimulator::PortSpec(const std::string& settings) const {
    return pty_.PortSpec(settings);
}

void WriterSimulator::StopThread() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    std::uint64_t one = 1;
    if (wakeFd_ >= 0 && write(wakeFd_, &one, sizeof one) < 0) {
        // the counter is far from full; nothing to do
    }
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

WriterSimulator::StepBuilder WriterSimulator::Expect(std::string request) {
    return StepBuilder(*this, std::move(request));
}

void WriterSimulator::AddStep(Step step) {
    std::lock_guard<std::mutex> guard(lock_);
    script_.push_back(std::move(step));
}

bool WriterSimulator::WaitForScript(int timeoutMs) {
    std::unique_lock<std::mutex> lock(lock_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [this] { return script_.empty(); });
}

void WriterSimulator::SetReplySentHandler(std::function<void(const std::string&)> handler) {
    std::lock_guard<std::mutex> guard(lock_);
    replySent_ = std::move(handler);
}

void WriterSimulator::SetRequestHandler(RequestHandler handler) {
    std::lock_guard<std::mutex> guard(lock_);
    handler_ = std::move(handler);
}

void WriterSimulator::SetSilent(bool silent) {
    std::lock_guard<std::mutex> guard(lock_);
    silent_ = silent;
}

void WriterSimulator::SetByteDelay(int ms) {
    std::lock_guard<std::mutex> guard(lock_);
    byteDelayMs_ = ms;
}

void WriterSimulator::CorruptAt(std::size_t offset, std::uint8_t mask) {
    std::lock_guard<std::mutex> guard(lock_);
    corruptions_[sent_ + offset] ^= mask;
}

bool WriterSimulator::Vanished() const {
    std::lock_guard<std::mutex> guard(lock_);
    return vanished_;
}

void WriterSimulator::Vanish() {
    StopThread();
    std::lock_guard<std::mutex> sending(sendLock_);
    pty_.Vanish();
    std::lock_guard<std::mutex> guard(lock_);
    vanished_ = true;
    changed_.notify_all();
}

std::string WriterSimulator::Received() const {
    std::lock_guard<std::mutex> guard(lock_);
    return received_;
}

bool WriterSimulator::WaitForReceived(std::size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(lock_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return received_.size() >= count; });
}

std::vector<std::string> WriterSimulator::Problems() const {
    std::lock_guard<std::mutex> guard(lock_);
    return problems_;
}

std::size_t WriterSimulator::SentCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return sent_;
}

bool WriterSimulator::Send(const std::string& bytes) {
    std::lock_guard<std::mutex> sending(sendLock_);
    return SendLocked(bytes);
}

bool WriterSimulator::SendWithPause(const std::string& bytes, std::size_t at, int pauseMs) {
    if (!Send(bytes.substr(0, at))) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    return Send(bytes.substr(std::min(at, bytes.size())));
}

bool WriterSimulator::SendLocked(const std::string& bytes) {
    bool silent;
    int delay;
    std::string out = bytes;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (vanished_) return false;
        silent = silent_;
        delay = byteDelayMs_;
        for (std::size_t i = 0; i < out.size(); ++i) {
            auto it = corruptions_.find(sent_ + i);
            if (it == corruptions_.end()) continue;
            out[i] = static_cast<char>(static_cast<std::uint8_t>(out[i]) ^ it->second);
            corruptions_.erase(it);
        }
        sent_ += out.size();
    }
    if (silent) return true;
    if (delay <= 0) return pty_.Send(out);
    for (char c : out) {
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        if (!pty_.Send(std::string(1, c))) return false;
    }
    return true;
}

std::size_t WriterSimulator::OnRequest(const std::string& pending, std::string& reply) {
    RequestHandler handler;
    {
        std::lock_guard<std::mutex> guard(lock_);
        handler = handler_;
    }
    if (!handler) return pending.size();  // a writer that ignores what it is sent
    return handler(pending, reply);
}

void WriterSimulator::Run() {
    const int master = pty_.MasterFd();
    for (;;) {
        pollfd fds[2] = {{master, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        int n = poll(fds, 2, -1);
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (stopping_) return;
        }
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (!(fds[0].revents & POLLIN)) {
            // No slave end open at this instant (the port is being reopened): look again soon.
            if (fds[0].revents & (POLLHUP | POLLERR))
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        char buffer[4096];
        ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0) continue;
        {
            std::lock_guard<std::mutex> guard(lock_);
            received_.append(buffer, static_cast<std::size_t>(got));
            pending_.append(buffer, static_cast<std::size_t>(got));
            changed_.notify_all();
        }
        HandlePending();
        std::lock_guard<std::mutex> guard(lock_);
        if (vanished_) return;
    }
}

void WriterSimulator::HandlePending() {
    for (;;) {
        std::string pending;
        bool scripted = false;
        Step step;
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (pending_.empty() || vanished_) return;
            if (!script_.empty()) {
                scripted = true;
                step = script_.front();
                std::size_t n = std::min(pending_.size(), step.request.size());
                if (pending_.compare(0, n, step.request, 0, n) != 0) {
                    problems_.push_back("expected request " + Hex(step.request) + ", received " +
                                        Hex(pending_.substr(0, step.request.size())));
                    pending_.erase(0, n);
                    script_.pop_front();
                    changed_.notify_all();
                    continue;
                }
                if (pending_.size() < step.request.size()) return;  // the rest is on its way
                pending_.erase(0, step.request.size());
                script_.pop_front();
            } else {
                pending = pending_;
            }
        }
        if (scripted) {
            switch (step.action) {
                case Step::Action::Reply:
                    Send(step.reply);
                    break;
                case Step::Action::Stall:
                    break;
                case Step::Action::Vanish: {
                    std::lock_guard<std::mutex> sending(sendLock_);
                    pty_.Vanish();
                    std::lock_guard<std::mutex> guard(lock_);
                    vanished_ = true;
                    break;
                }
            }
            std::lock_guard<std::mutex> guard(lock_);
            changed_.notify_all();
            continue;
        }
        std::string reply;
        std::size_t used = OnRequest(pending, reply);
        {
            std::lock_guard<std::mutex> guard(lock_);
            pending_.erase(0, std::min(used, pending_.size()));
        }
        if (!reply.empty() && Send(reply)) {
            std::function<void(const std::string&)> sent;
            {
                std::lock_guard<std::mutex> guard(lock_);
                sent = replySent_;
            }
            if (sent) sent(reply);
        }
        if (used == 0) return;
    }
}

}  // namespace sim
