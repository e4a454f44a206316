#include "tests/speech/FakeSpeechEngine.h"

#include <algorithm>

using namespace speech;

namespace {

// Every object of the fake counts itself alive while someone holds it.
class FakeObject {
public:
    explicit FakeObject(std::shared_ptr<FakeSpeechEngine> engine) : engine_(std::move(engine)) {
        engine_->ObjectMade();
    }
    virtual ~FakeObject() { engine_->ObjectGone(); }
    FakeObject(const FakeObject&) = delete;
    FakeObject& operator=(const FakeObject&) = delete;

protected:
    FakeSpeechEngine& Engine() { return *engine_; }
    std::shared_ptr<FakeSpeechEngine> EnginePtr() { return engine_; }

    // Records the call; on success hands out `make()` unless the script wants no object.
    template <typename T, typename Make>
    Result Give(const std::string& call, std::shared_ptr<T>& out, Make make) {
        out.reset();
        Result r = engine_->Call(call);
        if (Succeeded(r) && !engine_->GivesNull(call)) out = make();
        return r;
    }

private:
    std::shared_ptr<FakeSpeechEngine> engine_;
};

class FakeSpeakers final : public SpeakerCollection, FakeObject {
public:
    using FakeObject::FakeObject;
    Result GetCount(std::int32_t& count) override {
        Result r = Engine().Call("SpeakerCount");
        if (Succeeded(r)) count = Engine().speakerCount;
        return r;
    }
};

class FakeResult final : public EngineObject, FakeObject {
public:
    using FakeObject::FakeObject;
};

class FakeWordInformation final : public WordInformation, FakeObject {
public:
    FakeWordInformation(std::shared_ptr<FakeSpeechEngine> engine, std::string word)
        : FakeObject(std::move(engine)), word(std::move(word)) {}
    Result GetFlags(std::uint32_t& flags) override {
        Result r = Engine().Call("GetFlags");
        if (Succeeded(r))
            flags = 0x10 | (Engine().vocabulary.count(word) ? 0 : kWordNotInVocabulary);
        return r;
    }
    std::string word;
};

class FakeMissingWords final : public MissingWords, FakeObject {
public:
    using FakeObject::FakeObject;
    Result GetCount(std::int32_t& count) override {
        Result r = Engine().Call("MissingCount");
        if (Succeeded(r)) count = std::int32_t(words.size());
        return r;
    }
    Result Add(WordInformation& information) override {
        Result r = Engine().Call("AddWord");
        if (Succeeded(r)) words.push_back(dynamic_cast<FakeWordInformation&>(information).word);
        return r;
    }
    std::vector<std::string> words;
};

class FakeAnalyzer final : public WordAnalyzer, FakeObject {
public:
    using FakeObject::FakeObject;
    Result AnalyzeWord(const std::string& word,
                       std::shared_ptr<WordInformation>& information) override {
        return Give("AnalyzeWord", information,
                    [&] { return std::make_shared<FakeWordInformation>(EnginePtr(), word); });
    }
    Result GetMissingWords(std::shared_ptr<MissingWords>& list) override {
        return Give("GetMissingWords", list,
                    [&] { return std::make_shared<FakeMissingWords>(EnginePtr()); });
    }
};

class FakeBuilder final : public VocabularyBuilder, FakeObject {
public:
    using FakeObject::FakeObject;
    Result AddMissingWords(MissingWords& list, std::int32_t,
                           std::shared_ptr<EngineObject>& result) override {
        Result r = Give("AddMissingWords", result,
                        [&] { return std::make_shared<FakeResult>(EnginePtr()); });
        if (Succeeded(r)) {
            for (const std::string& w : dynamic_cast<FakeMissingWords&>(list).words) {
                Engine().trained.push_back(w);
                Engine().vocabulary.insert(w);
            }
        }
        return r;
    }
    Result UpdateVocabulary(MissingWords&, std::int32_t, const std::string&,
                            std::int16_t& result) override {
        result = 0;
        return Engine().Call("UpdateVocabulary");
    }
};

class FakeVocTools final : public VocTools, FakeObject {
public:
    using FakeObject::FakeObject;
    Result Initialize(const std::string&, const std::string&) override {
        return Engine().Call("InitializeVocTools");
    }
    Result GetWordAnalyzer(std::shared_ptr<WordAnalyzer>& analyzer) override {
        return Give("GetWordAnalyzer", analyzer,
                    [&] { return std::make_shared<FakeAnalyzer>(EnginePtr()); });
    }
    Result GetVocabularyBuilder(std::shared_ptr<VocabularyBuilder>& builder) override {
        return Give("GetVocabularyBuilder", builder,
                    [&] { return std::make_shared<FakeBuilder>(EnginePtr()); });
    }
};

class FakeControl final : public EngineControl, FakeObject {
public:
    using FakeObject::FakeObject;
    Result Register(const Argument&) override { return Engine().Call("Register"); }
    Result GetSpeakers(std::shared_ptr<SpeakerCollection>& speakers) override {
        return Give("GetSpeakers", speakers,
                    [&] { return std::make_shared<FakeSpeakers>(EnginePtr()); });
    }
    Result GetSpeakerName(std::string& name) override {
        Result r = Engine().Call("GetSpeakerName");
        if (Succeeded(r)) name = Engine().speakerName;
        return r;
    }
    Result SaveSpeechFiles() override {
        Result r = Engine().Call("SaveSpeechFiles");
        if (Succeeded(r)) Engine().modified = false;
        return r;
    }
    Result CheckForModifications(bool& modified) override {
        Result r = Engine().Call("CheckForModifications");
        if (Succeeded(r)) modified = Engine().modified;
        return r;
    }
    Result GetDialogStatus(std::int32_t dialog, std::int32_t& status) override {
        Result r = Engine().Call("GetDialogStatus");
        if (Succeeded(r)) {
            auto it = Engine().dialogStatus.find(dialog);
            status = it == Engine().dialogStatus.end() ? 0 : it->second;
            if (Engine().needsSpeaker.count(dialog))
                status = Engine().speakerName.empty() ? 2 : 0;
        }
        return r;
    }
    Result ShowDialog(std::int32_t dialog, platform::WindowHandle, const Argument&) override {
        Result r = Engine().Call("ShowDialog");
        if (Succeeded(r)) {
            Engine().shownDialogs.push_back(dialog);
            if (Engine().onShowDialog) Engine().onShowDialog(dialog);
        }
        return r;
    }
    Result DisableCompatibilityModules() override {
        return Engine().Call("DisableCompatibilityModules");
    }
    Result Advise(EventSink* sink, std::uint32_t& cookie) override {
        Result r = Engine().Call("Advise");
        if (Succeeded(r)) cookie = Engine().Connect(sink);
        return r;
    }
    Result Unadvise(std::uint32_t cookie) override {
        Result r = Engine().Call("Unadvise");
        if (Succeeded(r) && !Engine().Disconnect(cookie)) return Result(0x80040200u);
        return r;
    }
};

}  // namespace

void FakeSpeechEngine::Fail(const std::string& call, Result code, const std::string& description,
                            int times) {
    failures_[call] = Failure{code, description, times};
}

void FakeSpeechEngine::GiveNull(const std::string& call) { nullCalls_.insert(call); }

Result FakeSpeechEngine::Call(const std::string& call) {
    calls_.push_back(call);
    auto it = failures_.find(call);
    if (it == failures_.end() || it->second.times == 0) return kOk;
    Failure failure = it->second;
    if (it->second.times > 0) --it->second.times;
    pendingDescription_ = failure.description;
    return failure.code;
}

int FakeSpeechEngine::CountCalls(const std::string& call) const {
    return int(std::count(calls_.begin(), calls_.end(), call));
}

Result FakeSpeechEngine::CreateEngineControl(std::shared_ptr<EngineControl>& control) {
    control.reset();
    Result r = Call("CreateEngineControl");
    if (Succeeded(r) && !GivesNull("CreateEngineControl"))
        control = std::make_shared<FakeControl>(shared_from_this());
    return r;
}

Result FakeSpeechEngine::CreateVocTools(std::shared_ptr<VocTools>& tools) {
    tools.reset();
    Result r = Call("CreateVocTools");
    if (Succeeded(r) && !GivesNull("CreateVocTools"))
        tools = std::make_shared<FakeVocTools>(shared_from_this());
    return r;
}

bool FakeSpeechEngine::TakeErrorDescription(std::string& description) {
    description = pendingDescription_;
    pendingDescription_.clear();
    return !description.empty();
}

std::uint32_t FakeSpeechEngine::Connect(EventSink* sink) {
    std::uint32_t cookie = nextCookie_++;
    sinks_[cookie] = sink;
    return cookie;
}

bool FakeSpeechEngine::Disconnect(std::uint32_t cookie) { return sinks_.erase(cookie) == 1; }

void FakeSpeechEngine::Fire(int dispatchId) {
    // A handler may disconnect: fire at a copy.
    auto sinks = sinks_;
    for (auto& [cookie, sink] : sinks)
        if (sinks_.count(cookie)) sink->Invoke(dispatchId);
}
