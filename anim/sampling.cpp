#include "anim/sampling.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "core/processors.h"

namespace vlo {
namespace {

constexpr float kTwoPi = 6.2831855f;

float SafeAcos(float x) { return std::acos(std::clamp(x, -1.0f, 1.0f)); }

Matrix3 RotationPart(Matrix3 m) {
    m.NoTrans();
    m.NoScale();
    return m;
}

// The root's X axis projected on the ground plane, of unit length; fallback when it is undefined (the
// X axis vertical, or a degenerate transform).
Point3 Heading(INode* root, TimeValue t, const Point3& fallback) {
    Point3 h = VectorTransform(RotationPart(root->GetNodeTM(t)), Point3(1, 0, 0));
    h.z = 0;
    const float len = h.Length();
    if (!(len > 0.0f) || !std::isfinite(len)) return fallback;
    return h * (1.0f / len);
}

float RootRotationBase(INode* root, TimeValue reference, bool zeroInitialRootRotation) {
    if (!zeroInitialRootRotation) return 0;
    // An undefined heading at the reference time counts as facing +Y: no base turn.
    const Point3 n = Heading(root, reference, Point3(0, 1, 0));
    float a = SafeAcos(n.y);
    if (CrossProd(n, Point3(0, 1, 0)).z < 0) a = -a;
    return a;
}

// The root's travel on the ground and its turn about the vertical, frame by frame in increasing time,
// both measured from the reference time.
class RootMotion {
public:
    RootMotion(INode* root, const SampleRequest& r, float base)
        : root_(root), space_(r.space), p0_(root->GetNodeTM(r.referenceTime).GetTrans()), turn_(RotateZMatrix(base)),
          // An undefined reference heading counts as +X.
          a0_(Heading(root, r.referenceTime, Point3(1, 0, 0))), previous_(a0_) {}

    // The root at t: its travel since the reference (turned by the base turn) with its absolute
    // height, and its turn since the reference in [0, 2 pi].
    void At(TimeValue t, Vec3& position, float& rotation) {
        const Point3 p = root_->GetNodeTM(t).GetTrans();
        position = space_.Offset(Point3(p.x - p0_.x, p.y - p0_.y, p.z) * turn_);
        // An undefined heading takes the previous frame's (the reference heading on the first frame).
        const Point3 b = Heading(root_, t, previous_);
        previous_ = b;
        const float d = std::clamp(b.y * a0_.y + b.x * a0_.x + b.z * a0_.z, -1.0f, 1.0f);
        float angle = -std::acos(d);
        if (a0_.x * b.y - a0_.y * b.x < 0) angle = std::acos(d);
        while (angle < 0) angle += kTwoPi;
        while (angle > kTwoPi) angle -= kTwoPi;
        rotation = angle;
    }

private:
    INode* root_;
    const ExportSpace& space_;
    Point3 p0_;
    Matrix3 turn_;
    Point3 a0_, previous_;
};

// A world transform's axes without its translation: all that the keys are made from, and a quarter
// less to hand from one processor to the other than the whole transform.
struct Axes {
    Point3 row[3];
    explicit Axes(const Matrix3& m = Matrix3()) : row{m[0], m[1], m[2]} {}
    // The rotation part of the whole transform.
    Matrix3 Rotation() const { return RotationPart(Matrix3(row[0], row[1], row[2], Point3(0, 0, 0))); }
};

// The host's world transforms of the bones over a run of frames, as their axes: per frame, every
// bone's NodeTM, then the parent's NodeTM of each bone whose parent is not a bone.
struct TransformBlock {
    std::size_t firstFrame = 0;  // index into the range
    std::size_t frames = 0;
    std::vector<Axes> transforms;
};

// Runs one stage of work on the blocks handed to it, on a worker thread, one block behind the caller:
// the caller fills the next block (calling the host, which is called from one thread only) while the
// worker turns the last into keys. Blocks are processed in the order handed over. With a single
// processor the work runs inline.
class BlockWorker {
public:
    explicit BlockWorker(std::function<void(const TransformBlock&)> work) : work_(std::move(work)) {
        if (AvailableProcessors() < 2) return;
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            // No thread to be had (a process or user limit): the work runs inline.
        }
    }
    BlockWorker(const BlockWorker&) = delete;
    BlockWorker& operator=(const BlockWorker&) = delete;
    ~BlockWorker() { Finish(); }

    // Hands block over; block receives the storage of one already processed, for refilling.
    void Hand(TransformBlock& block) {
        if (!thread_.joinable()) return work_(block);
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !pending_; });
        std::swap(block, next_);
        pending_ = true;
        changed_.notify_all();
    }
    // Returns once every block handed over is processed.
    void Finish() {
        if (!thread_.joinable()) return;
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

private:
    void Run() {
        TransformBlock current;
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [this] { return pending_ || done_; });
                if (!pending_) return;
                std::swap(current, next_);
                pending_ = false;
            }
            changed_.notify_all();
            work_(current);
        }
    }

    std::function<void(const TransformBlock&)> work_;
    std::mutex mutex_;
    std::condition_variable changed_;
    TransformBlock next_;
    bool pending_ = false, done_ = false;
    std::thread thread_;
};

// The worker's stage: turns blocks of the bones' world transforms into their keys. A bone's rotation
// relative to its parent is its world rotation times the inverse of the parent's. Per frame, each
// bone's world rotation is taken once and each parent's inverse once, however many children share it
// (bones come parents first, so a parent's are ready for its children).
class KeyMaker {
public:
    // parentOf: each bone's parent among the bones, or -1; parentSlot: where in a frame's transforms
    // the parent's NodeTM of a bone without a bone parent lies; slots: transforms per frame.
    KeyMaker(const SampleRequest& r, Samples& s, const std::vector<std::ptrdiff_t>& parentOf,
             const std::vector<std::size_t>& parentSlot, std::size_t slots)
        : r_(r), s_(s), parentOf_(parentOf), parentSlot_(parentSlot), slots_(slots), world_(r.bones.size()),
          inverse_(r.bones.size()), inverted_(r.bones.size()) {}

    // Flattened (every call inlined: the matrix inverse and the matrix-to-quaternion among them), so
    // that a bone's matrices stay in registers from one step to the next instead of going through
    // memory at every call.
    [[gnu::flatten]] void operator()(const TransformBlock& block) {
        const std::size_t count = world_.size();
        for (std::size_t f = 0; f < block.frames; ++f) {
            const Axes* tm = &block.transforms[f * slots_];
            const std::size_t k = block.firstFrame + f;
            const Matrix3 z = RotateZMatrix(s_.rootRotations[k] + s_.rootRotationBase);
            std::fill(inverted_.begin(), inverted_.end(), 0);
            for (std::size_t i = 0; i < count; ++i) {
                world_[i] = tm[i].Rotation();
                Matrix3 parentInverse;
                if (const std::ptrdiff_t p = parentOf_[i]; p >= 0) {
                    if (!inverted_[std::size_t(p)]) inverse_[std::size_t(p)] = Inverse(world_[std::size_t(p)]);
                    inverted_[std::size_t(p)] = 1;
                    parentInverse = inverse_[std::size_t(p)];
                } else {
                    parentInverse = Inverse(tm[parentSlot_[i]].Rotation());
                }
                Matrix3 local = world_[i] * parentInverse;
                if (i == 0) local = local * z;
                const BoneKey key = r_.space.Rotation(Quat(local));
                // Blocks come in order and a block's keys in order: the first noted is the first.
                if (!s_.firstNonFiniteKey && !IsFinite(key)) s_.firstNonFiniteKey = k * count + i;
                if (FlattensAnAxis(tm[i].row[0], tm[i].row[1], tm[i].row[2])) [[unlikely]]
                    NoteFlat(k * count + i);
                s_.keys[k * count + i] = key;
            }
        }
    }

private:
    // Out of the loop above: a bone scaled to nothing is rare, and the vector's growth would crowd it.
    [[gnu::noinline, gnu::cold]] void NoteFlat(std::size_t index) { s_.flatKeys.push_back(index); }

    const SampleRequest& r_;
    Samples& s_;
    const std::vector<std::ptrdiff_t>& parentOf_;
    const std::vector<std::size_t>& parentSlot_;
    std::size_t slots_;
    std::vector<Matrix3> world_, inverse_;
    std::vector<char> inverted_;
};

// Every frame of the range, in increasing time. Per frame the calling thread asks the host for the
// root's motion, every bone's transform and each marker's place around the root, in that order, so
// that a node's transform at the frame is evaluated once and its children's come from it (a marker
// carried by a bone costs one node, not its whole chain). The bones' keys are made from their
// transforms on the worker.
void SampleFrames(const SampleRequest& r, Samples& s) {
    const std::size_t count = r.bones.size();
    std::unordered_map<INode*, std::ptrdiff_t> indexOf;
    std::vector<std::ptrdiff_t> parentOf(count, -1);
    std::vector<std::size_t> parentSlot(count);  // where the parent's NodeTM of a bone without a bone parent lies
    std::size_t slots = count;
    for (std::size_t i = 0; i < count; ++i) {
        const auto parent = indexOf.find(r.bones[i]->GetParentNode());
        if (parent != indexOf.end())
            parentOf[i] = parent->second;
        else
            parentSlot[i] = slots++;
        indexOf.emplace(r.bones[i], std::ptrdiff_t(i));
    }

    // Sized up front: the worker reads a frame's root turn while later frames are written.
    const std::size_t frames = std::size_t(r.range.Count());
    s.rootPositions.resize(frames);
    s.rootRotations.resize(frames);
    s.keys.resize(frames * count);
    s.markerTracks.assign(r.markers.size(), std::vector<Vec3>(frames));
    const float base = s.rootRotationBase;
    BlockWorker keys(KeyMaker(r, s, parentOf, parentSlot, slots));

    INode* root = r.bones[0];
    RootMotion motion(root, r, base);
    // Blocks of about kBlockTransforms transforms: large enough that handing them over costs nothing
    // next to filling them, small enough to stay in the processor's cache.
    constexpr std::size_t kBlockTransforms = 4096;
    const std::size_t framesPerBlock = std::max<std::size_t>(1, kBlockTransforms / slots);
    TransformBlock block;
    for (std::size_t first = 0; first < frames; first += framesPerBlock) {
        block.firstFrame = first;
        block.frames = std::min(framesPerBlock, frames - first);
        block.transforms.resize(block.frames * slots);
        for (std::size_t f = 0; f < block.frames; ++f) {
            const std::size_t k = first + f;
            const TimeValue t = (r.range.startFrame + int(k)) * r.range.ticksPerFrame;
            motion.At(t, s.rootPositions[k], s.rootRotations[k]);
            Axes* tm = &block.transforms[f * slots];
            for (std::size_t i = 0; i < count; ++i) {
                tm[i] = Axes(r.bones[i]->GetNodeTM(t));
                if (parentOf[i] < 0) tm[parentSlot[i]] = Axes(r.bones[i]->GetParentTM(t));
            }
            if (!r.markers.empty()) {
                const Point3 p = root->GetNodeTM(t).GetTrans();
                const Matrix3 turn = RotateZMatrix(s.rootRotations[k] + base);
                for (std::size_t m = 0; m < r.markers.size(); ++m) {
                    const Point3 at = r.markers[m]->GetNodeTM(t).GetTrans();
                    s.markerTracks[m][k] = r.space.Offset(Point3(at.x - p.x, at.y - p.y, 0) * turn);
                }
            }
        }
        keys.Hand(block);
    }
    keys.Finish();
}

}  // namespace

std::optional<TimeValue> ReferenceTime(const KeyFrameFlags& keyFrames, const FrameRange& range) {
    for (const int slot : {int(kAddressBall), int(kMouseSwingStart)}) {
        const KeyFrameFlag& flag = keyFrames[std::size_t(slot)];
        if (!flag.enabled) continue;
        // In 64 bits: a frame far out would otherwise wrap around to some other time.
        const long long ticks = (long long)flag.frame * range.ticksPerFrame;
        if (ticks < std::numeric_limits<TimeValue>::min() || ticks > std::numeric_limits<TimeValue>::max()) return std::nullopt;
        return TimeValue(ticks);
    }
    return range.startTime;
}

Samples SampleSkeleton(const SampleRequest& r) {
    INode* root = r.bones[0];
    Samples s;
    s.rootRotationBase = RootRotationBase(root, r.referenceTime, r.zeroInitialRootRotation);
    SampleFrames(r, s);
    return s;
}

}  // namespace vlo
