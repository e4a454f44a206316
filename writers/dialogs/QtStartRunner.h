#pragma once
// The program's way of starting writers: Start runs on a worker thread while the
// user-interface thread keeps painting. A Start that takes longer than a moment shows the
// "Please wait" window, application-modal, with the connection's status and a Cancel that
// ends the start-up as the Cancel of "Unable to communicate" would. Questions that Start asks
// are shown on the user-interface thread. Until the window shows, no user input is handled.
#include "writers/StartRunner.h"

class QtStartRunner final : public StartRunner {
public:
    // Makes one runner the runner of every writer start.
    static void Install();

    void Run(CWriter& writer, unsigned argument) override;

    // A Start shorter than this shows no window.
    static constexpr int kShowAfterMs = 250;
};
