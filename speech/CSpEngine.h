#pragma once
// CSpEngine: the program's one link to the speech engine (GetSpEngine). It starts the engine,
// lets the user choose and load a speaker, adds missing words to the speaker's vocabulary or
// retrains known ones, saves the speaker's files and lets everything go again.
//
// Every engine call is checked by CheckSpeechResult: a failure is shown once, as
// "<step> (0x<code>)" with the engine's own description in quotes below it when it gives one,
// and ends the operation; whatever that operation had taken is released. Nothing throws.
//
// User-interface thread only; the engine's events arrive there too.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "speech/EngineControlEvents.h"
#include "speech/SpeechEngine.h"

// Engine dialogs the program shows.
constexpr std::int32_t kDialogOpenSpeaker = 7;  // speakers exist, none loaded
constexpr std::int32_t kDialogNewSpeaker = 6;   // no speaker exists yet

extern const char* const kSpeakerNeededText;  // "You must have a speaker loaded to use that feature."
extern const char* const kRetrainQuestion;    // "Word already known. Retrain"

// The text of an engine dialog status.
std::string GetDialogStatusText(std::int32_t status);

// The message shown for a failed step: "%s (0x%X)", then a line feed and the description in
// double quotes when there is one; at most 999 characters.
std::string SpeechErrorText(const std::string& step, speech::Result result,
                            const std::string& description);

class CSpEngine {
public:
    // The process's engine uses the shipped back end; tests make their own with a fake.
    explicit CSpEngine(std::shared_ptr<speech::SpeechBackEnd> backEnd);
    virtual ~CSpEngine();
    CSpEngine(const CSpEngine&) = delete;
    CSpEngine& operator=(const CSpEngine&) = delete;

    // Shuts the engine down and uses `backEnd` from now on.
    void SetBackEnd(std::shared_ptr<speech::SpeechBackEnd> backEnd);

    // True for a success code. For a failure shows the message (exclamation, OK) and gives false.
    bool CheckSpeechResult(speech::Result result, const std::string& step);

    bool Initialize();
    void Shutdown();
    void SaveSpeaker();
    bool GetSpeakers();
    std::string GetSpeakerName();
    void SelectSpeaker();
    bool ShowEngineDialog(std::int32_t dialog, speech::Argument argument = {});
    void OnSpeakerChanged();
    void OnSpeakerUnloaded();
    std::shared_ptr<speech::VocTools> CreateVocTools();
    std::shared_ptr<speech::WordAnalyzer> GetWordAnalyzer();
    std::shared_ptr<speech::VocabularyBuilder> GetVocabularyBuilder();
    bool AddMissingWords(const std::string& word);

    // Called when a speaker arrives (the training dialog enables "Train Word"); the dialog
    // clears it when it goes.
    void SetSpeakerArrivedHook(std::function<void()> hook) { speakerArrived_ = std::move(hook); }
    // The window that owns the engine's dialogs (none by default).
    void SetOwnerWindow(platform::WindowHandle owner) { ownerWindow_ = owner; }

    bool IsInitialized() const { return initialised_; }
    bool IsSpeakerLoaded() const { return speakerLoaded_; }
    const std::string& SpeakerName() const { return speakerName_; }
    bool EventsConnected() const { return events_.Connected(); }

private:
    // Checks a call that gives an object: a success without one counts as kNullObject. The
    // object is looked at only once the call has run.
    template <typename T>
    bool CheckObject(speech::Result result, const std::shared_ptr<T>& object,
                     const std::string& step) {
        if (speech::Succeeded(result) && !object) result = speech::kNullObject;
        return CheckSpeechResult(result, step);
    }
    // An object VocTools gives, asked for on first use and kept in `member`.
    template <typename T>
    std::shared_ptr<T> FromVocTools(std::shared_ptr<T>& member,
                                    speech::Result (speech::VocTools::*get)(std::shared_ptr<T>&),
                                    const std::string& step) {
        if (member) return member;
        std::shared_ptr<speech::VocTools> tools = CreateVocTools();
        if (!tools) return nullptr;
        std::shared_ptr<T> object;
        if (CheckObject(((*tools).*get)(object), object, step)) member = object;
        return member;
    }
    // Lets go of everything taken from the engine, without saving.
    void ReleaseAll();
    void MarkSpeakerLoaded();
    // False (after the message) when the engine call failed; empty/0 when not initialised.
    bool ReadSpeakerName(std::string& name);
    bool ReadSpeakerCount(std::int32_t& count);

    std::shared_ptr<speech::SpeechBackEnd> backEnd_;
    std::shared_ptr<speech::EngineControl> engineControl_;
    EngineControlEvents events_;
    std::string speakerName_;
    std::shared_ptr<speech::VocTools> vocTools_;
    std::shared_ptr<speech::WordAnalyzer> wordAnalyzer_;
    std::shared_ptr<speech::VocabularyBuilder> vocabularyBuilder_;
    bool initialised_ = false;
    bool speakerLoaded_ = false;
    std::function<void()> speakerArrived_;
    platform::WindowHandle ownerWindow_ = platform::kNoWindow;
    // Speaker selection and the engine dialog call each other when the engine wants a speaker
    // first: once is enough, an engine that keeps asking must not make them loop.
    bool selectingForDialog_ = false;
};

CSpEngine& GetSpEngine();
