#include "core/MessageString.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "core/AlertBox.h"
#include "core/TextUtil.h"
#include "tests/support/ScriptedPresenter.h"

using platform::kIdCancel;
using platform::kIdClosed;
using platform::kIdOk;
using Strings = std::vector<std::string>;

namespace {

struct SplitCase {
    const char* name;
    std::string message;
    std::string text;
    bool atOnce;
    bool help;
    Strings captions;
};
void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

class SplitMessageStringTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitMessageStringTest, SplitsTextFlagsAndCaptions) {
    const SplitCase& c = GetParam();
    MessageString parts = SplitMessageString(c.message);
    EXPECT_EQ(parts.text, c.text);
    EXPECT_EQ(parts.answeredAtOnce, c.atOnce);
    EXPECT_EQ(parts.helpVisible, c.help);
    EXPECT_EQ(parts.captions, c.captions);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, SplitMessageStringTest,
    testing::Values(
        SplitCase{"Custom", "Unable.|01|&Retry|&Cancel", "Unable.", false, true, {"&Retry", "&Cancel"}},
        SplitCase{"AtOnceNoHelp", "Strokes first.\r\nThen realtime.|10|", "Strokes first.\r\nThen realtime.",
                  true, false, {}},
        SplitCase{"FlagsOnly", "Diskettes.|01|", "Diskettes.", false, true, {}},
        SplitCase{"OtherFlagCharsShowHelp", "Text|xx|", "Text", false, true, {}},
        SplitCase{"FiveCaptionsKeepFour", "Pick|01|a|b|c|d|e", "Pick", false, true, {"a", "b", "c", "d"}},
        SplitCase{"EmptyCaptionKeepsItsPlace", "Pick|01||b", "Pick", false, true, {"", "b"}},
        SplitCase{"ClosingBarAddsNoCaption", "Pick|01|a|", "Pick", false, true, {"a"}},
        // Damaged strings: never read past the text; missing flags mean shown, no Help.
        SplitCase{"NoBar", "Just text", "Just text", false, false, {}},
        SplitCase{"Empty", "", "", false, false, {}},
        SplitCase{"OneFlagChar", "Text|1", "Text", false, false, {}},
        SplitCase{"OneFlagCharThenBar", "Text|1|a", "Text", false, false, {"a"}},
        SplitCase{"NoSecondBar", "Text|11", "Text", true, true, {}},
        SplitCase{"BarAtEnd", "Text|", "Text", false, false, {}}),
    [](const testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

TEST(InsertIntoMessageTest, ReplacesEveryPlaceholderAndDisarmsBars) {
    EXPECT_EQ(InsertIntoMessage("Open %s|01|", "a|b"), "Open a!b|01|");
    EXPECT_EQ(InsertIntoMessage("%s and %s|01|", "x"), "x and x|01|");
    EXPECT_EQ(InsertIntoMessage("Gone %s.|01|", ""), "Gone .|01|");
    // The inserted text is not searched again.
    EXPECT_EQ(InsertIntoMessage("[%s]", "%s"), "[%s]");
}

struct ButtonCase {
    const char* name;
    std::uint32_t style;
    Strings captions;
    std::vector<int> results;
};
void PrintTo(const ButtonCase& c, std::ostream* os) { *os << c.name; }

class AlertButtonsTest : public testing::TestWithParam<ButtonCase> {};

TEST_P(AlertButtonsTest, StyleGivesButtons) {
    const ButtonCase& c = GetParam();
    std::vector<platform::AlertButton> buttons = AlertButtons(c.style, {"&One", "&Two", "&Three", "&Four"});
    Strings captions;
    std::vector<int> results;
    for (const auto& b : buttons) {
        captions.push_back(b.caption);
        results.push_back(b.result);
    }
    EXPECT_EQ(captions, c.captions);
    EXPECT_EQ(results, c.results);
}

INSTANTIATE_TEST_SUITE_P(
    Styles, AlertButtonsTest,
    testing::Values(
        ButtonCase{"Ok", 0, {"OK"}, {1}},
        ButtonCase{"OkCancel", 1, {"OK", "Cancel"}, {1, 2}},
        ButtonCase{"YesNoCancel", 3, {"&Yes", "&No", "Cancel"}, {6, 7, 2}},
        ButtonCase{"YesNo", 4, {"&Yes", "&No"}, {6, 7}},
        ButtonCase{"RetryCancel", 5, {"&Retry", "Cancel"}, {4, 2}},
        ButtonCase{"Custom", 255, {"&One", "&Two", "&Three", "&Four"}, {0, 1, 2, 3}},
        ButtonCase{"DefaultByteIgnored", 0x104, {"&Yes", "&No"}, {6, 7}},
        ButtonCase{"UnlistedTwoShowsNone", 2, {}, {}},
        ButtonCase{"UnlistedShowsNone", 6, {}, {}},
        ButtonCase{"UnlistedHighShowsNone", 254, {}, {}}),
    [](const testing::TestParamInfo<ButtonCase>& info) { return std::string(info.param.name); });

TEST(PrepareAlertTest, SecondByteOneMakesButtonTwoDefault) {
    EXPECT_EQ(PrepareAlert(5017, 255, "").defaultButton, 0);
    EXPECT_EQ(PrepareAlert(5051, 0x104, "").defaultButton, 1);
    EXPECT_EQ(PrepareAlert(5051, 0x204, "").defaultButton, 0);
    // With one button there is no button 2 to prefer.
    EXPECT_EQ(PrepareAlert(5047, 0x100, "").defaultButton, 0);
}

TEST(PrepareAlertTest, UnknownIdShowsEmptyTextWithOkThatAnswersClosed) {
    platform::AlertRequest r = PrepareAlert(4999, 255, "x");
    EXPECT_EQ(r.text, "");
    EXPECT_FALSE(r.answeredAtOnce);
    EXPECT_FALSE(r.helpVisible);
    ASSERT_EQ(r.buttons.size(), 1u);
    EXPECT_EQ(r.buttons[0].caption, "OK");
    EXPECT_EQ(r.buttons[0].result, kIdClosed);
}

TEST(PrepareAlertTest, MessagesOfTheDrivers) {
    platform::AlertRequest r = PrepareAlert(5017, 255, "");
    EXPECT_EQ(r.text, "Unable to communicate with steno machine.");
    EXPECT_TRUE(r.helpVisible);
    ASSERT_EQ(r.buttons.size(), 2u);
    EXPECT_EQ(r.buttons[0].caption, "&Retry");
    EXPECT_EQ(r.buttons[1].caption, "&Cancel");

    r = PrepareAlert(5044, 0, "");
    EXPECT_TRUE(r.answeredAtOnce);
    EXPECT_TRUE(r.helpVisible);  // "11": never shown anyway
    EXPECT_EQ(r.AtOnceResult(), kIdOk);
}

TEST(PreparePromptTest, PromptIdTextAndPasswordMode) {
    platform::PromptRequest r = PreparePrompt(6028, "ignored", " (1-99)");
    EXPECT_EQ(r.prompt, "Enter starting stroke number: (1-99)");
    EXPECT_FALSE(r.password);
    EXPECT_TRUE(PreparePrompt(6053, {}, {}).password);
    EXPECT_EQ(PreparePrompt(-1, "Name?", "").prompt, "Name?");
}

// ---- AlertBox and AskFor through the presenter ------------------------------------------

TEST(AlertBoxTest, AnsweredAtOnceWithoutAScript) {
    ScriptedPresenter presenter;
    EXPECT_EQ(AlertBox(5044, 0), kIdOk);
    ASSERT_EQ(presenter.Asked().size(), 1u);
    EXPECT_TRUE(presenter.Asked()[0].answeredAtOnce);
}

TEST(AlertBoxTest, CustomButtonsAnswerByPosition) {
    ScriptedPresenter presenter;
    presenter.Answer(5017, 0).Answer(5017, 1).Answer(5017, kIdClosed).Answer(5018, 2);
    EXPECT_EQ(AlertBox(5017, 255), 0);
    EXPECT_EQ(AlertBox(5017, 255), 1);
    EXPECT_EQ(AlertBox(5017, 255), kIdClosed);
    EXPECT_EQ(AlertBox(5018, 255), 2);
    auto asked = presenter.Asked();
    ASSERT_EQ(asked.size(), 4u);
    EXPECT_EQ(asked[3].captions, (Strings{"&Last", "&First", "&Other"}));
    EXPECT_EQ(asked[3].style, 255u);
    EXPECT_TRUE(asked[3].helpVisible);
}

TEST(AlertBoxTest, OkOnlyMessageNeedsNoScript) {
    ScriptedPresenter presenter;
    EXPECT_EQ(AlertBox(5047, 0), kIdOk);
    EXPECT_EQ(presenter.Asked().at(0).text,
              "Diskettes from this writer cannot be read directly in this system.\r\n"
              "Use the cable interface to read notes from the writer.");
}

TEST(AlertBoxTest, UnscriptedQuestionFailsTheTestAndAnswersClosed) {
    int answer = 0;
    auto ask = [&answer] {
        ScriptedPresenter presenter;
        answer = AlertBox(5081, 255);
    };
    EXPECT_NONFATAL_FAILURE(ask(), "unscripted AlertBox 5081");
    EXPECT_EQ(answer, kIdClosed);
}

TEST(AlertBoxTest, WrongQuestionAndUnusedAnswerFailTheTest) {
    auto wrong = [] {
        ScriptedPresenter presenter;
        presenter.Answer(5018, 0).AllowUnused();
        AlertBox(5017, 255);
    };
    EXPECT_NONFATAL_FAILURE(wrong(), "where the script expects question 5018");
    auto unused = [] { ScriptedPresenter().Answer(5017, 0); };
    EXPECT_NONFATAL_FAILURE(unused(), "never used: question 5017");
}

TEST(AskForTest, CancelKeepsTheValueOkTakesTheTyped) {
    ScriptedPresenter presenter;
    presenter.Answer(6028, kIdCancel, "99").Answer(6028, kIdOk, "34");
    std::string value = "12";
    EXPECT_EQ(AskFor(6028, value, ""), kIdCancel);
    EXPECT_EQ(value, "12");
    EXPECT_EQ(AskFor(6028, value, ""), kIdOk);
    EXPECT_EQ(value, "34");
    auto asked = presenter.Asked();
    EXPECT_EQ(asked[0].text, "Enter starting stroke number:");
    EXPECT_EQ(asked[0].value, "12");
    EXPECT_FALSE(asked[0].password);
}

TEST(AskForTest, PasswordPromptIsTypedHidden) {
    ScriptedPresenter presenter;
    presenter.Answer(6053, kIdOk, "secret");
    std::string value;
    EXPECT_EQ(AskFor(kPasswordPromptId, value), kIdOk);
    EXPECT_EQ(value, "secret");
    EXPECT_TRUE(presenter.Asked()[0].password);
}

}  // namespace
