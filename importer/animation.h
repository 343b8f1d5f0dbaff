// Animation clips of a scene file: their place on the artist's timeline, their frame rate, and their
// keys as transform tracks.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <assimp/anim.h>

#include "importer/fbx_reader.h"
#include "importer/gltf_facts.h"
#include "standin/track.h"

namespace importer {

// Seconds per tick of the clip's key times (assimp leaves it 0 where the file does not say).
double ClipTicksPerSecond(const aiAnimation& clip);

// Where a clip lies on the file's own timeline, in seconds.
struct ClipSpan {
    double keyOffset = 0;     // added to every key time assimp gives (it starts FBX takes at 0)
    double first = 0, last = 0;
    double timeScale = 1;     // the host's seconds per second of the file (FileFrameRate)
    std::string source;       // how the span was found, for --list
};

// The span of clip: for FBX (facts given), the take's own time span, matched by name; a Blender
// action's take that starts at 0 holds an action Blender moved to 0 from its first frame, which the
// file does not keep: that frame is taken as frame 1 at fps, Blender's default start. For other
// formats, which keep their key times: the first key to the last; for glTF (gltf given) those the
// file states for its samplers, as assimp adds keys at time 0 for the channels a node does not have.
// timeScale: the host's seconds per second of the file, which puts a file's frames on the host's
// when the file's frame rate is taken as another (29.97 fps as 30).
ClipSpan SpanOfClip(const aiAnimation& clip, const FbxFacts* facts, const GltfAnimationFacts* gltf, double fps,
                    double timeScale = 1);

// The frame rate of a clip whose file states none: the first of 30 (the host's own), 24, 25, 48, 50
// and 60 fps on whose grid every key time lies, then of the NTSC rates 29.97, 23.976 and 59.94 fps,
// taken as 30, 24 and 60 (roundedFrom is then set to the file's), else 30. why says which.
double InferFrameRate(const aiAnimation& clip, std::string& why, double& roundedFrom);

// How precisely a format keeps its key times: FBX counts time in 64-bit ticks (assimp hands them on
// as doubles); glTF, COLLADA and the rest keep seconds as floats, so a key set on frame 1 at 24 fps
// is stored at 0.041666668 s.
enum class KeyTimePrecision { Double, Float };

// A key time read from a file, in host ticks (4800 per second) on the file's timeline (keyOffset
// seconds added). A time within the file's precision of a whole tick is that tick: a key set on a
// frame is then sampled on that frame as the key itself, not as a blend with its neighbour at a
// weight of a few millionths. Order is kept: equal times stay equal, earlier times never come out
// later.
double KeyTicks(double fileSeconds, double keyOffset, KeyTimePrecision precision);

// A channel's keys as a track in the file's axes, key times as KeyTicks gives them. base gives the
// channels that have no keys.
standin::TransformTrack TrackFromChannel(const aiNodeAnim& channel, double fileTicksPerSecond, double keyOffset,
                                         KeyTimePrecision precision, const Matrix3& base);

}  // namespace importer
