#pragma once
// The writer's side of a pseudo-terminal pair, for driver session tests. The program's port
// opens COMn (the pair's slave); the simulator holds the master and plays the steno writer:
//
//  * it sends bytes on its own (strokes): Send;
//  * it answers the driver's requests: scripted steps checked byte for byte (Expect), then a
//    hook (SetRequestHandler) with the writer's own logic, which a subclass hands over;
//  * it misbehaves on cue: silent (answers and sends nothing), slow (a pause before every
//    byte), corrupt (chosen bytes flipped), vanished (the master closed: the port hangs up);
//  * it records every byte the driver wrote (Received, WaitForReceived) and every surprise
//    (Problems: a request that differs from the script, bytes nobody expected).
//
// A thread of the simulator reads what the driver writes and answers it; tests call the rest
// from their own thread. Waits take real time and a bound: never assert on how long they took.
// See tests/sim/README.md.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/sim/PtyPair.h"

namespace sim {

class WriterSimulator {
public:
    // One scripted exchange: the request the driver must write, then what the writer does.
    struct Step {
        enum class Action { Reply, Stall, Vanish };
        std::string request;
        std::string reply;
        Action action = Action::Stall;
    };
    // Expect(request) names the request; the step joins the script when its action is given
    // (or, with none, as a stall at the end of the statement).
    class StepBuilder {
    public:
        StepBuilder(WriterSimulator& simulator, std::string request);
        ~StepBuilder();
        StepBuilder(const StepBuilder&) = delete;
        StepBuilder& operator=(const StepBuilder&) = delete;
        // Answers these bytes (through the fault settings).
        void Reply(std::string bytes);
        // Answers nothing: the writer ignores the request.
        void Stall();
        // Goes away instead of answering (see Vanish).
        void Vanish();

    private:
        void Commit(Step::Action action, std::string reply = {});
        WriterSimulator& simulator_;
        std::string request_;
        bool committed_ = false;
    };

    // Looks at the bytes the driver wrote and not yet consumed (`pending`): returns how many of
    // them form a complete request (0: wait for more) and puts the writer's answer in `reply`.
    using RequestHandler = std::function<std::size_t(const std::string& pending, std::string& reply)>;

    explicit WriterSimulator(int comNumber = 1);
    // Subclasses whose handler uses their own members call StopThread() first in their
    // destructor.
    virtual ~WriterSimulator();
    WriterSimulator(const WriterSimulator&) = delete;
    WriterSimulator& operator=(const WriterSimulator&) = delete;

    bool IsOpen() const { return pty_.IsOpen(); }
    const std::string& Error() const { return pty_.Error(); }
    // "COM1:9600,n,8,1" for the pair's port.
    std::string PortSpec(const std::string& settings = "9600,n,8,1") const;
    PtyPair& Pty() { return pty_; }

    // ---- the writer's behaviour --------------------------------------------------------
    // Adds a step to the script; steps are met in order:
    //   sim.Expect("B").Reply("B");   sim.Expect("S").Stall();   sim.Expect("R").Vanish();
    StepBuilder Expect(std::string request);
    // True once every scripted step has been met (waits at most timeoutMs).
    bool WaitForScript(int timeoutMs);
    void SetRequestHandler(RequestHandler handler);
    // Called on the simulator's thread with each answer to a request once its last byte has
    // been written to the line.
    void SetReplySentHandler(std::function<void(const std::string& reply)> handler);
    // Sends bytes now, as the writer would (through the fault settings). False once vanished.
    bool Send(const std::string& bytes);
    // Sends the first `at` bytes, pauses `pauseMs`, then sends the rest: a writer that stops
    // inside a packet and goes on after the pause.
    bool SendWithPause(const std::string& bytes, std::size_t at, int pauseMs);

    // ---- faults ------------------------------------------------------------------------
    void SetSilent(bool silent);
    // A pause of `ms` before every byte sent.
    void SetByteDelay(int ms);
    // XORs `mask` into the byte sent `offset` bytes from now (0: the next byte).
    void CorruptAt(std::size_t offset, std::uint8_t mask = 0xFF);
    // Closes the master: the program's port sees the device go. Nothing is sent afterwards.
    void Vanish();
    bool Vanished() const;

    // ---- what the driver did -----------------------------------------------------------
    std::string Received() const;
    // True once at least `count` bytes have been received in all (waits at most timeoutMs).
    bool WaitForReceived(std::size_t count, int timeoutMs) const;
    // Requests that differed from the script and bytes that no step or handler took.
    std::vector<std::string> Problems() const;
    // Bytes sent so far (after the fault settings).
    std::size_t SentCount() const;

protected:
    // Ends the simulator's thread; idempotent.
    void StopThread();

private:
    // The handler, for bytes no scripted step is waiting for; without one, takes them all.
    // Not virtual: the thread runs from the base's constructor on, and a virtual call would
    // read the object's virtual table while a subclass's constructor is still writing it.
    std::size_t OnRequest(const std::string& pending, std::string& reply);
    void AddStep(Step step);
    void Run();
    void HandlePending();
    bool SendLocked(const std::string& bytes);

    PtyPair pty_;
    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    std::mutex sendLock_;  // one sender at a time, so answers and strokes never interleave
    std::deque<Step> script_;
    RequestHandler handler_;
    std::function<void(const std::string&)> replySent_;
    std::string received_;
    std::string pending_;
    std::vector<std::string> problems_;
    std::map<std::size_t, std::uint8_t> corruptions_;  // absolute send index -> mask
    std::size_t sent_ = 0;
    bool silent_ = false;
    int byteDelayMs_ = 0;
    bool vanished_ = false;
    bool stopping_ = false;
    int wakeFd_ = -1;
    std::thread thread_;
};

// Bytes as "7E 20 00 00", for messages.
std::string Hex(const std::string& bytes);

}  // namespace sim
