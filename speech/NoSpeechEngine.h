#pragma once
// The shipped back end: no speech engine exists on this system, so every object asked for is
// refused with "class not registered" and a description that says so plainly.
#include "speech/SpeechEngine.h"

namespace speech {

extern const char* const kNoEngineText;  // "No speech engine is installed."

class NoSpeechEngine final : public SpeechBackEnd {
public:
    Result CreateEngineControl(std::shared_ptr<EngineControl>& control) override;
    Result CreateVocTools(std::shared_ptr<VocTools>& tools) override;
    bool TakeErrorDescription(std::string& description) override;

private:
    bool refused_ = false;
};

}  // namespace speech
