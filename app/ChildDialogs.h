#pragma once
// The dialogs that the build dialog and the shadows/drops configuration open, as the logic
// sees them. The program hands in runners that show the real dialogs; tests hand in scripted
// ones, so no test blocks on a modal child.
#include <string>
#include <vector>

#include "core/Stroke.h"

class CWriter;

// The capture of one stroke on the writer ("Enter Stroke").
class StrokeCapture {
public:
    virtual ~StrokeCapture() = default;
    // Runs the capture on `writer` (null: the capture opens a writer of its own); while it runs
    // the writer's strokes go to it. True when it ended with OK after at least one stroke, with
    // the keys of the last stroke in `keys`.
    virtual bool CaptureStroke(CWriter* writer, Stroke& keys) = 0;
};

class BuildChildren : public StrokeCapture {
public:
    // The shadow and drop suggestions for `outlineText` (stroke texts separated by blanks):
    // true when they ended with OK, with the outline texts chosen, in list order, in `chosen`.
    virtual bool Suggest(const std::string& outlineText, std::vector<std::string>& chosen) = 0;
    // The shadows/drops configuration, with `writer` for its captures.
    virtual void Configure(CWriter* writer) = 0;
};
