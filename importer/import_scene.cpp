// The node tree of a scene file into the stand-in scene.
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <cctype>
#include <climits>
#include <cmath>
#include <tuple>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "importer/animation.h"
#include "importer/convert.h"
#include "importer/importer.h"
#include "importer/materials.h"
#include "importer/meshes.h"
#include "importer/skins.h"

namespace importer {
namespace {

constexpr const char* kPivotMarker = "_$AssimpFbx$_";

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

class TreeBuilder {
public:
    // toHost: the turn from the file's axes into the host's Z-up axes.
    TreeBuilder(const aiScene& source, standin::Scene& scene, SceneInfo& info, MaterialLibrary& materials, bool fbx,
                bool gltf, const Matrix3& toHost)
        : source_(source), scene_(scene), info_(info), materials_(materials), fbx_(fbx), gltf_(gltf), toHost_(toHost),
          fromHost_(Inverse(toHost)) {
        // Bones and their ancestors make up skeletons: plain nodes, never dummies (or markers).
        for (unsigned m = 0; m < source.mNumMeshes; ++m)
            for (unsigned b = 0; b < source.mMeshes[m]->mNumBones; ++b)
                for (const aiNode* n = source.mRootNode->FindNode(source.mMeshes[m]->mBones[b]->mName); n; n = n->mParent)
                    bones_.insert(n->mName.C_Str());
        // So are the nodes an animation moves as a hierarchy: animated nodes with children, and every
        // ancestor of an animated node. An animated leaf (a moving marker) stays a dummy.
        for (unsigned a = 0; a < source.mNumAnimations; ++a)
            for (unsigned c = 0; c < source.mAnimations[a]->mNumChannels; ++c)
                if (const aiNode* n = source.mRootNode->FindNode(source.mAnimations[a]->mChannels[c]->mNodeName)) {
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
        host.SetUserProps(UserProps(node));

        std::vector<MeshPiece> pieces;
        for (unsigned i = 0; i < node.mNumMeshes; ++i) pieces.push_back({source_.mMeshes[node.mMeshes[i]], Matrix3(), false});
        std::vector<const aiNode*> children;
        CollectBelowHelpers(node, Matrix3(), pieces, children);
        SetObject(node, host, pieces);
        for (const aiNode* child : children) Add(*child, &host, childPending_[child]);
    }

private:
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
            const bool isNull = fbx_ ? MetadataBool(node.mMetaData, "IsNull") : true;
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
        const BuiltMesh built = BuildMesh(pieces, tri.mesh, gltf_, toHost_);
        if (built.skippedFaces)
            info_.warnings.push_back("node '" + host.Name() + "': " + std::to_string(built.skippedFaces) +
                                     " point or line primitives left out (a model holds triangles only)");
        host.SetObject(&tri);
        bool hasBones = false;
        for (const MeshPiece& p : pieces) hasBones |= p.mesh->HasBones();
        if (hasBones) skinned_.push_back({&host, pieces});
        host.SetMaterial(built.materials.size() == 1 ? materials_.Single(built.materials[0]) : materials_.Multi(built.materials));
    }

    Matrix3 InHostAxes(const Matrix3& m) const { return fromHost_ * m * toHost_; }

public:
    const std::vector<SkinnedNode>& Skinned() const { return skinned_; }

    // Drives the nodes with the clip's channels: a node's local transform over time is its own
    // channel (or static transform) times those of its folded pivot helpers, in host axes.
    void ApplyClip(const aiAnimation& clip) {
        std::map<std::string, const aiNodeAnim*> channels;
        for (unsigned c = 0; c < clip.mNumChannels; ++c) channels[clip.mChannels[c]->mNodeName.C_Str()] = clip.mChannels[c];
        const double tps = ClipTicksPerSecond(clip);
        for (const Source& src : sources_) {
            struct Part {
                bool animated;
                standin::TransformTrack track;
            };
            std::vector<Part> parts;
            bool any = false;
            for (const aiNode* n : [&] {
                     std::vector<const aiNode*> chain{src.node};
                     chain.insert(chain.end(), src.helpers.begin(), src.helpers.end());
                     return chain;
                 }()) {
                const auto it = channels.find(n->mName.C_Str());
                const Matrix3 base = ToMatrix3(n->mTransformation);
                if (it == channels.end()) {
                    standin::TransformTrack fixed;
                    fixed.base = base;
                    parts.push_back({false, fixed});
                } else {
                    parts.push_back({true, TrackFromChannel(*it->second, tps, base)});
                    any = true;
                }
            }
            if (!any) continue;
            const Matrix3 rest = src.rest, to = toHost_, from = fromHost_;
            src.host->SetLocalTrack([parts, rest, to, from](TimeValue t) {
                Matrix3 m;
                bool first = true;
                for (const Part& p : parts) {
                    const Matrix3 local = p.animated ? p.track.Evaluate(double(t)) : p.track.base;
                    m = first ? local : m * local;
                    first = false;
                }
                return from * (m * rest) * to;
            });
        }
    }
    const Matrix3& ToHost() const { return toHost_; }

private:

    std::string UserProps(const aiNode& node) const {
        const aiMetadata* md = node.mMetaData;
        if (!md) return {};
        // FBX: the user-property text itself, then custom text properties (the other FBX entries are
        // the format's own node settings). Other formats: every entry ("extras" of glTF among them).
        std::string text;
        aiString props;
        if (md->Get("UserProperties", props) && props.length) text = props.C_Str();
        for (unsigned i = 0; i < md->mNumProperties; ++i) {
            if (std::string(md->mKeys[i].C_Str()) == "UserProperties") continue;
            if (fbx_ && md->mValues[i].mType != AI_AISTRING) continue;
            const std::string value = MetadataText(md->mValues[i]);
            if (value.empty()) continue;
            if (!text.empty()) text += "\r\n";
            text += std::string(md->mKeys[i].C_Str()) + " = " + value;
        }
        return text;
    }

    const aiScene& source_;
    standin::Scene& scene_;
    SceneInfo& info_;
    MaterialLibrary& materials_;
    bool fbx_, gltf_;
    Matrix3 toHost_, fromHost_;
    std::set<std::string> bones_, noObject_;
    std::map<const aiNode*, Matrix3> childPending_;
    std::vector<SkinnedNode> skinned_;
    struct Source {
        standin::Node* host;
        const aiNode* node;
        std::vector<const aiNode*> helpers;  // folded pivot helpers above it, nearest first
        Matrix3 rest;                        // static transform applied after them
    };
    std::vector<Source> sources_;
};

// The file's up axis and the turn that brings it into the host's Z-up frame.
Matrix3 UpAxisTurn(const aiScene& s, bool fbx, const std::string& ext, const ImportOptions& options, SceneInfo& info) {
    char up = 'Y';
    info.upAxisSource = ext == ".obj" ? "OBJ has no up axis: taken as Y" : "the format is Y-up";
    int axis = 1, sign = 1;
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

// Lists the clips, applies the chosen one and sets the scene's frame rate and range. False (with
// result.error) when the options name a clip, frame rate or range that cannot be had.
bool ApplyAnimation(const aiScene& source, bool fbx, TreeBuilder& builder, standin::Scene& scene,
                    const ImportOptions& options, ImportResult& result) {
    SceneInfo& info = result.info;
    const aiAnimation* chosen = nullptr;
    for (unsigned a = 0; a < source.mNumAnimations; ++a) {
        const aiAnimation& clip = *source.mAnimations[a];
        ClipInfo ci;
        ci.name = clip.mName.length ? clip.mName.C_Str() : "clip " + std::to_string(a);
        ci.seconds = clip.mDuration / ClipTicksPerSecond(clip);
        ci.channels = clip.mNumChannels;
        info.clips.push_back(ci);
        if (!chosen && (options.clip.empty() ? a == 0 : (ci.name == options.clip))) {
            chosen = &clip;
            info.clip = ci.name;
        }
    }
    if (!options.clip.empty() && !chosen) {
        result.error = "no animation clip named '" + options.clip + "'";
        for (const ClipInfo& c : info.clips) result.error += "\n  " + c.name;
        if (info.clips.empty()) result.error += " (the file has no animation)";
        return false;
    }
    int fps = options.fps;
    if (fps <= 0) fps = chosen && fbx && chosen->mTicksPerSecond >= 1 ? int(std::lround(chosen->mTicksPerSecond)) : 30;
    if (fps <= 0 || TIME_TICKSPERSEC % fps != 0) {
        result.error = "frame rate " + std::to_string(fps) + " does not divide the host's 4800 ticks per second";
        return false;
    }
    scene.frameRate = fps;
    info.fps = fps;
    int first = 0, last = 100;
    if (chosen) {
        builder.ApplyClip(*chosen);
        const double frames = chosen->mDuration / ClipTicksPerSecond(*chosen) * fps;
        if (!(frames >= 0 && frames < double(INT_MAX / TIME_TICKSPERSEC))) {
            result.error = "the clip '" + info.clip + "' lasts longer than the host's time line";
            return false;
        }
        last = int(std::lround(frames));
    }
    if (options.range) std::tie(first, last) = *options.range;
    const int limit = INT_MAX / scene.TicksPerFrame();
    if (first < -limit || last > limit) {
        result.error = "the frame range " + std::to_string(first) + ":" + std::to_string(last) +
                       " does not fit the host's time line";
        return false;
    }
    if (last < first) {
        result.error = "the frame range " + std::to_string(first) + ":" + std::to_string(last) + " ends before it starts";
        return false;
    }
    scene.animRange = {first * scene.TicksPerFrame(), last * scene.TicksPerFrame()};
    info.firstFrame = first;
    info.lastFrame = last;
    return true;
}

}  // namespace

ImportResult ImportFile(const std::string& path, standin::Scene& scene, const ImportOptions& options) {
    ImportResult result;
    if (!std::filesystem::is_regular_file(path)) {
        result.error = "cannot read " + path + ": no such file";
        return result;
    }
    Assimp::Importer reader;
    // Triangulation only: the exporter's own weld and tangents do the rest, and joining vertices
    // here would change which corners are the same vertex.
    const aiScene* source = reader.ReadFile(path, aiProcess_Triangulate);
    if (!source || !source->mRootNode) {
        result.error = "cannot read " + path + ": " + reader.GetErrorString();
        return result;
    }
    // assimp calls a scene without meshes incomplete; a skeleton with its animation is a whole scene.
    if ((source->mFlags & AI_SCENE_FLAGS_INCOMPLETE) && source->mNumAnimations == 0 && source->mRootNode->mNumChildren == 0) {
        result.error = "cannot read " + path + ": the file holds no objects";
        return result;
    }
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    const bool fbx = ext == ".fbx", gltf = ext == ".gltf" || ext == ".glb";
    aiString format;
    if (source->mMetaData) source->mMetaData->Get("SourceAsset_Format", format);
    result.info.format = format.length ? format.C_Str() : ext.substr(ext.empty() ? 0 : 1);
    if (fbx && source->mMetaData) {
        float unit = 0;
        double unitD = 0;
        if (source->mMetaData->Get("UnitScaleFactor", unit)) result.info.unitScaleFactor = unit;
        else if (source->mMetaData->Get("UnitScaleFactor", unitD)) result.info.unitScaleFactor = unitD;
    }

    const Matrix3 top = ToMatrix3(source->mRootNode->mTransformation);
    MaterialLibrary materials(*source, scene, std::filesystem::path(path).stem().string(), result.info.warnings);
    TreeBuilder builder(*source, scene, result.info, materials, fbx, gltf, UpAxisTurn(*source, fbx, ext, options, result.info));
    for (unsigned i = 0; i < source->mRootNode->mNumChildren; ++i) builder.Add(*source->mRootNode->mChildren[i], nullptr, top);
    // Meshes attached to the file's root node itself get a node of their own. The stand-in node for
    // it lives as long as the builder refers to it; it never owns the file's meshes.
    struct Wrapper : aiNode {
        using aiNode::aiNode;
        ~Wrapper() {
            mMeshes = nullptr;
            mNumMeshes = 0;
        }
    };
    std::unique_ptr<Wrapper> wrapper;
    if (source->mRootNode->mNumMeshes) {
        wrapper = std::make_unique<Wrapper>(*source->mRootNode->mName.C_Str() ? source->mRootNode->mName.C_Str() : "Root");
        wrapper->mTransformation = source->mRootNode->mTransformation;
        wrapper->mNumMeshes = source->mRootNode->mNumMeshes;
        wrapper->mMeshes = source->mRootNode->mMeshes;
        builder.Add(*wrapper, nullptr, Matrix3());
    }
    if (!ApplyAnimation(*source, fbx, builder, scene, options, result)) return result;
    AddSkins(*source, scene, builder.Skinned(), builder.ToHost(), options, result.info);
    result.ok = true;
    return result;
}

}  // namespace importer
