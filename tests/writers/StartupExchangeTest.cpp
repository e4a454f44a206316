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

// Answers "Unable to communicate" with Retry, after plugging a writer back in on COM1 as the
// user would before pressing it; asked again, it cancels.
class PlugBackInPresenter final : public platform::Presenter {
public:
    PlugBackInPresenter() : previous_(platform::InstallPresenter(this)) {}
    ~PlugBackInPresenter() override { platform::InstallPresenter(previous_); }

    int Alert(const platform::AlertRequest& request) override {
        ids.push_back(request.messageId);
        if (writerBack) return 1;
        writerBack = std::make_unique<sim::WriterSimulator>(1);
        writerBack->Expect("B").Reply("B");
        return 0;
    }
    int Prompt(const platform::PromptRequest&, std::string&) override { return platform::kIdCancel; }
    int MessageBox(const std::string&, const std::string&, unsigned) override { return platform::kIdOk; }
    std::string FileDialog(const platform::FileDialogRequest&) override { return {}; }
    void Notice(const std::string&, const std::string&) override {}
    void Help(int) override {}

    std::vector<int> ids;
    std::unique_ptr<sim::WriterSimulator> writerBack;

private:
    platform::Presenter* previous_;
};

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

TEST_F(StartupExchange, RetryAfterTheWriterIsPluggedBackInConnects) {
    simulator.Expect("B").Vanish();
    PlugBackInPresenter presenter;
    writer->answerWithinMs = 1000;  // the answer counts however loaded the machine is
    writer->Start(1);

    EXPECT_EQ(presenter.ids, (std::vector<int>{kMessageNoAnswer}));
    ASSERT_TRUE(writer->connected);
    presenter.writerBack->Send(std::string("\x20\x00\x00", 3));
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, kBound));
    EXPECT_EQ(owner.StrokeKeys().front(), "20 00 00 00 00 00");
    writer->Stop();
}

}  // namespace
