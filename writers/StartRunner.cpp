#include "writers/StartRunner.h"

#include <atomic>

#include "writers/CWriter.h"

namespace {
std::atomic<StartRunner*> gRunner{nullptr};
}

StartRunner* InstallStartRunner(StartRunner* runner) { return gRunner.exchange(runner); }

void RunStart(CWriter& writer, unsigned argument) {
    if (StartRunner* runner = gRunner.load())
        runner->Run(writer, argument);
    else
        writer.Start(argument);
    writer.FinishStart();
}
