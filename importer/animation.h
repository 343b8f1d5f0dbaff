// Animation clips of a scene file as keyed transform tracks.
#pragma once

#include <string>
#include <vector>

#include <assimp/anim.h>

#include "standin/track.h"

namespace importer {

// A channel's keys as a track in the file's axes, key times in host ticks (4800 per second). base
// gives the channels that have no keys.
standin::TransformTrack TrackFromChannel(const aiNodeAnim& channel, double fileTicksPerSecond, const Matrix3& base);

// Seconds per tick of the clip's key times (assimp leaves it 0 where the file does not say).
double ClipTicksPerSecond(const aiAnimation& clip);

}  // namespace importer
