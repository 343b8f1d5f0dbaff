// The node tree of a scene file into the stand-in scene.
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <set>

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
        for (unsigned i = 0; i < source.mNumCameras; ++i) noObject_.insert(source.mCameras[i]->mName.C_Str());
        for (unsigned i = 0; i < source.mNumLights; ++i) noObject_.insert(source.mLights[i]->mName.C_Str());
    }

    // Adds node under parent. pending: the transforms of folded pivot helpers above the node (and,
    // for top-level nodes, the file root's transform), applied after its own.
    //
    // Every transform is expressed in host axes (conjugated by the up-axis turn) and every vertex is
    // turned, so each object's own Z is the file's up: a yardstick stands along its own Z as in the
    // host, and world positions come out Z-up.
    void Add(const aiNode& node, standin::Node* parent, const Matrix3& pending) {
        if (IsPivotHelper(node) && node.mNumMeshes == 0 && node.mNumChildren == 1) {
            Add(*node.mChildren[0], parent, ToMatrix3(node.mTransformation) * pending);
            return;
        }
        standin::Node& host = scene_.CreateNode(node.mName.C_Str(), parent);
        host.SetLocalTM(InHostAxes(ToMatrix3(node.mTransformation) * pending));
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
    if (!source || !source->mRootNode || (source->mFlags & AI_SCENE_FLAGS_INCOMPLETE)) {
        result.error = "cannot read " + path + ": " + reader.GetErrorString();
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
    // Meshes attached to the file's root node itself get a node of their own.
    if (source->mRootNode->mNumMeshes) {
        aiNode wrapper(*source->mRootNode->mName.C_Str() ? source->mRootNode->mName.C_Str() : "Root");
        wrapper.mTransformation = source->mRootNode->mTransformation;
        wrapper.mNumMeshes = source->mRootNode->mNumMeshes;
        wrapper.mMeshes = source->mRootNode->mMeshes;
        builder.Add(wrapper, nullptr, Matrix3());
        wrapper.mMeshes = nullptr;
        wrapper.mNumMeshes = 0;
    }
    AddSkins(*source, scene, builder.Skinned(), builder.ToHost(), options, result.info);
    result.ok = true;
    return result;
}

}  // namespace importer
