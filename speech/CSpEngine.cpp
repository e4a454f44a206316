#include "speech/CSpEngine.h"

#include <cstdio>

#include "platform/Presenter.h"
#include "speech/NoSpeechEngine.h"

using namespace speech;

const char* const kSpeakerNeededText = "You must have a speaker loaded to use that feature.";
const char* const kRetrainQuestion = "Word already known. Retrain";

namespace {
constexpr std::size_t kMaxMessageLength = 999;
constexpr std::int32_t kStatusShowable = 0;
constexpr std::int32_t kStatusNoSpeaker = 2;
constexpr std::int32_t kRegisterFlags = 0;
constexpr std::int32_t kAddWordsFlags = 1;
constexpr std::int32_t kUpdateFlags = 0;
}  // namespace

std::string GetDialogStatusText(std::int32_t status) {
    switch (status) {
        case 1: return "Cannot display dialog because another dialog is up.";
        case 2: return "Cannot display dialog because speaker is not selected or trained.";
        case 3: return "Dialog is not supported.";
        default: return "Unknown status.";
    }
}

std::string SpeechErrorText(const std::string& step, Result result,
                            const std::string& description) {
    char code[16];
    std::snprintf(code, sizeof code, "%X", static_cast<unsigned>(result));
    std::string text = step + " (0x" + code + ")";
    if (!description.empty()) text += "\n\"" + description + "\"";
    if (text.size() > kMaxMessageLength) text.resize(kMaxMessageLength);
    return text;
}

CSpEngine::CSpEngine(std::shared_ptr<SpeechBackEnd> backEnd)
    : backEnd_(std::move(backEnd)), events_(*this) {}

CSpEngine::~CSpEngine() { Shutdown(); }

void CSpEngine::SetBackEnd(std::shared_ptr<SpeechBackEnd> backEnd) {
    Shutdown();
    backEnd_ = std::move(backEnd);
}

bool CSpEngine::CheckSpeechResult(Result result, const std::string& step) {
    if (Succeeded(result)) return true;
    std::string description;
    if (!backEnd_ || !backEnd_->TakeErrorDescription(description)) description.clear();
    platform::ShowMessageBox(SpeechErrorText(step, result, description), {},
                             platform::kMbOk | platform::kMbIconWarning);
    return false;
}

bool CSpEngine::Initialize() {
    if (initialised_) return true;
    // What an earlier attempt left behind goes first: never a second engine object or a
    // second event connection.
    ReleaseAll();
    if (!backEnd_) return CheckSpeechResult(kClassNotRegistered, "Initialize DNS");
    std::shared_ptr<EngineControl> control;
    if (!CheckObject(backEnd_->CreateEngineControl(control), control, "Initialize DNS"))
        return false;
    engineControl_ = std::move(control);

    bool ok = CheckSpeechResult(engineControl_->Register(kRegisterFlags), "Register DNS");
    if (ok) {
        std::uint32_t cookie = EngineControlEvents::kNotConnected;
        ok = CheckSpeechResult(engineControl_->Advise(&events_, cookie), "Initialize DNS events");
        if (ok) events_.cookie = cookie;
    }
    if (ok)
        ok = CheckSpeechResult(engineControl_->DisableCompatibilityModules(),
                               "Disable all compatibility modules");
    if (!ok) {
        ReleaseAll();
        return false;
    }
    initialised_ = true;
    return true;
}

void CSpEngine::ReleaseAll() {
    if (engineControl_ && events_.Connected())
        CheckSpeechResult(engineControl_->Unadvise(events_.cookie), "Disconnect DNS events");
    events_.cookie = EngineControlEvents::kNotConnected;
    engineControl_.reset();
    wordAnalyzer_.reset();
    vocabularyBuilder_.reset();
    vocTools_.reset();
    speakerLoaded_ = false;
    speakerName_.clear();
    initialised_ = false;
}

void CSpEngine::Shutdown() {
    if (initialised_) SaveSpeaker();
    ReleaseAll();
}

void CSpEngine::SaveSpeaker() {
    if (!initialised_) return;
    bool modified = false;
    if (CheckSpeechResult(engineControl_->CheckForModifications(modified),
                          "Check for modifications") &&
        modified)
        CheckSpeechResult(engineControl_->SaveSpeechFiles(), "Save speech files");
}

bool CSpEngine::ReadSpeakerCount(std::int32_t& count) {
    count = 0;
    if (!initialised_) return true;
    std::shared_ptr<SpeakerCollection> speakers;
    if (!CheckObject(engineControl_->GetSpeakers(speakers), speakers,
                     "Get DNS speakers"))
        return false;
    return CheckSpeechResult(speakers->GetCount(count), "Get DNS speaker count");
}

bool CSpEngine::GetSpeakers() {
    std::int32_t count = 0;
    return ReadSpeakerCount(count) && count > 0;
}

bool CSpEngine::ReadSpeakerName(std::string& name) {
    name.clear();
    if (!initialised_) return true;
    if (CheckSpeechResult(engineControl_->GetSpeakerName(name), "Get DNS speaker name"))
        return true;
    name.clear();
    return false;
}

std::string CSpEngine::GetSpeakerName() {
    std::string name;
    ReadSpeakerName(name);
    return name;
}

void CSpEngine::MarkSpeakerLoaded() {
    const bool arrived = !speakerLoaded_;
    speakerLoaded_ = true;
    if (arrived && speakerArrived_) speakerArrived_();
}

void CSpEngine::SelectSpeaker() {
    if (!initialised_ && !Initialize()) return;
    std::string name;
    if (!ReadSpeakerName(name)) return;
    if (name.empty()) {
        std::int32_t count = 0;
        if (!ReadSpeakerCount(count)) return;
        ShowEngineDialog(count > 0 ? kDialogOpenSpeaker : kDialogNewSpeaker);
        return;
    }
    speakerName_ = name;
    // The engine already had a speaker: no event will announce it, so "Train Word" is
    // enabled here.
    MarkSpeakerLoaded();
}

bool CSpEngine::ShowEngineDialog(std::int32_t dialog, Argument argument) {
    if (!initialised_ && !Initialize()) return false;
    std::int32_t status = 0;
    if (!CheckSpeechResult(engineControl_->GetDialogStatus(dialog, status), "Get dialog status"))
        return false;
    if (status == kStatusNoSpeaker && !speakerLoaded_) {
        if (selectingForDialog_) return false;  // the first call tells the user
        selectingForDialog_ = true;
        SelectSpeaker();
        const bool loaded = speakerLoaded_;
        const bool shown = loaded && ShowEngineDialog(dialog);
        selectingForDialog_ = false;
        if (loaded) return shown;
        platform::ShowMessageBox(kSpeakerNeededText);
        return false;
    }
    if (status != kStatusShowable) {
        platform::ShowMessageBox("Can't display the dialog now. Status is '" +
                                 GetDialogStatusText(status) + "'");
        return false;
    }
    return CheckSpeechResult(engineControl_->ShowDialog(dialog, ownerWindow_, argument),
                             "DNS dialog show");
}

void CSpEngine::OnSpeakerChanged() {
    std::string name;
    if (!ReadSpeakerName(name)) return;
    if (!name.empty() && !speakerLoaded_) MarkSpeakerLoaded();
    speakerName_ = name;
}

void CSpEngine::OnSpeakerUnloaded() { speakerLoaded_ = false; }

std::shared_ptr<VocTools> CSpEngine::CreateVocTools() {
    if (vocTools_) return vocTools_;
    if (!backEnd_) return nullptr;
    std::shared_ptr<VocTools> tools;
    if (!CheckObject(backEnd_->CreateVocTools(tools), tools, "Create VocTools"))
        return nullptr;
    if (!CheckSpeechResult(tools->Initialize({}, {}), "Initialize VocTools")) return nullptr;
    vocTools_ = tools;
    return tools;
}

std::shared_ptr<WordAnalyzer> CSpEngine::GetWordAnalyzer() {
    return FromVocTools(wordAnalyzer_, &VocTools::GetWordAnalyzer, "Get word analyzer");
}

std::shared_ptr<VocabularyBuilder> CSpEngine::GetVocabularyBuilder() {
    return FromVocTools(vocabularyBuilder_, &VocTools::GetVocabularyBuilder,
                        "Get vocabulary builder");
}

bool CSpEngine::AddMissingWords(const std::string& word) {
    if (!initialised_) return false;
    std::shared_ptr<WordAnalyzer> analyzer = GetWordAnalyzer();
    if (!analyzer) return false;
    std::shared_ptr<MissingWords> list;
    if (!CheckObject(analyzer->GetMissingWords(list), list, "Get missing words list"))
        return false;
    std::shared_ptr<WordInformation> information;
    if (!CheckObject(analyzer->AnalyzeWord(word, information), information,
                     "Analyze word"))
        return false;
    std::uint32_t flags = 0;
    if (!CheckSpeechResult(information->GetFlags(flags), "Get word information")) return false;
    if ((flags & kWordNotInVocabulary) == 0 &&
        platform::ShowMessageBox(kRetrainQuestion, {},
                                 platform::kMbYesNo | platform::kMbIconQuestion) !=
            platform::kIdYes)
        return false;
    if (!CheckSpeechResult(list->Add(*information), "Add missing word")) return false;
    std::int32_t count = 0;
    if (!CheckSpeechResult(list->GetCount(count), "Get missing words count")) return false;
    if (count == 0) return true;
    std::shared_ptr<VocabularyBuilder> builder = GetVocabularyBuilder();
    if (!builder) return false;
    std::shared_ptr<EngineObject> result;
    if (!CheckObject(builder->AddMissingWords(*list, kAddWordsFlags, result), result,
                     "Add missing words"))
        return false;
    std::int16_t updated = 0;
    return CheckSpeechResult(builder->UpdateVocabulary(*list, kUpdateFlags, {}, updated),
                             "Update vocabulary");
}

CSpEngine& GetSpEngine() {
    static CSpEngine engine(std::make_shared<NoSpeechEngine>());
    return engine;
}
