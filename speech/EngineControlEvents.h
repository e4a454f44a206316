#pragma once
// The sink through which the engine control's events reach CSpEngine: event 1 (the speaker
// changed) and event 10 (the speaker went). Other events are ignored.
#include <cstdint>

#include "speech/SpeechEngine.h"

class CSpEngine;

class EngineControlEvents final : public speech::EventSink {
public:
    static constexpr std::uint32_t kNotConnected = 0xFEFEFEFE;

    explicit EngineControlEvents(CSpEngine& engine) : engine_(engine) {}

    void Invoke(int dispatchId) override;
    void OnEngineEvent1();
    void OnEngineEvent10();

    bool Connected() const { return cookie != kNotConnected; }

    std::uint32_t cookie = kNotConnected;

private:
    CSpEngine& engine_;
};
