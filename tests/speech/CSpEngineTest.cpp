// The link to the speech engine against a scripted engine: starting it step by step, the
// speaker, the engine dialogs and their repetition bound, the two events, training words,
// shutting down; and the shipped back end that has no engine behind it.
#include "speech/CSpEngine.h"

#include <gtest/gtest.h>

#include "speech/NoSpeechEngine.h"
#include "tests/speech/FakeSpeechEngine.h"
#include "tests/support/ScriptedPresenter.h"

namespace {

using namespace speech;
using Kind = ScriptedPresenter::Kind;

constexpr Result kBusy = Result(0x80004005u);

std::vector<std::string> Messages(const ScriptedPresenter& presenter) {
    std::vector<std::string> texts;
    for (const auto& q : presenter.Asked()) texts.push_back(q.text);
    return texts;
}

struct Fixture {
    std::shared_ptr<FakeSpeechEngine> fake = std::make_shared<FakeSpeechEngine>();
    CSpEngine engine{fake};
    int arrivals = 0;
    Fixture() { engine.SetSpeakerArrivedHook([this] { ++arrivals; }); }
};

TEST(SpeechErrorText, StepCodeAndDescription) {
    struct Case {
        const char* step;
        Result code;
        std::string description;
        std::string expected;
    } cases[] = {
        {"Register DNS", kBusy, "Engine busy", "Register DNS (0x80004005)\n\"Engine busy\""},
        {"Register DNS", kBusy, "", "Register DNS (0x80004005)"},
        {"Get dialog status", Result(0x8000FFFFu), "x", "Get dialog status (0x8000FFFF)\n\"x\""},
        {"Add missing word", Result(0x800A0bcdu), "", "Add missing word (0x800A0BCD)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SpeechErrorText(c.step, c.code, c.description), c.expected) << c.step;
    EXPECT_EQ(SpeechErrorText("Step", kBusy, std::string(2000, 'd')).size(), 999u);
}

TEST(CSpEngine, CheckSpeechResultShowsTheEnginesDescriptionOnce) {
    Fixture f;
    ScriptedPresenter presenter;
    f.fake->Fail("Register", kBusy, "Engine busy", 1);
    EXPECT_FALSE(f.engine.Initialize());
    EXPECT_TRUE(f.engine.Initialize());
    ASSERT_EQ(presenter.Asked().size(), 1u);
    EXPECT_EQ(presenter.Asked()[0].kind, Kind::MessageBox);
    EXPECT_EQ(presenter.Asked()[0].text, "Register DNS (0x80004005)\n\"Engine busy\"");
    EXPECT_EQ(presenter.Asked()[0].style, platform::kMbOk | platform::kMbIconWarning);
}

TEST(CSpEngine, InitializeRunsItsStepsInOrder) {
    Fixture f;
    EXPECT_TRUE(f.engine.Initialize());
    EXPECT_TRUE(f.engine.IsInitialized());
    EXPECT_EQ(f.fake->Calls(), (std::vector<std::string>{"CreateEngineControl", "Register",
                                                         "Advise",
                                                         "DisableCompatibilityModules"}));
    EXPECT_EQ(f.fake->Connections(), 1);
    EXPECT_EQ(f.fake->Alive(), 1);
}

// A failing step: its message, nothing left held, and a later attempt starts clean.
TEST(CSpEngine, InitializeFailingAtEachStepReleasesWhatItTook) {
    struct Case {
        const char* call;
        bool nullObject;
        std::string message;
        int unadvised;
    } cases[] = {
        {"CreateEngineControl", false, "Initialize DNS (0x80004005)\n\"Engine busy\"", 0},
        {"CreateEngineControl", true, "Initialize DNS (0x80004003)", 0},
        {"Register", false, "Register DNS (0x80004005)\n\"Engine busy\"", 0},
        {"Advise", false, "Initialize DNS events (0x80004005)\n\"Engine busy\"", 0},
        {"DisableCompatibilityModules", false,
         "Disable all compatibility modules (0x80004005)\n\"Engine busy\"", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        Fixture f;
        ScriptedPresenter presenter;
        if (c.nullObject) f.fake->GiveNull(c.call);
        else f.fake->Fail(c.call, kBusy, "Engine busy", 1);
        EXPECT_FALSE(f.engine.Initialize());
        EXPECT_FALSE(f.engine.IsInitialized());
        EXPECT_EQ(Messages(presenter), std::vector<std::string>{c.message});
        EXPECT_EQ(f.fake->Alive(), 0);
        EXPECT_EQ(f.fake->Connections(), 0);
        EXPECT_EQ(f.fake->CountCalls("Unadvise"), c.unadvised);

        if (c.nullObject) continue;
        EXPECT_TRUE(f.engine.Initialize());
        EXPECT_EQ(f.fake->Alive(), 1);
        EXPECT_EQ(f.fake->Connections(), 1);
        f.engine.Shutdown();
        EXPECT_EQ(f.fake->Alive(), 0);
        EXPECT_EQ(f.fake->Connections(), 0);
    }
}

TEST(CSpEngine, ShutdownSavesOnlyModifiedSpeakersAndReleasesEverything) {
    struct Case {
        const char* name;
        bool modified;
        const char* failing;  // null: nothing fails
        int saves;
        std::vector<std::string> messages;
    } cases[] = {
        {"modified", true, nullptr, 1, {}},
        {"unmodified", false, nullptr, 0, {}},
        {"check fails", true, "CheckForModifications", 0,
         {"Check for modifications (0x80004005)"}},
        {"save fails", true, "SaveSpeechFiles", 1, {"Save speech files (0x80004005)"}},
        {"disconnect fails", false, "Unadvise", 0, {"Disconnect DNS events (0x80004005)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        ScriptedPresenter presenter;
        f.fake->speakerName = "Ann";
        ASSERT_TRUE(f.engine.Initialize());
        f.engine.SelectSpeaker();
        ASSERT_TRUE(f.engine.AddMissingWords("word"));
        f.fake->modified = c.modified;
        if (c.failing) f.fake->Fail(c.failing, kBusy);
        f.engine.Shutdown();
        EXPECT_EQ(f.fake->CountCalls("SaveSpeechFiles"), c.saves);
        EXPECT_EQ(Messages(presenter), c.messages);
        EXPECT_EQ(f.fake->Alive(), 0);
        // A connection the engine refused to end stays on its side; ours is given up.
        EXPECT_EQ(f.fake->Connections(), std::string(c.name) == "disconnect fails" ? 1 : 0);
        EXPECT_FALSE(f.engine.EventsConnected());
        EXPECT_FALSE(f.engine.IsInitialized());
        EXPECT_FALSE(f.engine.IsSpeakerLoaded());
        EXPECT_EQ(f.engine.SpeakerName(), "");
    }
}

TEST(CSpEngine, ShutdownOfAnEngineNeverStartedCallsNothing) {
    Fixture f;
    f.engine.Shutdown();
    f.engine.SaveSpeaker();
    EXPECT_TRUE(f.fake->Calls().empty());
}

TEST(CSpEngine, DestroyingTheLinkShutsTheEngineDown) {
    auto fake = std::make_shared<FakeSpeechEngine>();
    {
        CSpEngine engine(fake);
        ASSERT_TRUE(engine.Initialize());
        fake->modified = true;
    }
    EXPECT_EQ(fake->CountCalls("SaveSpeechFiles"), 1);
    EXPECT_EQ(fake->Alive(), 0);
    EXPECT_EQ(fake->Connections(), 0);
}

TEST(CSpEngine, GetSpeakersAndTheSpeakerName) {
    struct Case {
        const char* name;
        std::int32_t count;
        const char* failing;
        bool nullCollection;
        bool expected;
    } cases[] = {
        {"two speakers", 2, nullptr, false, true},
        {"none", 0, nullptr, false, false},
        {"collection fails", 2, "GetSpeakers", false, false},
        {"no collection", 2, nullptr, true, false},
        {"count fails", 2, "SpeakerCount", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        ScriptedPresenter presenter;
        EXPECT_FALSE(f.engine.GetSpeakers());  // not initialised: no call
        EXPECT_EQ(f.engine.GetSpeakerName(), "");
        EXPECT_TRUE(f.fake->Calls().empty());
        ASSERT_TRUE(f.engine.Initialize());
        f.fake->speakerCount = c.count;
        if (c.failing) f.fake->Fail(c.failing, kBusy);
        if (c.nullCollection) f.fake->GiveNull("GetSpeakers");
        EXPECT_EQ(f.engine.GetSpeakers(), c.expected);
        EXPECT_EQ(f.fake->Alive(), 1);  // the collection was let go
        EXPECT_EQ(presenter.Asked().size(), (c.failing || c.nullCollection) ? 1u : 0u);
    }
}

// Load Speaker, per engine answer: what is shown and whether a speaker counts as loaded.
TEST(CSpEngine, SelectSpeakerPerEngineAnswer) {
    struct Case {
        const char* name;
        std::string engineSpeaker;
        std::int32_t speakers;
        std::map<std::int32_t, std::int32_t> status;
        std::vector<std::int32_t> shown;
        std::vector<std::string> messages;
        bool loaded;
    } cases[] = {
        {"a speaker is loaded already", "Ann", 1, {}, {}, {}, true},
        {"speakers exist", "", 2, {}, {kDialogOpenSpeaker}, {}, false},
        {"no speaker exists", "", 0, {}, {kDialogNewSpeaker}, {}, false},
        {"another dialog is up", "", 2, {{7, 1}}, {},
         {"Can't display the dialog now. Status is 'Cannot display dialog because another "
          "dialog is up.'"},
         false},
        {"not supported", "", 0, {{6, 3}}, {},
         {"Can't display the dialog now. Status is 'Dialog is not supported.'"}, false},
        {"unknown status", "", 0, {{6, 9}}, {},
         {"Can't display the dialog now. Status is 'Unknown status.'"}, false},
        {"engine keeps wanting a speaker", "", 2, {{7, 2}}, {}, {kSpeakerNeededText}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        ScriptedPresenter presenter;
        f.fake->speakerName = c.engineSpeaker;
        f.fake->speakerCount = c.speakers;
        f.fake->dialogStatus = c.status;
        f.engine.SelectSpeaker();
        EXPECT_TRUE(f.engine.IsInitialized());
        EXPECT_EQ(f.fake->shownDialogs, c.shown);
        EXPECT_EQ(Messages(presenter), c.messages);
        EXPECT_EQ(f.engine.IsSpeakerLoaded(), c.loaded);
        EXPECT_EQ(f.arrivals, c.loaded ? 1 : 0);
        EXPECT_EQ(f.engine.SpeakerName(), c.loaded ? c.engineSpeaker : "");
    }
}

TEST(CSpEngine, AnEngineThatKeepsAnsweringStatusTwoIsAskedTwiceAtMost) {
    Fixture f;
    ScriptedPresenter presenter;
    f.fake->speakerCount = 1;
    f.fake->dialogStatus = {{kDialogOpenSpeaker, 2}, {kDialogNewSpeaker, 2}, {12, 2}};
    EXPECT_FALSE(f.engine.ShowEngineDialog(12));
    EXPECT_EQ(f.fake->CountCalls("GetDialogStatus"), 2);  // dialog 12, then once dialog 7
    EXPECT_EQ(f.fake->CountCalls("ShowDialog"), 0);
    EXPECT_EQ(Messages(presenter), std::vector<std::string>{kSpeakerNeededText});
}

TEST(CSpEngine, ADialogThatNeedsASpeakerIsShownOnceOneIsLoaded) {
    Fixture f;
    ScriptedPresenter presenter;
    f.fake->speakerCount = 1;
    f.fake->needsSpeaker = {12};
    // The user opens a speaker in the engine's own dialog; the engine announces it.
    f.fake->onShowDialog = [&](std::int32_t dialog) {
        if (dialog != kDialogOpenSpeaker) return;
        f.fake->speakerName = "Ann";
        f.fake->Fire(kEventSpeakerChanged);
    };
    EXPECT_TRUE(f.engine.ShowEngineDialog(12, std::int32_t(5)));
    EXPECT_EQ(f.fake->shownDialogs, (std::vector<std::int32_t>{kDialogOpenSpeaker, 12}));
    EXPECT_TRUE(f.engine.IsSpeakerLoaded());
    EXPECT_EQ(f.arrivals, 1);
    EXPECT_TRUE(presenter.Asked().empty());
}

TEST(CSpEngine, ADialogThatNeedsASpeakerIsNotShownWhenNoneIsLoaded) {
    Fixture f;
    ScriptedPresenter presenter;
    f.fake->speakerCount = 1;
    f.fake->needsSpeaker = {12};
    EXPECT_FALSE(f.engine.ShowEngineDialog(12));  // the user closes the speaker dialog
    EXPECT_EQ(f.fake->shownDialogs, std::vector<std::int32_t>{kDialogOpenSpeaker});
    EXPECT_EQ(Messages(presenter), std::vector<std::string>{kSpeakerNeededText});
}

TEST(CSpEngine, StatusTwoWithASpeakerLoadedIsARefusal) {
    Fixture f;
    ScriptedPresenter presenter;
    f.fake->speakerName = "Ann";
    f.engine.SelectSpeaker();
    f.fake->dialogStatus = {{12, 2}};
    EXPECT_FALSE(f.engine.ShowEngineDialog(12));
    EXPECT_EQ(Messages(presenter),
              std::vector<std::string>{"Can't display the dialog now. Status is 'Cannot display "
                                       "dialog because speaker is not selected or trained.'"});
}

TEST(CSpEngine, EngineDialogFailures) {
    struct Case {
        const char* failing;
        std::string message;
    } cases[] = {
        {"GetDialogStatus", "Get dialog status (0x80004005)"},
        {"ShowDialog", "DNS dialog show (0x80004005)"},
        {"CreateEngineControl", "Initialize DNS (0x80004005)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failing);
        Fixture f;
        ScriptedPresenter presenter;
        f.fake->Fail(c.failing, kBusy);
        EXPECT_FALSE(f.engine.ShowEngineDialog(kDialogNewSpeaker));
        EXPECT_EQ(Messages(presenter), std::vector<std::string>{c.message});
    }
}

TEST(CSpEngine, SpeakerSelectionStopsAtAFailingCall) {
    for (const char* failing : {"GetSpeakerName", "GetSpeakers", "SpeakerCount"}) {
        SCOPED_TRACE(failing);
        Fixture f;
        ScriptedPresenter presenter;
        f.fake->Fail(failing, kBusy);
        f.engine.SelectSpeaker();
        EXPECT_EQ(presenter.Asked().size(), 1u);
        EXPECT_TRUE(f.fake->shownDialogs.empty());
        EXPECT_FALSE(f.engine.IsSpeakerLoaded());
    }
}

// The speaker the user loads in the engine's dialog arrives as event 1.
TEST(CSpEngine, EventsMarkTheSpeakerAndEnableTraining) {
    Fixture f;
    ScriptedPresenter presenter;
    f.fake->speakerCount = 1;
    f.fake->onShowDialog = [&](std::int32_t) {
        f.fake->speakerName = "Ann";
        f.fake->Fire(kEventSpeakerChanged);
    };
    f.engine.SelectSpeaker();
    EXPECT_TRUE(f.engine.IsSpeakerLoaded());
    EXPECT_EQ(f.engine.SpeakerName(), "Ann");
    EXPECT_EQ(f.arrivals, 1);

    f.fake->Fire(kEventSpeakerChanged);  // the same speaker again: no second arrival
    EXPECT_EQ(f.arrivals, 1);

    f.fake->Fire(kEventSpeakerUnloaded);
    EXPECT_FALSE(f.engine.IsSpeakerLoaded());
    f.fake->speakerName = "";
    f.fake->Fire(kEventSpeakerChanged);  // no name: only the stored name changes
    EXPECT_FALSE(f.engine.IsSpeakerLoaded());
    EXPECT_EQ(f.engine.SpeakerName(), "");
    EXPECT_EQ(f.arrivals, 1);

    f.fake->speakerName = "Bob";
    f.fake->Fire(kEventSpeakerChanged);
    EXPECT_TRUE(f.engine.IsSpeakerLoaded());
    EXPECT_EQ(f.engine.SpeakerName(), "Bob");
    EXPECT_EQ(f.arrivals, 2);

    f.engine.Shutdown();
    f.fake->Fire(kEventSpeakerChanged);  // no longer connected
    EXPECT_FALSE(f.engine.IsSpeakerLoaded());
    EXPECT_EQ(f.arrivals, 2);
    EXPECT_TRUE(presenter.Asked().empty());
}

TEST(CSpEngine, AClearedHookIsNotCalled) {
    Fixture f;
    f.fake->speakerName = "Ann";
    f.engine.SetSpeakerArrivedHook({});
    f.engine.SelectSpeaker();
    EXPECT_TRUE(f.engine.IsSpeakerLoaded());
    EXPECT_EQ(f.arrivals, 0);
}

TEST(CSpEngine, TrainingNeedsAnInitialisedEngine) {
    Fixture f;
    EXPECT_FALSE(f.engine.AddMissingWords("word"));
    EXPECT_TRUE(f.fake->Calls().empty());
}

TEST(CSpEngine, TrainingANewWordOrRetrainingAKnownOne) {
    struct Case {
        const char* name;
        bool known;
        int answer;  // to the retrain question; 0: not asked
        bool result;
        std::vector<std::string> trained;
    } cases[] = {
        {"new word", false, 0, true, {"a~b"}},
        {"known, retrain", true, platform::kIdYes, true, {"a~b"}},
        {"known, keep", true, platform::kIdNo, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        ScriptedPresenter presenter;
        if (c.answer) presenter.AnswerText(kRetrainQuestion, c.answer);
        if (c.known) f.fake->vocabulary.insert("a~b");
        ASSERT_TRUE(f.engine.Initialize());
        EXPECT_EQ(f.engine.AddMissingWords("a~b"), c.result);
        EXPECT_EQ(f.fake->trained, c.trained);
        ASSERT_EQ(presenter.Asked().size(), c.answer ? 1u : 0u);
        if (c.answer) {
            EXPECT_EQ(presenter.Asked()[0].style, platform::kMbYesNo | platform::kMbIconQuestion);
        }
        // The list, the word's information and the result object are let go; the tools stay.
        f.engine.Shutdown();
        EXPECT_EQ(f.fake->Alive(), 0);
    }
}

TEST(CSpEngine, TheToolsAreMadeOnceAndKept) {
    Fixture f;
    ASSERT_TRUE(f.engine.Initialize());
    EXPECT_TRUE(f.engine.AddMissingWords("one"));
    EXPECT_TRUE(f.engine.AddMissingWords("two"));
    EXPECT_EQ(f.fake->CountCalls("CreateVocTools"), 1);
    EXPECT_EQ(f.fake->CountCalls("GetWordAnalyzer"), 1);
    EXPECT_EQ(f.fake->CountCalls("GetVocabularyBuilder"), 1);
    EXPECT_EQ(f.fake->trained, (std::vector<std::string>{"one", "two"}));
    // The engine control, VocTools, the analyzer and the builder.
    EXPECT_EQ(f.fake->Alive(), 4);
}

// Each failing step of training: its message, false, nothing trained, nothing kept that a
// later attempt could trip over.
TEST(CSpEngine, TrainingFailingAtEachStep) {
    struct Case {
        const char* call;
        bool nullObject;
        std::string message;
        bool trained;  // the words were handed over before the failing step
    } cases[] = {
        {"CreateVocTools", false, "Create VocTools (0x80004005)", false},
        {"CreateVocTools", true, "Create VocTools (0x80004003)", false},
        {"InitializeVocTools", false, "Initialize VocTools (0x80004005)", false},
        {"GetWordAnalyzer", false, "Get word analyzer (0x80004005)", false},
        {"GetWordAnalyzer", true, "Get word analyzer (0x80004003)", false},
        {"GetMissingWords", false, "Get missing words list (0x80004005)", false},
        {"GetMissingWords", true, "Get missing words list (0x80004003)", false},
        {"AnalyzeWord", false, "Analyze word (0x80004005)", false},
        {"AnalyzeWord", true, "Analyze word (0x80004003)", false},
        {"GetFlags", false, "Get word information (0x80004005)", false},
        {"AddWord", false, "Add missing word (0x80004005)", false},
        {"MissingCount", false, "Get missing words count (0x80004005)", false},
        {"GetVocabularyBuilder", false, "Get vocabulary builder (0x80004005)", false},
        {"GetVocabularyBuilder", true, "Get vocabulary builder (0x80004003)", false},
        {"AddMissingWords", false, "Add missing words (0x80004005)", false},
        {"AddMissingWords", true, "Add missing words (0x80004003)", true},
        {"UpdateVocabulary", false, "Update vocabulary (0x80004005)", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.call) + (c.nullObject ? " (no object)" : ""));
        Fixture f;
        ScriptedPresenter presenter;
        ASSERT_TRUE(f.engine.Initialize());
        if (c.nullObject) f.fake->GiveNull(c.call);
        else f.fake->Fail(c.call, kBusy, {}, 1);
        EXPECT_FALSE(f.engine.AddMissingWords("word"));
        EXPECT_EQ(Messages(presenter), std::vector<std::string>{c.message});
        EXPECT_EQ(f.fake->trained.size(), c.trained ? 1u : 0u);
        if (!c.nullObject) {
            // The failure was once: the next attempt goes through.
            EXPECT_TRUE(f.engine.AddMissingWords("other"));
            EXPECT_EQ(f.fake->trained.back(), "other");
        }
        f.engine.Shutdown();
        EXPECT_EQ(f.fake->Alive(), 0);
    }
}

TEST(CSpEngine, WithNoEngineInstalledAskingForItSaysSo) {
    CSpEngine engine(std::make_shared<NoSpeechEngine>());
    ScriptedPresenter presenter;
    engine.SelectSpeaker();
    EXPECT_FALSE(engine.IsInitialized());
    EXPECT_FALSE(engine.ShowEngineDialog(kDialogNewSpeaker));
    EXPECT_FALSE(engine.AddMissingWords("word"));  // silently: nothing was started
    const std::string text = "Initialize DNS (0x80040154)\n\"No speech engine is installed.\"";
    EXPECT_EQ(Messages(presenter), (std::vector<std::string>{text, text}));
    engine.Shutdown();
    EXPECT_EQ(presenter.Asked().size(), 2u);
}

TEST(CSpEngine, TheProcessEngineHasNoEngineBehindIt) {
    ScriptedPresenter presenter;
    GetSpEngine().SelectSpeaker();
    EXPECT_FALSE(GetSpEngine().IsInitialized());
    EXPECT_EQ(&GetSpEngine(), &GetSpEngine());
    ASSERT_EQ(presenter.Asked().size(), 1u);
    EXPECT_NE(presenter.Asked()[0].text.find(kNoEngineText), std::string::npos);
}

}  // namespace
