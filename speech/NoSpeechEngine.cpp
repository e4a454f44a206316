#include "speech/NoSpeechEngine.h"

namespace speech {

const char* const kNoEngineText = "No speech engine is installed.";

Result NoSpeechEngine::CreateEngineControl(std::shared_ptr<EngineControl>& control) {
    control.reset();
    refused_ = true;
    return kClassNotRegistered;
}

Result NoSpeechEngine::CreateVocTools(std::shared_ptr<VocTools>& tools) {
    tools.reset();
    refused_ = true;
    return kClassNotRegistered;
}

bool NoSpeechEngine::TakeErrorDescription(std::string& description) {
    if (!refused_) return false;
    refused_ = false;
    description = kNoEngineText;
    return true;
}

}  // namespace speech
