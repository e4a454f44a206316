#pragma once
// A scripted speech engine: the calls, objects, answers and events that the training relies on,
// each of which a test can make fail (with a code and a description), answer with no object,
// or answer as it likes (speaker name, speaker count, dialog status, modified flag, the words
// the vocabulary knows). It records every call, counts the objects alive and the event
// connections, and fires events 1 and 10 at whoever is connected.
//
//   auto engine = std::make_shared<FakeSpeechEngine>();
//   engine->Fail("Register", 0x80004005, "Engine busy");
//   CSpEngine sp(engine);
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "speech/SpeechEngine.h"

class FakeSpeechEngine final : public speech::SpeechBackEnd,
                               public std::enable_shared_from_this<FakeSpeechEngine> {
public:
    // Call names, as recorded in Calls():
    //   CreateEngineControl, Register, GetSpeakers, SpeakerCount, GetSpeakerName,
    //   SaveSpeechFiles, CheckForModifications, GetDialogStatus, ShowDialog,
    //   DisableCompatibilityModules, Advise, Unadvise, CreateVocTools, InitializeVocTools,
    //   GetWordAnalyzer, GetVocabularyBuilder, AnalyzeWord, GetMissingWords, GetFlags,
    //   MissingCount, AddWord, AddMissingWords, UpdateVocabulary.

    // The call fails with `code`, the engine describing it as `description` (none when empty).
    // `times` < 0: every time.
    void Fail(const std::string& call, speech::Result code, const std::string& description = {},
              int times = -1);
    // The call succeeds but gives no object.
    void GiveNull(const std::string& call);

    // Answers.
    std::string speakerName;                   // empty: no speaker loaded
    std::int32_t speakerCount = 0;
    std::map<std::int32_t, std::int32_t> dialogStatus;  // by dialog; missing: 0
    std::set<std::int32_t> needsSpeaker;       // dialogs answering status 2 while no speaker is loaded
    bool modified = false;
    std::set<std::string> vocabulary;          // the words the engine knows
    // Runs when an engine dialog is shown (after the call is recorded), like the user working in
    // it: for example choosing a speaker and firing event 1.
    std::function<void(std::int32_t dialog)> onShowDialog;

    // Fires an event at every connected sink.
    void Fire(int dispatchId);

    const std::vector<std::string>& Calls() const { return calls_; }
    int CountCalls(const std::string& call) const;
    void ClearCalls() { calls_.clear(); }
    // Objects of the engine still held by someone.
    int Alive() const { return alive_; }
    int Connections() const { return int(sinks_.size()); }
    std::vector<std::int32_t> shownDialogs;
    std::vector<std::string> trained;          // words handed to the vocabulary builder

    // speech::SpeechBackEnd
    speech::Result CreateEngineControl(std::shared_ptr<speech::EngineControl>& control) override;
    speech::Result CreateVocTools(std::shared_ptr<speech::VocTools>& tools) override;
    bool TakeErrorDescription(std::string& description) override;

    // For the fake's objects: records the call and gives its scripted result.
    speech::Result Call(const std::string& call);
    bool GivesNull(const std::string& call) const { return nullCalls_.count(call) != 0; }
    void ObjectMade() { ++alive_; }
    void ObjectGone() { --alive_; }
    std::uint32_t Connect(speech::EventSink* sink);
    bool Disconnect(std::uint32_t cookie);

private:
    struct Failure {
        speech::Result code;
        std::string description;
        int times;
    };
    std::map<std::string, Failure> failures_;
    std::set<std::string> nullCalls_;
    std::vector<std::string> calls_;
    std::string pendingDescription_;
    std::map<std::uint32_t, speech::EventSink*> sinks_;
    std::uint32_t nextCookie_ = 1;
    int alive_ = 0;
};
