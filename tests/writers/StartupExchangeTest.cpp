// A driver's start-up exchange on the writer base: the presence check against a simulated
// writer, Retry/Cancel through the scripted presenter, and a writer left at its start gate.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "tests/fakes/FakeOwnerWindow.h"
#include "tests/fakes/TestWriters.h"
#include "tests/sim/WriterSimulator.h"
#include "tests/support/ScriptedPresenter.h"

namespace {

using fakes::EchoCheckWriter;

constexpr int kBound = 5000;

class StartupExchange : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(simulator.IsOpen()) << simulator.Error();
        fakes::UseLineSettings(1);
        writer.reset(NewWriter<EchoCheckWriter>(owner.Handle()));
        writer->mode = kModeRealtime;
    }
    sim::WriterSimulator simulator{1};
    fakes::FakeOwnerWindow owner;
    std::unique_ptr<EchoCheckWriter> writer;
};

TEST_F(StartupExchange, AWriterThatAnswersLateIsAcceptedWithoutAQuestion) {
    simulator.Expect("B").Stall();
    simulator.Expect("B").Stall();
    simulator.Expect("B").Reply("B");
    ScriptedPresenter presenter;  // no answers: any question fails the test
    writer->answerWithinMs = 1000;  // the answer counts however loaded the machine is
    writer->Start(1);
    EXPECT_TRUE(writer->connected);
    EXPECT_EQ(writer->exchanges, 3);
    EXPECT_TRUE(simulator.Problems().empty());

    simulator.Send(std::string("\x20\x00\x00", 3));
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBound));
    EXPECT_EQ(owner.StrokeKeys().front(), "20 00 00 00 00 00");
}

TEST_F(StartupExchange, RetryMakesOneMoreAttemptAndCancelLeavesTheWriterSilent) {
    simulator.SetSilent(true);
    ScriptedPresenter presenter;
    presenter.Answer(kMessageNoAnswer, 0).Answer(kMessageNoAnswer, 1);
    writer->Start(1);

    EXPECT_FALSE(writer->connected);
    EXPECT_EQ(writer->exchanges, writer->attempts + 1);
    ASSERT_TRUE(simulator.WaitForReceived(4, kBound));
    EXPECT_EQ(simulator.Received(), "BBBB");
    const auto asked = presenter.Asked();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].captions, (std::vector<std::string>{"&Retry", "&Cancel"}));
    EXPECT_EQ(asked[0].text, "Unable to communicate with steno machine.");

    // The thread waits at its gate: a stroke on the line is never read.
    simulator.SetSilent(false);
    simulator.Send(std::string("\x20\x00\x00", 3));
    EXPECT_FALSE(owner.WaitForStrokes(*writer, 1, 200));
    EXPECT_EQ(writer->threadStopped.load(), 0);
    writer->Stop();
    EXPECT_EQ(writer->threadStopped.load(), 1);
}

TEST_F(StartupExchange, AWriterGoneDuringTheExchangeIsReportedAndCanBeCancelled) {
    simulator.Expect("B").Vanish();
    ScriptedPresenter presenter;
    presenter.Answer(kMessageNoAnswer, 1);
    writer->Start(1);
    EXPECT_FALSE(writer->connected);
    EXPECT_EQ(presenter.Asked().size(), 1u);
    writer.reset();  // deleting a writer that never ran
}

}  // namespace
