#pragma once
// Shadow and drop variants of an outline: a stroke written with a neighbouring key too many
// (a shadow) or with one of its keys missing (a drop). The masks are strokes of the settings;
// a mask key is added to, or taken out of, a stroke only next to a key the stroke presses.
//
// Bit i (0..47) of a stroke is byte i / 8 under 0x80 >> (i % 8): bit 0 the coded-command flag,
// bit 1 the number bar, bit 2 + k key position k of every layout.
#include <string>
#include <vector>

#include "core/Stroke.h"

// False for i < 0 or a byte beyond the end of `bits`.
bool TestBit(const std::string& bits, int i);
// Flips bit i; the caller keeps 0 <= i < 8 * bits.size().
void ToggleBit(std::string& bits, int i);

// The alternatives of one 6-byte stroke: the stroke itself first, then one copy per key that
// the masks allow to be added or dropped, in increasing bit order. Never the number bar.
std::vector<std::string> StrokeAlternatives(const std::string& stroke, const Outline& shadowMask,
                                            const Outline& dropMask);

// Every outline that differs from `outline` in one or two of its strokes, each changed stroke
// being one of its alternatives. The order is that of the alternative numbers (one per stroke,
// the first stroke's most significant) read as a number; only the vectors with one or two
// non-zero entries are visited, so a long outline costs its results and nothing more.
std::vector<Outline> GenerateVariants(const Outline& outline, const Outline& shadowMask,
                                      const Outline& dropMask);

// A captured stroke into a setting of one stroke: an empty setting grows to one stroke, the
// first stroke of the setting becomes `keys` and any further strokes stay.
void SetFirstStroke(Outline& setting, const Stroke& keys);
// Clears every key of the setting's first stroke; an empty setting stays empty.
void ClearFirstStroke(Outline& setting);
