#pragma once
// A pseudo-terminal pair standing in for a writer on a serial cable. The slave is the
// program's side: it is reached as COMn through a link in the device folder
// ($XDG_CONFIG_HOME/DQS/devices/COMn), so a port opened with "COMn:..." talks to it. The
// master is the writer's side: simulators write what the writer sends and read what the
// program wrote. Both sides are raw, so every byte passes unchanged.
//
// The pair also keeps a slave descriptor of its own (never read) so that the line settings the
// program applied can be read back, and so that the master does not see a hang-up between the
// program's closing and reopening of the port.
#include <termios.h>

#include <cstdint>
#include <string>

namespace sim {

class PtyPair {
public:
    // Opens the pair and links COM<comNumber> to the slave (no link for 0).
    explicit PtyPair(int comNumber = 1);
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    // False when no pseudo-terminal could be opened (the tests then fail with Error()).
    bool IsOpen() const { return master_ >= 0; }
    const std::string& Error() const { return error_; }

    const std::string& SlavePath() const { return slavePath_; }
    // "COM3"
    std::string PortName() const;
    // "COM3:" + settings
    std::string PortSpec(const std::string& settings = "9600,n,8,1") const;
    // The link's path in the device folder (empty for comNumber 0).
    const std::string& LinkPath() const { return linkPath_; }
    int MasterFd() const { return master_; }

    // Writes all bytes on the writer's side; false if the master is closed or a write failed.
    bool Send(const std::string& bytes);
    // Reads what the program wrote: returns once `count` bytes have come or `timeoutMs` (real
    // time) has passed, with what came.
    std::string Receive(std::size_t count, int timeoutMs);
    // Everything that arrives until the line has been quiet for quietMs (at most maxMs in all).
    std::string ReceiveUntilQuiet(int quietMs, int maxMs = 5000);
    // Bytes sent that the program's side has not read yet (-1 when that cannot be told). A
    // hang-up (Vanish) throws them away, so a test that wants them read waits for 0 first.
    int Unread() const;

    // The line settings on the slave now (as the program set them).
    bool SlaveSettings(termios& out) const;
    // The rate on the slave now, as termios2 reports it.
    std::uint32_t SlaveBaudRate() const;

    // The writer goes away: closes the master, so the slave hangs up.
    void Vanish();

private:
    int master_ = -1;
    int observer_ = -1;  // the pair's own slave descriptor
    int comNumber_ = 0;
    std::string slavePath_;
    std::string linkPath_;
    std::string error_;
};

}  // namespace sim
