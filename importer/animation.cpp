#include "importer/animation.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>
#include <utility>

#include "importer/convert.h"
#include "importer/units.h"

namespace importer {
namespace {

// Calls visit(t) with every key time t of the clip, in seconds as assimp gives them, until visit
// returns false; returns false when it stopped early. Key times are visited in place: a clip of a
// million keys needs no copy of them.
template <class Visit>
bool ForEachKeyTime(const aiAnimation& clip, Visit visit) {
    const double tps = ClipTicksPerSecond(clip);
    for (unsigned c = 0; c < clip.mNumChannels; ++c) {
        const aiNodeAnim& ch = *clip.mChannels[c];
        for (unsigned i = 0; i < ch.mNumPositionKeys; ++i)
            if (!visit(ch.mPositionKeys[i].mTime / tps)) return false;
        for (unsigned i = 0; i < ch.mNumRotationKeys; ++i)
            if (!visit(ch.mRotationKeys[i].mTime / tps)) return false;
        for (unsigned i = 0; i < ch.mNumScalingKeys; ++i)
            if (!visit(ch.mScalingKeys[i].mTime / tps)) return false;
    }
    // Shape key and vertex keys are the artist's keys as much, though no animation holds them: they
    // place the clip on the timeline and on its frame grid like the others.
    for (unsigned c = 0; c < clip.mNumMorphMeshChannels; ++c)
        for (unsigned i = 0; i < clip.mMorphMeshChannels[c]->mNumKeys; ++i)
            if (!visit(clip.mMorphMeshChannels[c]->mKeys[i].mTime / tps)) return false;
    for (unsigned c = 0; c < clip.mNumMeshChannels; ++c)
        for (unsigned i = 0; i < clip.mMeshChannels[c]->mNumKeys; ++i)
            if (!visit(clip.mMeshChannels[c]->mKeys[i].mTime / tps)) return false;
    return true;
}

}  // namespace

double ClipTicksPerSecond(const aiAnimation& clip) { return clip.mTicksPerSecond > 0 ? clip.mTicksPerSecond : 25.0; }

ClipSpan SpanOfClip(const aiAnimation& clip, const FbxFacts* facts, const GltfAnimationFacts* gltf, double fps,
                    double timeScale) {
    ClipSpan span;
    span.timeScale = timeScale;
    auto scaled = [&] {
        span.first *= timeScale;
        span.last *= timeScale;
        span.keyOffset *= timeScale;
    };
    // The first and the last key time: a pass over every key, made only where the span needs it.
    auto keyExtent = [&clip] {
        double firstKey = 0, lastKey = 0;
        bool anyKey = false;
        ForEachKeyTime(clip, [&](double t) {
            if (!anyKey) firstKey = lastKey = t;
            if (t < firstKey) firstKey = t;
            if (lastKey < t) lastKey = t;
            anyKey = true;
            return true;
        });
        return std::pair(firstKey, lastKey);
    };
    if (!facts) {
        // A glTF file states its clips' spans (no pass over the keys); other formats' keys give them.
        std::tie(span.first, span.last) = gltf && gltf->span ? *gltf->span : keyExtent();
        span.source = "its first key to its last";
        scaled();
        return span;
    }
    const FbxTake* take = nullptr;
    for (const FbxTake& t : facts->takes)
        if (t.name == clip.mName.C_Str() || (facts->takes.size() == 1)) take = &t;
    if (!take || (take->start == 0 && take->stop == 0)) {
        // No span in the file: assimp started the clip at its first key.
        span.first = 0;
        span.last = keyExtent().second;
        span.source = "its keys (the file gives the take no time span)";
    } else {
        span.keyOffset = take->start;
        span.first = take->start;
        span.last = take->stop;
        span.source = "the take's own time span";
    }
    scaled();
    // Blender writes the take of each action ("Object|Action") and of each NLA strip (named as the
    // strip) from its first frame as time 0 and keeps no trace of that frame; only the scene-wide
    // take, named as the scene (the file's document), keeps the scene's frames. A Blender scene's
    // timeline starts at frame 1.
    const bool blenderAction = facts->WrittenByBlender() && take &&
                               (take->name.find('|') != std::string::npos ||
                                (!facts->sceneName.empty() && take->name != facts->sceneName));
    if (blenderAction && span.first == 0) {
        const double frameOne = 1.0 / fps;
        span.keyOffset += frameOne;
        span.first += frameOne;
        span.last += frameOne;
        span.source = "the take's own time span, moved to start at frame 1: Blender writes an action or NLA strip "
                      "from time 0 and does not keep its first frame (use --range if it starts elsewhere)";
    }
    return span;
}

double InferFrameRate(const aiAnimation& clip, std::string& why, double& roundedFrom) {
    const bool noKeys = ForEachKeyTime(clip, [](double) { return false; });
    auto onGrid = [&clip](double fps) {
        return ForEachKeyTime(clip, [fps](double t) {
            const double frames = t * fps;
            return !(std::fabs(frames - std::round(frames)) > 0.005);
        });
    };
    for (const double fps : {30.0, 24.0, 25.0, 48.0, 50.0, 60.0}) {
        if (onGrid(fps)) {
            why = noKeys ? "the file states no frame rate and has no keys: 30 fps"
                         : "every key lies on its frame grid (the file states no frame rate)";
            return noKeys ? 30 : fps;
        }
    }
    // The NTSC rates, whose frames are no whole number of the host's ticks: taken as the whole rate
    // next to them, each key on its frame (as an FBX file's stated rate is).
    for (const double fps : {30.0, 24.0, 60.0})
        if (onGrid(fps / 1.001)) {
            roundedFrom = fps / 1.001;
            why = "every key lies on the frame grid of " + Number(roundedFrom) + " fps (the file states no frame rate), taken as " +
                  Number(fps) + ": a frame is a whole number of the host's 4800 ticks per second";
            return fps;
        }
    why = "the file states no frame rate and its keys fit no common rate: 30 fps";
    return 30;
}

double KeyTicks(double fileSeconds, double keyOffset, KeyTimePrecision precision) {
    constexpr double kTicksPerSecond = TIME_TICKSPERSEC;
    const double ticks = (fileSeconds + keyOffset) * kTicksPerSecond, tick = std::nearbyint(ticks);
    // How far the time may lie from the tick it was set on: a few steps of the file's number type at
    // the size of the time as stored (before keyOffset) or as placed, whichever is larger. A float
    // keeps 24 bits; a time that went through it and one float product (assimp's glTF seconds to
    // milliseconds) is within 2^-23 of its size. Doubles carry the conversions' rounding only.
    // The reach depends on the nearest tick alone, which keeps the order of times; it stops at a
    // quarter of a tick, so a time plainly between two ticks stays there even where a float's step
    // is that coarse (beyond 218 s).
    const double relative = precision == KeyTimePrecision::Float ? 0x1p-22 : 0x1p-44;
    const double size = std::max(std::fabs(tick - keyOffset * kTicksPerSecond), std::fabs(tick));
    const double reach = std::min(size * relative, 0.25);
    return std::fabs(ticks - tick) <= reach ? tick : ticks;
}

standin::TransformTrack TrackFromChannel(const aiNodeAnim& channel, double fileTicksPerSecond, double keyOffset,
                                         KeyTimePrecision precision, const Matrix3& base) {
    standin::TransformTrack track;
    track.base = base;
    auto ticks = [&](double time) { return KeyTicks(time / fileTicksPerSecond, keyOffset, precision); };
    track.position.reserve(channel.mNumPositionKeys);
    track.rotation.reserve(channel.mNumRotationKeys);
    track.scale.reserve(channel.mNumScalingKeys);
    for (unsigned i = 0; i < channel.mNumPositionKeys; ++i)
        track.position.push_back({ticks(channel.mPositionKeys[i].mTime), ToPoint3(channel.mPositionKeys[i].mValue)});
    for (unsigned i = 0; i < channel.mNumRotationKeys; ++i) {
        // assimp's quaternion rotates column vectors; the host quaternion of the same rotation is
        // taken from its matrix.
        const aiMatrix3x3 r = channel.mRotationKeys[i].mValue.GetMatrix();
        track.rotation.push_back({ticks(channel.mRotationKeys[i].mTime), Quat(ToMatrix3(aiMatrix4x4(r)))});
    }
    for (unsigned i = 0; i < channel.mNumScalingKeys; ++i)
        track.scale.push_back({ticks(channel.mScalingKeys[i].mTime), ToPoint3(channel.mScalingKeys[i].mValue)});
    return track;
}

}  // namespace importer
