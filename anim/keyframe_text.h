// Swing key frames as artists store them: "KEYFRAME frame NAME" entries in a node's user-defined
// properties, and the per-frame flag words they give.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/export_settings.h"

namespace vlo {

// Reads the entry at text[at] (which starts with "KEYFRAME") in the layout "KEYFRAME %d %s": the
// word, optional white space, a signed decimal number that fits an int, optional white space, a word
// of any length. False when the number or the word cannot be read.
bool ParseKeyFrameEntry(const std::string& text, std::size_t at, int& frame, std::string& word);

// Enables the slots that text names (letters in any case), in text order until the first entry that
// does not read; a later entry for a slot replaces an earlier one, other slots keep their state.
void ReadKeyFrameFlags(const std::string& text, KeyFrameFlags& flags);

// One word per frame from startFrame to endFrame: the bits of the enabled slots on that frame.
std::vector<std::uint32_t> BuildFrameFlags(const KeyFrameFlags& flags, int startFrame, int endFrame);

}  // namespace vlo
