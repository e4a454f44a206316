#pragma once
// The real child dialogs of the build dialog and of the shadows/drops configuration.
#include "app/ChildDialogs.h"
#include "platform/WindowRegistry.h"

class DialogRunner final : public BuildChildren {
public:
    // "Enter Stroke": the adjust-writer dialog in capture mode with one list line.
    bool CaptureStroke(CWriter* writer, Stroke& keys) override;
    bool Suggest(const std::string& outlineText, std::vector<std::string>& chosen) override;
    void Configure(CWriter* writer) override;
};

// The configured writer in realtime, with `owner` told of its strokes (null: none).
CWriter* CreateRealtimeWriter(platform::WindowHandle owner);
