// The information text files written beside every model and animation: what went into the file, in
// readable form, one section per chunk in file order. Nothing parses them; a file's own summary can
// be checked against the text beside it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "format/text_writer.h"
#include "format/vla_animation.h"
#include "format/vlo_model.h"

namespace vlo {

// The first line of a model's information text, and of an animation's.
inline constexpr std::string_view kModelTextTitle = "VLO (Velmora Object 2) Exporter Output Information";
inline constexpr std::string_view kAnimationTextTitle = "VLA (Animation) Output Information";

// Whether a file that begins with start may be replaced by an information text: it is empty, or an
// information text itself (an earlier export's). Any other file holds something of the user's.
bool MayReplaceWithText(std::string_view start);

// A local date and time, as the heading of a model's text prints it.
struct Timestamp {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

// The text beside a model: the heading (creation time, the two file names, the scale), the material
// listing, then the sections of the chunks the model holds. Written to out (flushed at the end), or
// returned whole.
void WriteModelText(const VloModel& model, const std::string& dataPath, const std::string& textPath,
                    const Timestamp& created, TextWriter& out);
std::string ModelText(const VloModel& model, const std::string& dataPath, const std::string& textPath,
                      const Timestamp& created);

// The text beside an animation: the file names, the bone list, the header, and every frame's flags,
// root position and root turn, then every marker's track.
void WriteAnimationText(const VlaAnimation& animation, const std::string& dataPath, const std::string& textPath,
                        TextWriter& out);
std::string AnimationText(const VlaAnimation& animation, const std::string& dataPath, const std::string& textPath);

// Whether the text beside a file describes that file: the model's texture list and Info section
// (counts and index buffers), or the animation's header and per-frame flags, must appear in text as
// the file's data gives them. Returns the first difference in words, or empty when there is none.
std::string ModelTextDifference(const VloModel& model, std::string_view text);
std::string AnimationTextDifference(const VlaAnimation& animation, std::string_view text);

// The material listing's form of a name: double quotes made single, control and non-ASCII bytes made
// "_", cut to 255 bytes.
std::string SanitizeName(const std::string& text);

}  // namespace vlo
