// The node tree of a scene file into the stand-in scene.
#include <assimp/BaseImporter.h>
#include <assimp/DefaultIOSystem.h>
#include <assimp/Importer.hpp>
#include <assimp/MemoryIOWrapper.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <tuple>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <map>
#include <unordered_map>
#include <optional>
#include <memory>
#include <set>
#include <sstream>
#include <system_error>

#include "host/node_walk.h"
#include "importer/animation.h"
#include "importer/convert.h"
#include "importer/fbx_reader.h"
#include "importer/file_pages.h"
#include "importer/gltf_accessors.h"
#include "importer/gltf_facts.h"
#include "importer/host_axes.h"
#include "importer/importer.h"
#include "importer/lower_case.h"
#include "importer/materials.h"
#include "importer/meshes.h"
#include "importer/reader_traps.h"
#include "importer/properties.h"
#include "importer/quads.h"
#include "importer/skins.h"
#include "importer/units.h"
#include "importer/used_files.h"
#include "importer/wording.h"
#include "importer/yardstick.h"

namespace importer {
namespace {

enum class Format { Fbx, Gltf, Collada, Obj, Other };

constexpr const char* kPivotMarker = "_$AssimpFbx$_";
constexpr const char* kBlenderNeutralBone = "neutral_bone";

bool IsPivotHelper(const aiNode& node) { return std::string(node.mName.C_Str()).find(kPivotMarker) != std::string::npos; }

std::string MetadataText(const aiMetadataEntry& e) {
    switch (e.mType) {
        case AI_BOOL: return *static_cast<const bool*>(e.mData) ? "true" : "false";
        case AI_INT32: return std::to_string(*static_cast<const std::int32_t*>(e.mData));
        case AI_UINT64: return std::to_string(*static_cast<const std::uint64_t*>(e.mData));
        case AI_FLOAT: return std::to_string(*static_cast<const float*>(e.mData));
        case AI_DOUBLE: return std::to_string(*static_cast<const double*>(e.mData));
        case AI_AISTRING: return static_cast<const aiString*>(e.mData)->C_Str();
        default: return {};
    }
}

bool MetadataBool(const aiMetadata* md, const char* key) {
    bool value = false;
    return md && md->Get(key, value) && value;
}

// Adds name to names unless it is there already (names keep their first order).
void AddOnce(std::vector<std::string>& names, const std::string& name) {
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}

// The diagonal of the box that keys' values span; 0 for fewer than two keys.
double Spread(const std::vector<standin::Key<Point3>>& keys) {
    if (keys.empty()) return 0;
    Point3 lo = keys[0].value, hi = lo;
    for (const auto& k : keys) {
        lo = Point3(std::min(lo.x, k.value.x), std::min(lo.y, k.value.y), std::min(lo.z, k.value.z));
        hi = Point3(std::max(hi.x, k.value.x), std::max(hi.y, k.value.y), std::max(hi.z, k.value.z));
    }
    return std::hypot(double(hi.x) - lo.x, double(hi.y) - lo.y, double(hi.z) - lo.z);
}

// The longest of a transform's axes: the most it scales a length.
double LargestScale(const Matrix3& m) { return std::max({double(m[0].Length()), double(m[1].Length()), double(m[2].Length())}); }

// Runs read on a thread of its own, or when no thread can be started, when its result is asked for.
template <class Read>
auto Beside(const Read& read) {
    try {
        return std::async(std::launch::async, read);
    } catch (const std::system_error&) {
        return std::async(std::launch::deferred, read);
    }
}

// A clip's keys below this count are converted on the calling thread alone: a second thread would
// take longer to start than the conversion takes.
constexpr std::size_t kKeysWorthASecondThread = 20000;

// Every key of a channel.
std::size_t KeyCount(const aiNodeAnim& channel) {
    return std::size_t(channel.mNumPositionKeys) + channel.mNumRotationKeys + channel.mNumScalingKeys;
}

// A node's local transform over a clip: its own channel (or static transform) times those of its
// folded pivot helpers, in host axes. Each channel keeps a cursor, so sampling in time order is
// constant cost per sample.
class ClipTrack final : public standin::LocalTrack {
public:
    struct Part {
        Matrix3 base;                                // the part's static transform
        std::optional<standin::TrackSampler> track;  // its channel, when it has one
    };
    ClipTrack(std::vector<Part> parts, const Matrix3& rest, const Matrix3& toHost, const Matrix3& fromHost)
        : parts_(std::move(parts)), inHostAxes_(rest, toHost, fromHost) {}

    Matrix3 At(TimeValue t) override {
        Matrix3 m;
        bool first = true;
        for (Part& p : parts_) {
            const Matrix3 local = p.track ? p.track->At(double(t)) : p.base;
            m = first ? local : m * local;
            first = false;
        }
        return inHostAxes_(m);
    }

private:
    std::vector<Part> parts_;
    HostAxesTransform inHostAxes_;
};

class TreeBuilder {
public:
    // toHost: the turn from the file's axes into the host's Z-up axes.
    TreeBuilder(const aiScene& source, standin::Scene& scene, SceneInfo& info, MaterialLibrary& materials, Format format,
                const Matrix3& toHost)
        : source_(source), scene_(scene), info_(info), materials_(materials), fbx_(format == Format::Fbx),
          gltf_(format == Format::Gltf), obj_(format == Format::Obj), toHost_(toHost), fromHost_(Inverse(toHost)) {
        // Bones and their ancestors make up skeletons: plain nodes, never dummies (or markers). A
        // bone or a channel names its node only, so every node of that name counts (two armatures
        // may each have a bone "Bone").
        std::unordered_map<std::string, std::vector<const aiNode*>> byName;
        std::vector<const aiNode*> walk = {source.mRootNode};
        while (!walk.empty()) {
            const aiNode* n = walk.back();
            walk.pop_back();
            byName[n->mName.C_Str()].push_back(n);
            walk.insert(walk.end(), n->mChildren, n->mChildren + n->mNumChildren);
        }
        auto named = [&byName](const aiString& name) -> const std::vector<const aiNode*>& {
            static const std::vector<const aiNode*> none;
            const auto it = byName.find(name.C_Str());
            return it == byName.end() ? none : it->second;
        };
        for (unsigned m = 0; m < source.mNumMeshes; ++m)
            for (unsigned b = 0; b < source.mMeshes[m]->mNumBones; ++b)
                for (const aiNode* bone : named(source.mMeshes[m]->mBones[b]->mName))
                    for (const aiNode* n = bone; n; n = n->mParent) bones_.insert(n->mName.C_Str());
        // So are the nodes an animation moves as a hierarchy: animated nodes with children, and every
        // ancestor of an animated node. An animated leaf (a moving marker) stays a dummy.
        for (unsigned a = 0; a < source.mNumAnimations; ++a)
            for (unsigned c = 0; c < source.mAnimations[a]->mNumChannels; ++c)
                for (const aiNode* n : named(source.mAnimations[a]->mChannels[c]->mNodeName)) {
                    if (n->mNumChildren) bones_.insert(n->mName.C_Str());
                    for (const aiNode* up = n->mParent; up; up = up->mParent) bones_.insert(up->mName.C_Str());
                }
        for (unsigned i = 0; i < source.mNumCameras; ++i) noObject_.insert(source.mCameras[i]->mName.C_Str());
        for (unsigned i = 0; i < source.mNumLights; ++i) noObject_.insert(source.mLights[i]->mName.C_Str());
    }

    // Adds node under parent. pending: the transforms of folded pivot helpers above the node (and,
    // for top-level nodes, the file root's transform), applied after its own.
    //
    // Every transform is expressed in host axes (conjugated by the up-axis turn) and every vertex is
    // turned, so each object's own Z is the file's up: a yardstick stands along its own Z as in the
    // host, and world positions come out Z-up.
    void Add(const aiNode& node, standin::Node* parent, const Matrix3& rest, std::vector<const aiNode*> helpers = {}) {
        if (IsBlenderLeafBone(node)) {
            droppedLeafBones_.push_back(node.mName.C_Str());
            return;
        }
        if (IsBlenderNeutralBone(node)) {
            droppedNeutralBone_ = true;
            return;
        }
        if (IsPivotHelper(node) && node.mNumMeshes == 0 && node.mNumChildren == 1) {
            helpers.insert(helpers.begin(), &node);  // nearest to the node first
            Add(*node.mChildren[0], parent, rest, std::move(helpers));
            return;
        }
        standin::Node& host = scene_.CreateNode(node.mName.C_Str(), parent);
        Matrix3 local = ToMatrix3(node.mTransformation);
        for (const aiNode* h : helpers) local = local * ToMatrix3(h->mTransformation);
        host.SetLocalTM(InHostAxes(local * rest));
        sources_.push_back({&host, &node, std::move(helpers), rest});
        host.SetUserProps(UserProps(node, host.Name()));

        std::vector<MeshPiece> pieces;
        const auto place = skinnedMeshPlaces.find(node.mName.C_Str());
        for (unsigned i = 0; i < node.mNumMeshes; ++i) {
            const aiMesh* mesh = source_.mMeshes[node.mMeshes[i]];
            if (place != skinnedMeshPlaces.end() && mesh->HasBones())
                pieces.push_back({mesh, place->second, true});
            else
                pieces.push_back({mesh, Matrix3(), false});
        }
        std::vector<const aiNode*> children;
        CollectBelowHelpers(node, Matrix3(), pieces, children);
        SetObject(node, host, pieces);
        for (const aiNode* child : children) Add(*child, &host, childPending_[child]);
    }

    // Where a skinned mesh of a node of this name lies in the node's space, when the file says so
    // apart from the node's transform (a COLLADA skin's bind shape matrix, which assimp folds into
    // the bones' inverse bind matrices only): it becomes the mesh's object offset, so the mesh
    // stands where the file's skin puts it. Set before the nodes are added.
    std::map<std::string, Matrix3> skinnedMeshPlaces;
    // Blender's FBX exporter adds an empty leaf bone, named after its parent with "_end", to every
    // bone chain ("Add Leaf Bones", on by default); set before the nodes are added.
    bool dropBlenderLeafBones = false;
    const std::vector<std::string>& DroppedLeafBones() const { return droppedLeafBones_; }
    // Blender's glTF exporter binds the vertices that have no weight to a joint of its own, an empty
    // leaf named kBlenderNeutralBone; set before the nodes are added. Without it, such a file gives
    // the bones and the verdict on those vertices that the same scene's other formats give.
    bool dropBlenderNeutralBone = false;
    bool DroppedNeutralBone() const { return droppedNeutralBone_; }
    std::vector<NodeWarning> TakeNodeWarnings() { return std::move(nodeWarnings_); }
    std::vector<NodeMotion> TakeMotions() { return std::move(motions_); }

private:
    bool IsBlenderNeutralBone(const aiNode& node) const {
        return dropBlenderNeutralBone && node.mNumMeshes == 0 && node.mNumChildren == 0 && node.mParent &&
               std::string(node.mName.C_Str()) == kBlenderNeutralBone;
    }
    bool IsBlenderLeafBone(const aiNode& node) const {
        return dropBlenderLeafBones && node.mNumMeshes == 0 && node.mNumChildren == 0 && node.mParent &&
               std::string(node.mName.C_Str()) == std::string(node.mParent->mName.C_Str()) + "_end";
    }

    // Pivot helpers below a node carry its geometric offset: their meshes become the node's, their
    // other children become the node's children, each with the helpers' transforms folded in.
    void CollectBelowHelpers(const aiNode& node, const Matrix3& offset, std::vector<MeshPiece>& pieces,
                             std::vector<const aiNode*>& children) {
        for (unsigned c = 0; c < node.mNumChildren; ++c) {
            const aiNode* child = node.mChildren[c];
            if (IsPivotHelper(*child)) {
                const Matrix3 childOffset = ToMatrix3(child->mTransformation) * offset;
                for (unsigned i = 0; i < child->mNumMeshes; ++i)
                    pieces.push_back({source_.mMeshes[child->mMeshes[i]], childOffset, true});
                CollectBelowHelpers(*child, childOffset, pieces, children);
            } else {
                children.push_back(child);
                childPending_[child] = offset;
            }
        }
    }

    void SetObject(const aiNode& node, standin::Node& host, std::vector<MeshPiece>& pieces) {
        if (pieces.empty()) {
            const std::string name = node.mName.C_Str();
            // OBJ has no empty objects: a node without faces is only a name assimp kept.
            const bool isNull = fbx_ ? MetadataBool(node.mMetaData, "IsNull") : !obj_;
            if (isNull && !bones_.count(name) && !noObject_.count(name) && node.mParent)
                host.SetObject(&scene_.Make<standin::DummyObject>());
            return;
        }
        // A single offset shared by every piece stays an object offset; mixed ones are baked in.
        bool sameOffset = true;
        for (const MeshPiece& p : pieces) sameOffset &= p.hasOffset == pieces[0].hasOffset && p.offset == pieces[0].offset;
        if (sameOffset && pieces[0].hasOffset) {
            host.SetObjectOffset(InHostAxes(pieces[0].offset));
            for (MeshPiece& p : pieces) p.hasOffset = false;
        }
        auto& tri = scene_.Make<TriObject>();
        const BuiltMesh built = BuildMesh(pieces, tri.mesh, gltf_, toHost_, materials_.UvPlacements());
        if (built.skippedFaces)
            Warn(host, std::to_string(built.skippedFaces) + " point or line primitives left out (a model holds triangles only)");
        if (built.unusableNormals)
            Warn(host, std::to_string(built.unusableNormals) +
                           " normals of the file have no length or are not finite; those vertices get the normals "
                           "their faces give");
        SayWhatTheModelLeavesOut(host, pieces);
        host.SetObject(&tri);
        bool hasBones = false;
        for (const MeshPiece& p : pieces) hasBones |= p.mesh->HasBones();
        if (hasBones) skinned_.push_back({&host, pieces});
        host.SetMaterial(built.materials.size() == 1 ? materials_.Single(built.materials[0]) : materials_.Multi(built.materials));
    }

    // What of a node's meshes a model has no place for, each named with what to do about it: shape
    // keys (the model takes the mesh's basis shape, in every format alike), UV maps after the first,
    // vertex colours. A mesh split by material repeats its keys and maps in every piece: each is
    // counted once.
    void SayWhatTheModelLeavesOut(const standin::Node& host, const std::vector<MeshPiece>& pieces) {
        std::vector<std::string> shapeKeys, laterUvMaps;
        unsigned shapeKeyCount = 0, uvMapCount = 0;
        bool colours = false;
        for (const MeshPiece& p : pieces) {
            const aiMesh& m = *p.mesh;
            shapeKeyCount = std::max(shapeKeyCount, m.mNumAnimMeshes);
            for (unsigned k = 0; k < m.mNumAnimMeshes; ++k)
                if (m.mAnimMeshes[k]->mName.length) AddOnce(shapeKeys, m.mAnimMeshes[k]->mName.C_Str());
            uvMapCount = std::max(uvMapCount, m.GetNumUVChannels());
            for (unsigned c = 1; c < m.GetNumUVChannels(); ++c)
                if (const aiString* name = m.HasTextureCoordsName(c) ? m.GetTextureCoordsName(c) : nullptr; name && name->length)
                    AddOnce(laterUvMaps, name->C_Str());
            colours |= m.GetNumColorChannels() > 0;
        }
        auto named = [](const std::vector<std::string>& names) { return names.empty() ? "" : " (" + CommaList(names) + ")"; };
        if (shapeKeyCount)
            Warn(host, CountOf(shapeKeyCount, "shape key") + " left out" + named(shapeKeys) +
                           ": the model has the mesh's basis shape (to export the shape you see, apply the shape keys "
                           "first: 'Apply All Shape Keys' in Blender)");
        if (uvMapCount > 1)
            Warn(host, CountOf(uvMapCount - 1, "UV map") + " after the first left out" + named(laterUvMaps) +
                           ": a model has one (make the one its textures use the first)");
        if (colours) Warn(host, "its vertex colours are left out: a model has none (bake them into its texture to keep them)");
    }

    // A warning about host's mesh, given when an export takes it.
    void Warn(const standin::Node& host, const std::string& text) {
        nodeWarnings_.push_back({&host, "node '" + host.Name() + "': " + text});
    }

    Matrix3 InHostAxes(const Matrix3& m) const { return fromHost_ * m * toHost_; }

public:
    const std::vector<SkinnedNode>& Skinned() const { return skinned_; }

    // The glTF's interpolation of the channels of node (named channelNode in the file) onto track:
    // steps hold each key until the next. Cubic splines reach assimp as their keys' values alone,
    // which are then joined by straight lines: said in a warning.
    void TakeInterpolation(const GltfAnimationFacts& gltf, const std::string& channelNode, const std::string& hostName,
                           standin::TransformTrack& track) {
        const auto it = gltf.nodes.find(channelNode);
        if (it == gltf.nodes.end()) return;
        const GltfNodeChannels& modes = it->second;
        std::vector<std::string> cubic;
        auto take = [&](GltfInterpolation mode, standin::Interpolation& into, const char* what) {
            if (mode == GltfInterpolation::Step) into = standin::Interpolation::Step;
            if (mode == GltfInterpolation::CubicSpline) cubic.push_back(what);
        };
        take(modes.translation, track.positionMode, "translation");
        take(modes.rotation, track.rotationMode, "rotation");
        take(modes.scale, track.scaleMode, "scale");
        if (cubic.empty()) return;
        std::string which;
        for (std::size_t i = 0; i < cubic.size(); ++i) which += (i ? (i + 1 == cubic.size() ? " and " : ", ") : "") + cubic[i];
        info_.warnings.push_back("node '" + hostName + "': the file's " + which +
                                 " keys are cubic splines, read as straight lines between the keys (export the "
                                 "animation sampled on every frame: 'Always Sample Animations' in Blender)");
    }

    // Drives the nodes with the clip's channels: a node's local transform over time is its own
    // channel (or static transform) times those of its folded pivot helpers, in host axes.
    // keyOffset (seconds) puts the keys on the file's timeline, timeScale (the host's seconds per
    // second of the file) puts the file's frames on the host's frames.
    // gltf: what the file says of the clip that assimp does not (how its channels interpolate).
    void ApplyClip(const aiAnimation& clip, double keyOffset, double timeScale, const GltfAnimationFacts* gltf) {
        motions_.clear();  // a clip applied again replaces the one before
        // A channel names its node only: nodes of one name all take its keys, and of several channels
        // of one name the last is taken. Either way the keys may be another node's, which the
        // motions say (NodeMotion::sharers).
        std::map<std::string, const aiNodeAnim*> channels;
        std::map<std::string, std::size_t> channelsOfName;
        for (unsigned c = 0; c < clip.mNumChannels; ++c) {
            channels[clip.mChannels[c]->mNodeName.C_Str()] = clip.mChannels[c];
            ++channelsOfName[clip.mChannels[c]->mNodeName.C_Str()];
        }
        // Each source's chain (its node, then its folded helpers), each link with its channel or none.
        struct Link {
            const aiNode* node;
            const aiNodeAnim* channel;
            Matrix3 base;  // the node's static transform
        };
        std::vector<std::vector<Link>> chains;
        std::vector<const Link*> keyed;
        chains.reserve(sources_.size());
        for (const Source& src : sources_) {
            std::vector<Link>& chain = chains.emplace_back();
            chain.push_back({src.node, nullptr, {}});
            for (const aiNode* helper : src.helpers) chain.push_back({helper, nullptr, {}});
            for (Link& link : chain) {
                const auto it = channels.find(link.node->mName.C_Str());
                if (it != channels.end()) link.channel = it->second;
                link.base = ToMatrix3(link.node->mTransformation);
            }
        }
        std::map<const aiNodeAnim*, std::size_t> takers;  // the nodes (not their helpers) that take a channel
        for (const std::vector<Link>& chain : chains) {
            if (chain.front().channel) ++takers[chain.front().channel];
            for (const Link& link : chain)
                if (link.channel) keyed.push_back(&link);
        }

        // The keys become host tracks, each channel on its own, so a long clip's channels are
        // converted on two threads: the same tracks, bit for bit, in the same order.
        const double tps = ClipTicksPerSecond(clip) / timeScale;
        const KeyTimePrecision keyPrecision = fbx_ ? KeyTimePrecision::Double : KeyTimePrecision::Float;
        std::vector<standin::TransformTrack> tracks(keyed.size());
        auto convert = [&](std::size_t from, std::size_t to) {
            for (std::size_t i = from; i < to; ++i)
                tracks[i] = TrackFromChannel(*keyed[i]->channel, tps, keyOffset, keyPrecision, keyed[i]->base);
        };
        // The channels split where the first run holds half the keys (none split for a short clip).
        std::size_t keys = 0, half = 0;
        for (const Link* link : keyed) keys += KeyCount(*link->channel);
        if (keys >= kKeysWorthASecondThread)
            for (std::size_t inFirstRun = 0; half < keyed.size() && 2 * inFirstRun < keys; ++half)
                inFirstRun += KeyCount(*keyed[half]->channel);
        if (half == 0 || half == keyed.size()) {
            convert(0, keyed.size());
        } else {
            auto secondHalf = Beside([&] { convert(half, keyed.size()); });
            convert(0, half);
            secondHalf.get();
        }

        std::size_t next = 0;
        struct Spreads {
            std::size_t source;
            double places, scales;
            std::size_t sharers;
        };
        std::vector<Spreads> spreads;  // of the sources the clip drives
        for (std::size_t s = 0; s < sources_.size(); ++s) {
            std::vector<ClipTrack::Part> parts;
            bool any = false;
            for (const Link& link : chains[s]) {
                if (!link.channel) {
                    parts.push_back({link.base, std::nullopt});
                    continue;
                }
                standin::TransformTrack& track = tracks[next++];
                if (&link == &chains[s].front() && !noObject_.count(link.node->mName.C_Str()))
                    spreads.push_back({s, Spread(track.position), Spread(track.scale),
                                       std::max(takers[link.channel], channelsOfName[link.node->mName.C_Str()])});
                if (gltf) TakeInterpolation(*gltf, link.node->mName.C_Str(), sources_[s].host->Name(), track);
                parts.push_back({link.base, standin::TrackSampler(std::move(track))});
                any = true;
            }
            if (any)
                sources_[s].host->SetTrack(std::make_shared<ClipTrack>(std::move(parts), sources_[s].rest, toHost_, fromHost_));
        }
        // A keyed place lies in the parent's space, scaled by the node's rest transform (the file's
        // unit, at the top of the scene) and by the parent's world transform.
        for (const Spreads& own : spreads) {
            standin::Node& host = *sources_[own.source].host;
            const double metresPerPlace =
                own.places > 0 ? LargestScale(sources_[own.source].rest) * LargestScale(host.GetParentTM(0)) : 0;
            motions_.push_back({&host, own.places * metresPerPlace, own.scales, own.sharers});
        }
    }
    const Matrix3& ToHost() const { return toHost_; }

private:

    std::string UserProps(const aiNode& node, const std::string& hostName) const {
        const aiMetadata* md = node.mMetaData;
        if (!md) return {};
        // FBX: the user-property text itself, then custom text properties (the other FBX entries are
        // the format's own node settings). Other formats: every entry ("extras" of glTF among them).
        std::vector<std::pair<std::string, std::string>> properties;
        aiString props;
        if (md->Get("UserProperties", props) && props.length) properties.push_back({"UserProperties", props.C_Str()});
        for (unsigned i = 0; i < md->mNumProperties; ++i) {
            if (std::string(md->mKeys[i].C_Str()) == "UserProperties") continue;
            if (fbx_ && md->mValues[i].mType != AI_AISTRING) continue;
            properties.push_back({md->mKeys[i].C_Str(), MetadataText(md->mValues[i])});
        }
        PropertyText text = UserPropertyText(properties);
        for (const std::string& p : text.unread)
            info_.warnings.push_back("node '" + hostName + "': the property " + p +
                                     " does not read as a key frame (write 'FRAME NAME', NAME one of BALL_STRUCK, "
                                     "MOUSE_SWING_START, TOP_OF_SWING, ADDRESS_BALL)");
        return text.text;
    }

    const aiScene& source_;
    standin::Scene& scene_;
    SceneInfo& info_;
    MaterialLibrary& materials_;
    bool fbx_, gltf_, obj_;
    Matrix3 toHost_, fromHost_;
    std::set<std::string> bones_, noObject_;
    std::map<const aiNode*, Matrix3> childPending_;
    std::vector<SkinnedNode> skinned_;
    std::vector<std::string> droppedLeafBones_;
    bool droppedNeutralBone_ = false;
    std::vector<NodeWarning> nodeWarnings_;
    std::vector<NodeMotion> motions_;
    struct Source {
        standin::Node* host;
        const aiNode* node;
        std::vector<const aiNode*> helpers;  // folded pivot helpers above it, nearest first
        Matrix3 rest;                        // static transform applied after them
    };
    std::vector<Source> sources_;
};

// The file's up axis and the turn that brings it into the host's Z-up frame.
Matrix3 UpAxisTurn(const aiScene& s, Format format, const ImportOptions& options, SceneInfo& info) {
    char up = 'Y';
    info.upAxisSource = format == Format::Obj ? "OBJ has no up axis: taken as Y" : "the format is Y-up";
    int axis = 1, sign = 1;
    const bool fbx = format == Format::Fbx;
    if (fbx && s.mMetaData && s.mMetaData->Get("UpAxis", axis)) {
        s.mMetaData->Get("UpAxisSign", sign);
        up = axis == 2 ? 'Z' : 'Y';
        info.upAxisSource = "the file's UpAxis";
    }
    if (options.up != UpAxis::FromFile) {
        up = options.up == UpAxis::Z ? 'Z' : 'Y';
        info.upAxisSource = "given on the command line";
    }
    info.upAxis = up;
    Matrix3 turn = up == 'Y' ? YUpToZUp() : Matrix3();
    if (fbx && sign < 0 && options.up == UpAxis::FromFile) turn = turn * RotateXMatrix(3.14159265f);
    return turn;
}

Format FormatOf(const std::string& path) {
    const std::string ext = LowerCaseExtension(path);
    if (ext == "fbx") return Format::Fbx;
    if (ext == "gltf" || ext == "glb") return Format::Gltf;
    if (ext == "dae") return Format::Collada;
    if (ext == "obj") return Format::Obj;
    return Format::Other;
}

// The unit the file states; for FBX the factor the importer applies, for COLLADA the one assimp applies.
FileUnit UnitOf(Format format, const std::string& path, const aiScene& source, const FbxFacts* facts) {
    switch (format) {
        case Format::Fbx: {
            std::optional<double> factor = facts ? facts->unitScaleFactor : std::nullopt;
            float f = 0;
            double d = 0;
            if (!factor && source.mMetaData) {
                if (source.mMetaData->Get("UnitScaleFactor", f)) factor = f;
                else if (source.mMetaData->Get("UnitScaleFactor", d)) factor = d;
            }
            return FbxUnit(factor);
        }
        case Format::Collada: return ColladaUnit(path);
        case Format::Gltf: return AssumedMetres("glTF is in metres");
        case Format::Obj: return AssumedMetres("OBJ states no unit: taken as metres");
        case Format::Other: return AssumedMetres("the format states no unit: taken as metres");
    }
    return {};
}

std::string ClipName(const aiAnimation& clip, unsigned index) {
    return clip.mName.length ? clip.mName.C_Str() : "clip " + std::to_string(index + 1);
}

// Whether a frame of fps frames per second is a whole number of the host's ticks.
bool FitsTheTicks(double fps) {
    const long rounded = std::lround(fps);
    return rounded > 0 && TIME_TICKSPERSEC % rounded == 0 && std::fabs(fps - double(rounded)) <= 1e-6;
}

// The frame rate a file states, or, when no frame of it is a whole number of the host's ticks (the
// NTSC rates 23.976, 29.97 and 59.94 fps that video presets give a scene), the nearest rate whose
// frames are; roundedFrom is then the file's.
double FileFrameRate(double stated, std::string& why, double& roundedFrom) {
    why = "the file's frame rate";
    if (FitsTheTicks(stated) || !(stated >= 1 && stated <= TIME_TICKSPERSEC)) return stated;
    int nearest = 1;
    for (int fps = 1; fps <= TIME_TICKSPERSEC; ++fps)
        if (TIME_TICKSPERSEC % fps == 0 && std::fabs(fps - stated) < std::fabs(nearest - stated)) nearest = fps;
    roundedFrom = stated;
    why = "the file's " + Number(stated) + " fps taken as " + std::to_string(nearest) +
          ": a frame is a whole number of the host's 4800 ticks per second";
    return nearest;
}

// The frame rate of clip (or of a scene without one) and where it comes from; roundedFrom is set to
// the file's rate when it was taken as another (FileFrameRate).
double FrameRateOf(const aiAnimation* clip, Format format, const FbxFacts* facts, const ImportOptions& options,
                   std::string& why, double& roundedFrom) {
    if (options.fps > 0) {
        why = "given with --fps";
        return options.fps;
    }
    if (format == Format::Fbx) {
        if (facts && facts->frameRate) return FileFrameRate(*facts->frameRate, why, roundedFrom);
        if (clip && clip->mTicksPerSecond >= 1) return FileFrameRate(clip->mTicksPerSecond, why, roundedFrom);
    }
    if (!clip) {
        why = "the file has no animation: 30 fps";
        return 30;
    }
    return InferFrameRate(*clip, why, roundedFrom);
}

constexpr int kSharedActionName = -3;

// The clip the options choose: by number (from 1), else by name (exact, then in any case, then the
// action part of a Blender FBX take's name); -1 for none, -2 when the options name a clip the file
// does not have, kSharedActionName when they name an action that several takes share.
int ChosenClip(const aiScene& source, const std::string& wanted) {
    if (wanted.empty()) return -1;
    if (wanted.find_first_not_of("0123456789") == std::string::npos && wanted.size() < 6) {
        const int number = std::stoi(wanted);
        return number >= 1 && unsigned(number) <= source.mNumAnimations ? number - 1 : -2;
    }
    for (unsigned a = 0; a < source.mNumAnimations; ++a)
        if (ClipName(*source.mAnimations[a], a) == wanted) return int(a);
    for (unsigned a = 0; a < source.mNumAnimations; ++a)
        if (Lower(ClipName(*source.mAnimations[a], a)) == Lower(wanted)) return int(a);
    // Blender names an FBX take "Object|Action": the action's name alone picks it when no other take
    // has an action of that name.
    int action = -2;
    for (unsigned a = 0; a < source.mNumAnimations; ++a) {
        const std::string name = ClipName(*source.mAnimations[a], a);
        const auto bar = name.rfind('|');
        if (bar == std::string::npos || Lower(name.substr(bar + 1)) != Lower(wanted)) continue;
        if (action != -2) return kSharedActionName;
        action = int(a);
    }
    return action;
}

// Takes out of reader (and deletes: assimp leaves that to whoever takes them out) every reader that
// does not claim extension (lower case, without the dot). Two of assimp's readers claim glTF's
// extensions, and when neither takes a file assimp guesses its format from its bytes, handing a
// damaged file to readers of unrelated formats (one of which asked for terabytes).
void KeepReadersOf(Assimp::Importer& reader, const std::string& extension) {
    for (std::size_t i = reader.GetImporterCount(); i-- > 0;) {
        const aiImporterDesc* info = reader.GetImporterInfo(i);
        std::istringstream claimed(info && info->mFileExtensions ? info->mFileExtensions : "");
        bool claims = false;
        for (std::string e; claimed >> e;) claims |= e == extension;
        if (claims) continue;
        Assimp::BaseImporter* other = reader.GetImporter(i);
        if (reader.UnregisterLoader(other) == aiReturn_SUCCESS) delete other;
    }
}

// assimp's file access, to plain files alone: a pipe or a device that a scene file names (an OBJ's
// material library, a glTF buffer) would be waited on, or read, for ever. assimp's own test of a
// file's existence opens it, so it is replaced as well. Which files a reader opened, and which it
// asked for in vain, are kept.
class PlainFiles : public Assimp::DefaultIOSystem {
public:
    bool Exists(const char* file) const override {
        std::error_code ec;
        return std::filesystem::is_regular_file(file, ec);
    }
    Assimp::IOStream* Open(const char* file, const char* mode) override {
        Assimp::IOStream* stream = PlainFiles::Exists(file) ? DefaultIOSystem::Open(file, mode) : nullptr;
        (stream ? opened : missed).push_back(file);
        return stream;
    }
    std::vector<std::string> opened, missed;
};

// The file system as assimp's glTF reader sees it: a buffer or image whose uri escapes characters
// ("golf%20ball.bin") is opened by the name the escapes spell, which assimp does not decode. A name
// that exists as written is opened as written. The scene file itself may be served from memory
// instead (its copy for assimp).
class GltfUriFiles final : public PlainFiles {
public:
    void Serve(const std::string& file, std::string bytes) {
        served_ = file;
        bytes_ = std::move(bytes);
    }
    bool Exists(const char* file) const override {
        return file == served_ || PlainFiles::Exists(file) || PlainFiles::Exists(GltfUriPath(file).c_str());
    }
    Assimp::IOStream* Open(const char* file, const char* mode) override {
        if (!served_.empty() && file == served_)
            return new Assimp::MemoryIOStream(reinterpret_cast<const std::uint8_t*>(bytes_.data()), bytes_.size());
        if (PlainFiles::Exists(file)) return PlainFiles::Open(file, mode);
        return PlainFiles::Open(GltfUriPath(file).c_str(), mode);
    }

private:
    std::string served_, bytes_;
};

std::string ClipListing(const SceneInfo& info) {
    std::string text;
    for (std::size_t i = 0; i < info.clips.size(); ++i) {
        const ClipInfo& c = info.clips[i];
        text += "\n  " + std::to_string(i + 1) + " '" + c.name + "' (frames " + std::to_string(c.firstFrame) + " to " +
                std::to_string(c.lastFrame) + ")";
    }
    return text;
}

// The object a shape key channel animates. assimp names an FBX file's channels after their node with
// "*" and a number appended ("Body*0"); other formats' after the node itself.
std::string MorphedObject(const aiMeshMorphAnim& channel, Format format) {
    std::string name = channel.mName.C_Str();
    const std::size_t star = name.rfind('*');
    if (format == Format::Fbx && star != std::string::npos && star > 0 && star + 1 < name.size() &&
        name.find_first_not_of("0123456789", star + 1) == std::string::npos)
        name.erase(star);
    return name;
}

// An animation holds the bones' turns and the root's travel: a clip's shape key (morph) and vertex
// animation have no place in it. Said once per kind, naming the objects they animate.
void SayWhatTheAnimationLeavesOut(const aiAnimation& clip, Format format, SceneInfo& info) {
    std::vector<std::string> morphed, meshes;
    for (unsigned c = 0; c < clip.mNumMorphMeshChannels; ++c) AddOnce(morphed, MorphedObject(*clip.mMorphMeshChannels[c], format));
    for (unsigned c = 0; c < clip.mNumMeshChannels; ++c) AddOnce(meshes, clip.mMeshChannels[c]->mName.C_Str());
    for (const auto& [what, names] : {std::pair{"shape key", &morphed}, std::pair{"vertex", &meshes}})
        if (!names->empty())
            info.warnings.push_back("clip '" + info.clip + "': its " + what + " animation of " + CommaList(*names) +
                                    " is left out: an animation holds the bones' turns and the root's travel only");
}

// Lists the clips, applies the chosen one and sets the scene's frame rate and range. False (with
// result.failure and error) when the options name a clip, frame rate or range that cannot be had, or
// when an export that samples the animation has several clips to choose from.
// gltf: what a glTF file says of its clips, one per clip of source.
bool ApplyAnimation(const aiScene& source, Format format, const FbxFacts* facts, const std::vector<GltfAnimationFacts>* gltf,
                    TreeBuilder& builder, standin::Scene& scene, const ImportOptions& options, ImportResult& result) {
    SceneInfo& info = result.info;
    const FbxFacts* takes = format == Format::Fbx ? facts : nullptr;
    FbxFacts noTakes;
    if (format == Format::Fbx && !takes) takes = &noTakes;
    // Each clip's rate and span are measured once (each is a pass over all of its keys) and kept for
    // the clip the options choose.
    struct Measured {
        double fps;
        std::string why;
        double roundedFrom = 0;
        ClipSpan span;
    };
    std::vector<Measured> measured;
    auto measureClips = [&] {
        for (unsigned a = 0; a < source.mNumAnimations; ++a) {
            const aiAnimation& clip = *source.mAnimations[a];
            Measured m;
            m.fps = FrameRateOf(&clip, format, facts, options, m.why, m.roundedFrom);
            m.span = SpanOfClip(clip, takes, gltf ? &(*gltf)[a] : nullptr, m.fps, m.roundedFrom > 0 ? m.roundedFrom / m.fps : 1);
            info.clips.push_back({ClipName(clip, a), int(std::lround(m.span.first * m.fps)),
                                  int(std::lround(m.span.last * m.fps)), m.fps, clip.mNumChannels});
            measured.push_back(std::move(m));
        }
    };
    int chosen = ChosenClip(source, options.clip);
    if (chosen == -1 && source.mNumAnimations == 1) chosen = 0;
    const GltfAnimationFacts* chosenFacts = gltf && chosen >= 0 ? &(*gltf)[std::size_t(chosen)] : nullptr;
    // Outside FBX a clip's keys keep the file's times (its span's keyOffset is 0), so when the options
    // alone name the clip its keys go into tracks while the clips are measured beside it: both are
    // passes over every key, and measuring only reads them.
    const bool convertedEarly = chosen >= 0 && format != Format::Fbx;
    if (convertedEarly) {
        auto measuring = Beside(measureClips);
        builder.ApplyClip(*source.mAnimations[chosen], 0, 1, chosenFacts);
        measuring.get();
        // Keys found on an NTSC grid are put on the host's frames: converted again, scaled.
        if (const double timeScale = measured[std::size_t(chosen)].span.timeScale; timeScale != 1)
            builder.ApplyClip(*source.mAnimations[chosen], 0, timeScale, chosenFacts);
    } else {
        measureClips();
    }
    auto fail = [&](ImportResult::Failure kind, std::string why) {
        result.failure = kind;
        result.error = std::move(why);
        return false;
    };
    if (chosen == kSharedActionName)
        return fail(ImportResult::Failure::NeedsChoice, "several clips are the action '" + options.clip +
                                                            "' (of different objects); choose one by its whole name "
                                                            "or its number:" + ClipListing(info));
    if (chosen == -2)
        return fail(ImportResult::Failure::BadOption,
                    "no animation clip '" + options.clip + "'" +
                        (info.clips.empty() ? std::string(" (the file has no animation)") : "; the file's clips:" + ClipListing(info)));
    if (chosen == -1 && source.mNumAnimations > 1 && options.needsClip)
        return fail(ImportResult::Failure::NeedsChoice, "the file holds " + std::to_string(source.mNumAnimations) +
                                                            " animation clips; choose one with --clip NAME or NUMBER:" +
                                                            ClipListing(info));
    const aiAnimation* clip = chosen >= 0 ? source.mAnimations[chosen] : nullptr;
    double fps = 0, roundedFrom = 0;
    if (clip) {
        fps = measured[std::size_t(chosen)].fps;
        info.fpsSource = measured[std::size_t(chosen)].why;
        roundedFrom = measured[std::size_t(chosen)].roundedFrom;
    } else {
        fps = FrameRateOf(nullptr, format, facts, options, info.fpsSource, roundedFrom);
    }
    if (!FitsTheTicks(fps))
        return fail(ImportResult::Failure::BadOption,
                    "frame rate " + Number(fps) + " does not divide the host's 4800 ticks per second");
    const int rounded = int(std::lround(fps));
    scene.frameRate = rounded;
    info.fps = rounded;
    int first = 0, last = 100;
    if (clip) {
        const ClipSpan& span = measured[std::size_t(chosen)].span;
        if (!convertedEarly) builder.ApplyClip(*clip, span.keyOffset, span.timeScale, chosenFacts);
        info.clip = ClipName(*clip, unsigned(chosen));
        info.clipSpan = span.source;
        if (roundedFrom > 0 && !options.model)
            info.warnings.push_back("the file's frame rate, " + Number(roundedFrom) + " fps, is no whole number of the host's "
                                    "4800 ticks per second: clip '" + info.clip + "' plays at " + std::to_string(rounded) +
                                    " fps, each key on the frame it was set on (--fps " + std::to_string(rounded) +
                                    " keeps the keys' seconds instead)");
        if (!options.model) SayWhatTheAnimationLeavesOut(*clip, format, info);
        const double firstFrames = span.first * fps, lastFrames = span.last * fps;
        if (!(std::fabs(firstFrames) < double(INT_MAX / TIME_TICKSPERSEC)) ||
            !(std::fabs(lastFrames) < double(INT_MAX / TIME_TICKSPERSEC)))
            return fail(ImportResult::Failure::BadOption, "the clip '" + info.clip + "' lasts longer than the host's time line");
        first = int(std::lround(firstFrames));
        last = int(std::lround(lastFrames));
    }
    if (options.range) std::tie(first, last) = *options.range;
    const int limit = INT_MAX / scene.TicksPerFrame();
    if (first < -limit || last > limit)
        return fail(ImportResult::Failure::BadOption, "the frame range " + std::to_string(first) + ":" +
                                                          std::to_string(last) + " does not fit the host's time line");
    if (last < first)
        return fail(ImportResult::Failure::BadOption,
                    "the frame range " + std::to_string(first) + ":" + std::to_string(last) + " ends before it starts");
    scene.animRange = {first * scene.TicksPerFrame(), last * scene.TicksPerFrame()};
    info.firstFrame = first;
    info.lastFrame = last;
    return true;
}

// A skinned mesh is no bone: one that hangs inside its own skeleton moves to the top of the scene,
// where it stays in place. glTF places a skinned mesh by its joints alone, ignoring the mesh node's
// own transform: there the mesh goes where a joint's inverse bind matrix and the joint's transform
// (as the file stores it) put it. Runs before any animation drives the nodes.
void TakeSkinnedMeshesOutOfSkeletons(standin::Scene& scene, const std::vector<SkinnedNode>& skinned,
                                     const BoneNodes& boneNodes, const Matrix3& toHost, bool gltf) {
    const Matrix3 fromHost = Inverse(toHost);
    for (const SkinnedNode& s : skinned) {
        INode* meshTop = TopLevelAncestor(s.node, &scene.Root());
        bool inSkeleton = false;
        std::optional<Matrix3> placedByJoint;
        for (const MeshPiece& piece : s.pieces)
            for (unsigned b = 0; b < piece.mesh->mNumBones; ++b) {
                const aiBone& bone = *piece.mesh->mBones[b];
                standin::Node* joint = boneNodes.at({s.node, &bone});
                if (!joint) continue;
                inSkeleton |= TopLevelAncestor(joint, &scene.Root()) == meshTop && meshTop != s.node;
                if (!placedByJoint) placedByJoint = fromHost * ToMatrix3(bone.mOffsetMatrix) * toHost * joint->GetNodeTM(0);
            }
        if (inSkeleton) s.node->Reparent(scene.Root());
        if (gltf && placedByJoint) {
            s.node->SetObjectOffset(Matrix3());
            s.node->SetWorldTM(*placedByJoint);
        }
    }
}

// What a scene file says that assimp does not pass on. Of an FBX file: its takes' time spans, frame
// rate and unit, or why they could not be read. Of a glTF file: what its JSON says (GltfFacts).
struct FileFacts {
    std::optional<FbxFacts> fbx;
    std::optional<std::string> fbxProblem;
    std::optional<GltfFacts> gltf;
};

FileFacts ReadFileFacts(const std::string& path, Format format) {
    FileFacts facts;
    if (format == Format::Fbx) {
        FilePages bytes;
        std::string why;
        if (!bytes.Read(path, why))
            facts.fbxProblem = why;
        else if (const auto doc = ReadFbx(bytes.Bytes(), why))
            facts.fbx = ReadFbxFacts(*doc);
        else
            facts.fbxProblem = why;
    } else if (format == Format::Gltf) {
        facts.gltf = ReadGltfFacts(GltfJson(path));
    }
    return facts;
}

}  // namespace

ImportResult ImportFile(const std::string& path, standin::Scene& scene, const ImportOptions& options) {
    ImportResult result;
    // Every reason the file cannot be read is said after its name.
    auto unreadable = [&](const std::string& why) {
        result.failure = ImportResult::Failure::Unreadable;
        result.error = "cannot read " + path + ": " + why;
        return result;
    };
    std::error_code statusError;
    const std::filesystem::file_status status = std::filesystem::status(path, statusError);
    switch (status.type()) {
    case std::filesystem::file_type::regular: break;
    case std::filesystem::file_type::not_found: return unreadable("no such file");
    case std::filesystem::file_type::directory: return unreadable("it is a folder, not a scene file");
    case std::filesystem::file_type::none: return unreadable(statusError.message());
    default:
        // A pipe or a device has no end to read to, or no size: the scene is read from a file.
        return unreadable("it is a pipe or a device, not a scene file (save the scene to a file)");
    }
    // Some damaged files would keep assimp's readers busy for minutes, or for ever.
    std::map<std::string, BindShape> bindShapes;
    if (const std::optional<std::string> why = ReaderTrap(path, &bindShapes)) return unreadable(*why);
    const Format format = FormatOf(path);
    Assimp::Importer reader;
    // A file named as glTF is glTF or is refused, never read as whatever format its bytes suggest.
    GltfUriFiles* gltfFiles = nullptr;
    PlainFiles* files = nullptr;  // the reader owns it
    if (format == Format::Gltf) {
        KeepReadersOf(reader, LowerCaseExtension(path));
        files = gltfFiles = new GltfUriFiles;
    } else {
        files = new PlainFiles;
    }
    reader.SetIOHandler(files);
    // COLLADA nodes by their names (as the other formats give them), not their ids.
    reader.SetPropertyBool(AI_CONFIG_IMPORT_COLLADA_USE_COLLADA_NAMES, true);
    // What assimp does not pass on is read from the file on a thread of its own while assimp reads it.
    // A glTF file's facts come first, as they decide how assimp is given the file: its reader
    // misreads integer and sparse accessors (and may read past their buffers) and crashes on a skin
    // without inverse bind matrices, so such a file is given to it as a copy without them
    // (GltfCopyForAssimp); its JSON is little to read.
    FileFacts fileFacts;
    std::future<FileFacts> pending;
    if (format == Format::Gltf) {
        fileFacts = ReadFileFacts(path, format);
        // JSON that does not parse here may still parse in assimp's reader, which must then not be
        // given accessors it misreads unseen: it is no glTF file (invalid UTF-8, cut short, another
        // format's bytes).
        const GltfFacts& gltf = *fileFacts.gltf;
        if (!gltf.jsonError.empty()) return unreadable("its glTF JSON does not parse: " + gltf.jsonError);
        if (!gltf.unreadableExtensions.empty())
            return unreadable("it requires glTF extensions the exporter cannot read: " + CommaList(gltf.unreadableExtensions));
        if (gltf.assimpNeedsACopy) {
            std::string why;
            std::optional<std::string> copy = GltfCopyForAssimp(path, why);
            if (!copy) return unreadable(why);
            gltfFiles->Serve(path, std::move(*copy));
        }
    } else {
        pending = Beside([&path, format] { return ReadFileFacts(path, format); });
    }
    // No post-processing: the exporter's own weld and tangents do the rest, and joining vertices
    // here would change which corners are the same vertex. Quads are split into triangles as the
    // meshes are built, exactly as assimp's triangulation would split them and at a fraction of its
    // cost; a file with polygons of more corners goes through assimp's step, which cuts ears.
    const aiScene* source = reader.ReadFile(path, 0);
    if (pending.valid()) fileFacts = pending.get();
    if (source)
        if (const std::optional<std::string> why = UnreadableFace(*source)) return unreadable(*why);
    if (source && HasLargePolygons(*source)) source = reader.ApplyPostProcessing(aiProcess_Triangulate);
    if (!source || !source->mRootNode) return unreadable(reader.GetErrorString());
    // assimp calls a scene without meshes incomplete; a skeleton with its animation is a whole scene.
    if ((source->mFlags & AI_SCENE_FLAGS_INCOMPLETE) && source->mNumAnimations == 0 && source->mRootNode->mNumChildren == 0)
        return unreadable("the file holds no objects");
    SceneInfo& info = result.info;
    aiString formatName;
    if (source->mMetaData) source->mMetaData->Get("SourceAsset_Format", formatName);
    info.format = formatName.length ? formatName.C_Str() : std::filesystem::path(path).extension().string();

    if (fileFacts.fbxProblem)
        info.warnings.push_back("the file's own settings could not be read (" + *fileFacts.fbxProblem + "): its takes start at frame 0");
    const std::optional<FbxFacts>& facts = fileFacts.fbx;
    // The glTF facts describe the file's clips when they are assimp's: as many, in the same order.
    const std::vector<GltfAnimationFacts>* gltfClips =
        fileFacts.gltf && source->mNumAnimations != 0 && fileFacts.gltf->animations.size() == source->mNumAnimations
            ? &fileFacts.gltf->animations
            : nullptr;
    const FileUnit unit = UnitOf(format, path, *source, facts ? &*facts : nullptr);
    info.unit = unit.words;
    if (format == Format::Fbx && unit.stated) info.unitScaleFactor = unit.metresPerUnit * 100.0;
    // The importer applies FBX's unit; assimp applies COLLADA's at the root, which the file's own
    // units undo.
    info.metresPerUnit = options.fileUnits ? 1.0 : unit.metresPerUnit;
    float scale = 1.0f;
    if (format == Format::Fbx && !options.fileUnits) scale = float(unit.metresPerUnit);
    if (format == Format::Collada && options.fileUnits) scale = float(1.0 / unit.metresPerUnit);
    const Matrix3 unitScale = ScaleMatrix(Point3(scale, scale, scale));

    const std::filesystem::path file(path);
    MaterialLibrary materials(*source, scene, file.parent_path().string(), file.stem().string(), info.warnings,
                              options.model, options.model && !options.extractingEmbedded);
    materials.uriTexturePaths = format == Format::Gltf;
    const bool blenderFbx = facts && facts->WrittenByBlender();
    materials.PlaceTextures(fileFacts.gltf ? std::move(fileFacts.gltf->materials) : std::vector<GltfMaterialUvs>{},
                            format == Format::Fbx, blenderFbx);
    TreeBuilder builder(*source, scene, info, materials, format, UpAxisTurn(*source, format, options, info));
    builder.dropBlenderLeafBones = blenderFbx;
    for (const auto& [node, rows] : bindShapes) {
        aiMatrix4x4 m;  // written row by row, as assimp holds a matrix
        for (unsigned i = 0; i < 16; ++i) m[i / 4][i % 4] = float(rows[i]);
        builder.skinnedMeshPlaces[node] = ToMatrix3(m);
    }
    aiString generator;
    if (source->mMetaData) source->mMetaData->Get("SourceAsset_Generator", generator);
    builder.dropBlenderNeutralBone =
        format == Format::Gltf && std::string(generator.C_Str()).rfind("Khronos glTF Blender I/O", 0) == 0;
    const aiNode& root = *source->mRootNode;
    // A glTF scene with one top node is read with that node as assimp's root: it is the file's own,
    // kept with its name, transform and properties. Every other root is one assimp made up.
    const bool madeUpRoot = format != Format::Gltf ||
                            (std::string(root.mName.C_Str()) == "ROOT" && root.mTransformation.IsIdentity() && !root.mNumMeshes);
    if (!madeUpRoot) {
        builder.Add(root, nullptr, unitScale);
    } else {
        const Matrix3 top = ToMatrix3(root.mTransformation) * unitScale;
        for (unsigned i = 0; i < root.mNumChildren; ++i) builder.Add(*root.mChildren[i], nullptr, top);
    }
    // Meshes attached to a made-up root get a node of their own. The stand-in node for it lives as
    // long as the builder refers to it; it never owns the file's meshes.
    struct Wrapper : aiNode {
        using aiNode::aiNode;
        ~Wrapper() {
            mMeshes = nullptr;
            mNumMeshes = 0;
        }
    };
    std::unique_ptr<Wrapper> wrapper;
    if (madeUpRoot && root.mNumMeshes) {
        wrapper = std::make_unique<Wrapper>(*root.mName.C_Str() ? root.mName.C_Str() : "Root");
        wrapper->mTransformation = root.mTransformation;
        wrapper->mNumMeshes = root.mNumMeshes;
        wrapper->mMeshes = root.mMeshes;
        builder.Add(*wrapper, nullptr, unitScale);
    }
    if (!builder.DroppedLeafBones().empty())
        info.warnings.push_back("the leaf bones Blender adds to each bone chain are left out (" +
                                CommaList(builder.DroppedLeafBones()) +
                                "): they carry no weights (untick 'Add Leaf Bones' when exporting FBX)");
    if (builder.DroppedNeutralBone())
        info.warnings.push_back(std::string("the joint '") + kBlenderNeutralBone +
                                "' that Blender's glTF exporter adds for vertices without weights is left out, so those "
                                "vertices have none (weight every vertex of a skinned mesh to a bone)");
    // A COLLADA skin binds in the file's world: assimp's root (its unit and axes) below the made-up
    // top of the scene, in host axes.
    std::optional<Matrix3> worldSkinSpace;
    if (format == Format::Collada)
        worldSkinSpace = Inverse(builder.ToHost()) * (ToMatrix3(root.mTransformation) * unitScale) * builder.ToHost();
    const BoneNodes boneNodes = FindBoneNodes(scene, builder.Skinned(), builder.ToHost(), worldSkinSpace);
    TakeSkinnedMeshesOutOfSkeletons(scene, builder.Skinned(), boneNodes, builder.ToHost(), format == Format::Gltf);
    if (!ApplyAnimation(*source, format, facts ? &*facts : nullptr, gltfClips, builder, scene, options, result))
        return result;
    std::vector<NodeWarning> skinWarnings;
    AddSkins(*source, scene, builder.Skinned(), boneNodes, builder.ToHost(), options, info,
             builder.DroppedNeutralBone() ? std::set<std::string>{kBlenderNeutralBone} : std::set<std::string>{},
             worldSkinSpace, skinWarnings);
    if (format == Format::Obj)
        if (std::optional<std::string> why = UndefinedObjMaterials(*source, path, files->opened, files->missed))
            info.warnings.push_back(std::move(*why));
    PresentYardstickUpright(scene, info.warnings);
    for (const EmbeddedImage& image : materials.Embedded()) {
        EmbeddedImageFile out{image.name, {}, image.texture->mHeight == 0};
        const std::size_t size = out.encoded ? image.texture->mWidth : std::size_t(image.texture->mWidth) * image.texture->mHeight * 4;
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(image.texture->pcData);
        out.bytes.assign(bytes, bytes + size);
        result.embeddedImages.push_back(std::move(out));
    }
    result.nodeWarnings = builder.TakeNodeWarnings();
    std::move(skinWarnings.begin(), skinWarnings.end(), std::back_inserter(result.nodeWarnings));
    result.motions = builder.TakeMotions();
    result.usedFiles = UsedFiles(path, materials.TextureFiles(), fileFacts.gltf ? fileFacts.gltf->files : std::vector<std::string>{});
    result.ok = true;
    return result;
}

}  // namespace importer
