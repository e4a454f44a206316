#include "writers/FlProtocol.h"

namespace fl {
namespace {

constexpr std::string_view kSkipMarker("\x40\x00\x00", 3);
constexpr std::string_view kJobEndMarker("\x40\x10\x00", 3);
constexpr int kGroupsSkippedAfterMarker = 2;
constexpr int kJobEndSplitFirst = 5;
constexpr int kJobEndSplitLast = 6;

// The end marker at or after `from`, as a number of bytes to drop; none yet: NeedMore.
FrameStep DropThroughMarker(std::string_view bytes, std::size_t from) {
    const std::size_t at = bytes.find(char(kEndMarker), from);
    return at == std::string_view::npos ? FrameStep::More() : FrameStep::SkipBytes(at + 1);
}

}  // namespace

FrameStep FrameGroup(std::string_view bytes) {
    if (bytes.empty()) return FrameStep::More();
    const auto first = std::uint8_t(bytes[0]);
    if (first == kEndMarker) return FrameStep::SkipBytes(1);
    // Three bytes first, whatever their values, as for a stroke; only then the marker.
    if (bytes.size() < kGroupSize - 1) return FrameStep::More();
    if (IsWriterGroup(first)) return DropThroughMarker(bytes, kGroupSize - 1);
    if (bytes.size() < kGroupSize) return FrameStep::More();
    if (std::uint8_t(bytes[3]) == kEndMarker) return FrameStep::Take(kGroupSize);
    return DropThroughMarker(bytes, 3);
}

Stroke GroupStroke(std::string_view group) {
    Stroke stroke{};
    for (std::size_t i = 0; i < 3 && i < group.size(); ++i) stroke[i] = std::uint8_t(group[i]);
    return stroke;
}

NotesCollector::Action NotesCollector::Take(std::uint8_t b) {
    pending_.push_back(char(b));
    Action action = Action::None;
    DrainFrames(pending_, FrameGroup, [&](std::string_view group) {
        if (Group(group.substr(0, 3)) == Action::SplitFile) action = Action::SplitFile;
    });
    return action;
}

NotesCollector::Action NotesCollector::Group(std::string_view group) {
    bool keep = true;
    if (group == kSkipMarker) {
        keep = false;
        skipGroups_ = kGroupsSkippedAfterMarker;
    } else if (skipGroups_ > 0) {
        keep = false;
        --skipGroups_;
    }
    if (keep) records_ += group;

    if (group != kJobEndMarker) {
        jobEndRun_ = 0;
        return Action::None;
    }
    if (jobEndRun_ >= kJobEndSplitLast) return Action::None;
    ++jobEndRun_;
    return jobEndRun_ >= kJobEndSplitFirst ? Action::SplitFile : Action::None;
}

}  // namespace fl
