#pragma once
// How CreateWriter runs a writer's Start. A start-up exchange may wait many seconds for a
// writer that does not answer; the program installs a runner that runs Start on a worker
// thread while the user-interface thread keeps painting and shows that it is connecting,
// with a Cancel that ends the wait (CWriter::CancelStart). Without one, Start runs on the
// calling thread, as tests want it.
class CWriter;

class StartRunner {
public:
    virtual ~StartRunner() = default;
    // Runs writer.Start(argument) and returns once it has returned.
    virtual void Run(CWriter& writer, unsigned argument) = 0;
};

// Installs the runner for the whole process and returns the one before; null: Start runs on
// the calling thread. The caller keeps ownership.
StartRunner* InstallStartRunner(StartRunner* runner);

// Starts the writer through the installed runner, then makes a cancel final
// (CWriter::FinishStart).
void RunStart(CWriter& writer, unsigned argument);
