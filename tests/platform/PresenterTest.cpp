#include "platform/Presenter.h"

#include <gtest/gtest.h>

#include <thread>

#include "tests/support/ScriptedPresenter.h"

namespace {

using namespace platform;

struct BoxCase {
    const char* name;
    unsigned style;
    std::vector<int> buttons;
    int escape;
};
void PrintTo(const BoxCase& c, std::ostream* os) { *os << c.name; }

class MessageBoxStyleTest : public testing::TestWithParam<BoxCase> {};

TEST_P(MessageBoxStyleTest, ButtonsAndEscape) {
    const BoxCase& c = GetParam();
    EXPECT_EQ(MessageBoxButtons(c.style), c.buttons);
    EXPECT_EQ(EscapeResult(c.style), c.escape);
}

INSTANTIATE_TEST_SUITE_P(
    Styles, MessageBoxStyleTest,
    testing::Values(BoxCase{"Ok", kMbOk | kMbIconInformation, {kIdOk}, kIdOk},
                    BoxCase{"OkCancel", kMbOkCancel, {kIdOk, kIdCancel}, kIdCancel},
                    BoxCase{"AbortRetryIgnore", kMbAbortRetryIgnore, {kIdAbort, kIdRetry, kIdIgnore}, kIdIgnore},
                    BoxCase{"YesNoCancel", kMbYesNoCancel | kMbIconQuestion, {kIdYes, kIdNo, kIdCancel}, kIdCancel},
                    BoxCase{"YesNo", kMbYesNo | kMbDefButton2, {kIdYes, kIdNo}, kIdNo},
                    BoxCase{"RetryCancel", kMbRetryCancel, {kIdRetry, kIdCancel}, kIdCancel},
                    BoxCase{"UnknownIsOk", 0x0E, {kIdOk}, kIdOk}),
    [](const testing::TestParamInfo<BoxCase>& info) { return std::string(info.param.name); });

AlertRequest RetryCancel() {
    AlertRequest r;
    r.messageId = 5017;
    r.style = 255;
    r.text = "Unable to communicate with steno machine.";
    r.buttons = {{"&Retry", 0}, {"&Cancel", 1}};
    return r;
}

TEST(PresenterTest, WithoutAPresenterQuestionsAreAnsweredAsClosedOnStandardError) {
    Presenter* previous = InstallPresenter(nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ShowAlert(RetryCancel()), kIdClosed);
    std::string value = "12";
    PromptRequest prompt;
    prompt.prompt = "Enter starting stroke number:";
    EXPECT_EQ(ShowPrompt(prompt, value), kIdCancel);
    EXPECT_EQ(value, "12");
    EXPECT_EQ(ShowMessageBox("Save your results?", "", kMbYesNoCancel), kIdCancel);
    EXPECT_EQ(ShowFileDialog({}), "");
    ShowNotice("No Wordlists available");
    std::string err = testing::internal::GetCapturedStderr();
    InstallPresenter(previous);
    EXPECT_NE(err.find("Unable to communicate with steno machine."), std::string::npos) << err;
    EXPECT_NE(err.find("Save your results?"), std::string::npos) << err;
    EXPECT_NE(err.find("No Wordlists available"), std::string::npos) << err;
}

TEST(PresenterTest, AnsweredAtOnceNeedsNoPresenter) {
    Presenter* previous = InstallPresenter(nullptr);
    AlertRequest r = RetryCancel();
    r.answeredAtOnce = true;
    EXPECT_EQ(ShowAlert(r), 0);
    r.buttons.clear();
    EXPECT_EQ(ShowAlert(r), kIdClosed);
    InstallPresenter(previous);
}

TEST(PresenterTest, QuestionsFromAnotherThreadAreNeverShown) {
    ScriptedPresenter presenter;
    int alert = 0, box = 0, atOnce = 0;
    std::string value = "12";
    int prompt = 0;
    testing::internal::CaptureStderr();
    std::thread reader([&] {
        alert = ShowAlert(RetryCancel());
        box = ShowMessageBox("Save your results?", "", kMbYesNo);
        prompt = ShowPrompt(PromptRequest{}, value);
        AlertRequest r = RetryCancel();
        r.answeredAtOnce = true;
        atOnce = ShowAlert(r);
        ShowNotice("notice");
        ShowHelp(5017);
    });
    reader.join();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(alert, kIdClosed);
    EXPECT_EQ(box, kIdNo);
    EXPECT_EQ(prompt, kIdCancel);
    EXPECT_EQ(value, "12");
    EXPECT_EQ(atOnce, 0);
    EXPECT_TRUE(presenter.Asked().empty());
    EXPECT_NE(err.find("outside the user-interface thread"), std::string::npos) << err;
}

TEST(PresenterTest, EmptyCaptionBecomesTheApplicationTitle) {
    ScriptedPresenter presenter;
    presenter.AnswerText("Save your results?", kIdYes);
    EXPECT_EQ(ShowMessageBox("Save your results?", "", kMbYesNoCancel | kMbIconQuestion), kIdYes);
    ShowNotice("End of list reached", "Build");
    auto asked = presenter.Asked();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].caption, "Dictionary Quillfast");
    EXPECT_EQ(asked[1].caption, "Build");
}

TEST(PresenterTest, ScriptedFileDialogAndHelpAreRecorded) {
    ScriptedPresenter presenter;
    presenter.AnswerFile("/tmp/out.rtf").AnswerFile("");
    FileDialogRequest save;
    save.save = true;
    save.title = "Save RTF";
    save.fileName = "list.rtf";
    EXPECT_EQ(ShowFileDialog(save), "/tmp/out.rtf");
    EXPECT_EQ(ShowFileDialog(save), "");
    ShowHelp(5017);
    auto asked = presenter.Asked();
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[0].value, "list.rtf");
    EXPECT_EQ(asked[1].result, kIdCancel);
    EXPECT_EQ(asked[2].kind, ScriptedPresenter::Kind::Help);
    EXPECT_EQ(asked[2].id, 5017);
}

}  // namespace
