#pragma once
// A writer with no connection of its own, for the owner windows' connection line: the test
// sets its status as a driver does (the owner is told by its message) and queues its strokes,
// the first of which turns a shown status into Receiving, as for every writer.
#include <string>

#include "writers/CWriter.h"

namespace fakes {

class StatusWriter : public CWriter {
public:
    using CWriter::CWriter;
    void Start(unsigned) override {}
    using CWriter::SetConnectionStatus;
    void Set(ConnectionState state, const std::string& device, const std::string& reason = {}) {
        ConnectionStatus status;
        status.state = state;
        status.device = device;
        status.reason = reason;
        SetConnectionStatus(status);
    }
};

}  // namespace fakes
