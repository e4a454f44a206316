#pragma once
// The outside speech engine as the program sees it: a few objects with exactly the calls the
// training relies on. Every call answers a result code (negative = failure, as the engine's own
// codes); objects come back through "out" pointers that the caller must check, since an engine
// may answer success and still give none. Holding a shared_ptr is holding a reference; dropping
// it releases the object.
//
// No such engine exists on Linux: the shipped back end (NoSpeechEngine) says so at the first
// object asked for, and tests drive a scripted one.
#include <cstdint>
#include <memory>
#include <string>
#include <variant>

#include "platform/WindowRegistry.h"

namespace speech {

using Result = std::int32_t;
constexpr Result kOk = 0;
constexpr Result kNullObject = Result(0x80004003u);           // success without the object
constexpr Result kClassNotRegistered = Result(0x80040154u);   // no engine installed
inline bool Succeeded(Result r) { return r >= 0; }

// An argument that may be empty, a 32-bit number or a text.
using Argument = std::variant<std::monostate, std::int32_t, std::string>;

// Events of the engine control, by their dispatch numbers.
constexpr int kEventSpeakerChanged = 1;
constexpr int kEventSpeakerUnloaded = 10;

class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void Invoke(int dispatchId) = 0;
};

class SpeakerCollection {
public:
    virtual ~SpeakerCollection() = default;
    virtual Result GetCount(std::int32_t& count) = 0;
};

// An engine-made object whose content the program never reads.
class EngineObject {
public:
    virtual ~EngineObject() = default;
};

class EngineControl {
public:
    virtual ~EngineControl() = default;
    virtual Result Register(const Argument& flags) = 0;
    virtual Result GetSpeakers(std::shared_ptr<SpeakerCollection>& speakers) = 0;
    // Empty when no speaker is loaded.
    virtual Result GetSpeakerName(std::string& name) = 0;
    virtual Result SaveSpeechFiles() = 0;
    virtual Result CheckForModifications(bool& modified) = 0;
    virtual Result GetDialogStatus(std::int32_t dialog, std::int32_t& status) = 0;
    virtual Result ShowDialog(std::int32_t dialog, platform::WindowHandle owner,
                              const Argument& argument) = 0;
    virtual Result DisableCompatibilityModules() = 0;
    // The event connection: events reach `sink` on the user-interface thread until Unadvise.
    virtual Result Advise(EventSink* sink, std::uint32_t& cookie) = 0;
    virtual Result Unadvise(std::uint32_t cookie) = 0;
};

class WordInformation {
public:
    virtual ~WordInformation() = default;
    virtual Result GetFlags(std::uint32_t& flags) = 0;
};
constexpr std::uint32_t kWordNotInVocabulary = 0x2;

class MissingWords {
public:
    virtual ~MissingWords() = default;
    virtual Result GetCount(std::int32_t& count) = 0;
    virtual Result Add(WordInformation& word) = 0;
};

class WordAnalyzer {
public:
    virtual ~WordAnalyzer() = default;
    // `word` is Windows-1252 text.
    virtual Result AnalyzeWord(const std::string& word,
                               std::shared_ptr<WordInformation>& information) = 0;
    virtual Result GetMissingWords(std::shared_ptr<MissingWords>& list) = 0;
};

class VocabularyBuilder {
public:
    virtual ~VocabularyBuilder() = default;
    virtual Result AddMissingWords(MissingWords& list, std::int32_t flags,
                                   std::shared_ptr<EngineObject>& result) = 0;
    virtual Result UpdateVocabulary(MissingWords& list, std::int32_t flags,
                                    const std::string& text, std::int16_t& result) = 0;
};

class VocTools {
public:
    virtual ~VocTools() = default;
    virtual Result Initialize(const std::string& first, const std::string& second) = 0;
    virtual Result GetWordAnalyzer(std::shared_ptr<WordAnalyzer>& analyzer) = 0;
    virtual Result GetVocabularyBuilder(std::shared_ptr<VocabularyBuilder>& builder) = 0;
};

// Where the engine's top objects come from, and its description of the last failure.
class SpeechBackEnd {
public:
    virtual ~SpeechBackEnd() = default;
    virtual Result CreateEngineControl(std::shared_ptr<EngineControl>& control) = 0;
    virtual Result CreateVocTools(std::shared_ptr<VocTools>& tools) = 0;
    // The engine's description of the failure just reported, taken once (false when it gave
    // none, or an empty one).
    virtual bool TakeErrorDescription(std::string& description) = 0;
};

}  // namespace speech
