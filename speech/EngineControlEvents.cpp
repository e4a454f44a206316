#include "speech/EngineControlEvents.h"

#include "speech/CSpEngine.h"

void EngineControlEvents::Invoke(int dispatchId) {
    if (dispatchId == speech::kEventSpeakerChanged) OnEngineEvent1();
    else if (dispatchId == speech::kEventSpeakerUnloaded) OnEngineEvent10();
}

void EngineControlEvents::OnEngineEvent1() { engine_.OnSpeakerChanged(); }

// The button keeps its state; the next speaker-changed event with a name marks the speaker
// loaded again.
void EngineControlEvents::OnEngineEvent10() { engine_.OnSpeakerUnloaded(); }
