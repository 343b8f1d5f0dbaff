// VloExporter: the plug-in's exporter object. One object serves one export: it holds the options the
// dialog edits, the host interfaces the driver and passes obtain, and every working array the passes
// build before the writers put them into files. Member operations are implemented in the module
// that owns their subject (plugin/, geometry/, modelfile/, ui/).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "format/output_file.h"
#include "format/records.h"
#include "host/character.h"
#include "host/mesh.h"
#include "host/mtl.h"
#include "host/plugin.h"

// Control ids of the options dialog; the export, origin and scale choices are stored as the id of
// the chosen radio button.
enum : int {
    IDC_SWAP_YZ = 1002,
    IDC_ORIGIN_WORLD = 1003,
    IDC_ORIGIN_CENTER = 1004,
    IDC_ORIGIN_BASE = 1005,
    IDC_ORIGIN_PIVOT = 1007,
    IDC_SOUND_LABEL = 1010,
    IDC_SELECT_SOUND = 1011,
    IDC_REMOVE_SOUND = 1012,
    IDC_MODE_SHAPE = 1013,
    IDC_MODE_HIERARCHY = 1014,
    IDC_MODE_ANIMATION = 1015,
    IDC_NO_COLLISIONS = 1018,
    IDC_SEMI_TRANSPARENT = 1019,
    IDC_MARKER_LIST = 1020,
    IDC_ADD_MARKER = 1021,
    IDC_REMOVE_MARKERS = 1022,
    IDC_KEYFRAME_LIST = 1023,
    IDC_EDIT_KEYFRAMES = 1024,
    IDC_SCALE_UNIT = 1027,
    IDC_SCALE_YARDSTICK = 1028,
    IDC_EXPORT_BUMP = 1029,
    IDC_EXPORT_SPECULAR = 1030,
    IDC_ZERO_ROOT_ROTATION = 1031,
};

// Resource ids.
enum : int { IDD_ABOUT = 102, IDD_EXPORT_OPTIONS = 106, IDD_KEYFRAME_FLAGS = 107, IDD_MARKER_SELECT = 108 };

struct KeyFrameFlag {
    BOOL enabled = FALSE;
    int frame = -1;
    const char* name = "";
};
inline constexpr int kNumKeyFrameFlags = 4;

struct IndexBuffer {
    std::int32_t textureId = -1;
    std::uint32_t numPolys = 0;
};


class VloExporter : public SceneExport {
public:
    VloExporter();
    ~VloExporter() override;

    // SceneExport answers.
    int ExtCount() override;
    const char* Ext(int n) override;
    const char* LongDesc() override;
    const char* ShortDesc() override;
    const char* AuthorName() override;
    const char* CopyrightMessage() override;
    const char* OtherMessage1() override;
    const char* OtherMessage2() override;
    unsigned int Version() override;
    void ShowAbout(HWND hWnd) override;
    // Runs one export: selection, markers, key frames, the options dialog, then the pass of the chosen
    // mode. Returns FALSE only when nothing is selected or the user cancels during the marker scan.
    int DoExport(const char* name, ExpInterface* ei, Interface* i, BOOL suppressPrompts = FALSE,
                 DWORD options = 0) override;
    BOOL SupportsOptions(int ext, DWORD options) override;

    // ---- Driver ----
    void RunExport();
    INode* FindSelectedNode(INode* node);
    void CollectMaterials(INode* node);
    BOOL AddUniqueMaterial(Mtl* material);
    void EnterFigureMode();
    void LeaveFigureMode();
    // Modal error box on the host's main window, caption "Error".
    void ShowError(const char* message);
    void ShowWarning(const char* message);

    // ---- World scale ----
    void ComputeWorldScale();
    INode* FindNodeByName(INode* node, const char* name);

    // ---- Geometry ----
    void ComputeOrigin(INode* node, int frame);
    void TransformToExportSpace();
    void ExportModel(INode* node, int frame, const char* path);
    void BuildModelBuffers(Mesh& mesh);
    void BuildIndexBuffers();
    void BuildTangents();
    void CollectTextures();
    void AddMaterialMaps(Mtl* material);

    // ---- Skin source and vertex links ----
    // Finds the Physique (else Skin) modifier of node, its export interfaces and the one top-level
    // node all bones hang from (pxBipedRoot). FALSE after showing why the export cannot go on.
    BOOL PrepareSkin(INode* node);
    // Sets pxBipedRoot to root and pxBipedExport to its biped interface when root is a biped.
    BOOL PrepareBiped(INode* root);
    Modifier* FindModifier(INode* node, Class_ID id);
    INode* FindTopLevelAncestor(INode* node);
    // Fills links for mesh vertex v at world position world. FALSE (links unchanged) after a message.
    BOOL GetVertexLinks(const Point3& world, int v, vlo::VertexLinks& links);
    int BoneIdOfNode(INode* node);
    Point3 PointInBoneSpace(INode* bone, const Point3& point);

    // ---- Bones ----
    // Builds bones and boneNodes from pxBipedRoot (figure mode for the transforms when a biped).
    void BuildBoneList();
    void AddBoneTree(INode* node, int parentId);
    void WriteBoneList();

    // ---- Model file ----
    void WriteObject(vlo::OutputFile& file, Mesh& mesh);
    void WriteObjectHeader(vlo::OutputFile& file);
    // False (after reporting) when a vertex's exported position overflowed.
    bool ExportSpaceIsFinite();
    int WriteHierarchyChunk(vlo::OutputFile& file);
    int WriteTextureChunks(vlo::OutputFile& file);
    int WriteSoundChunk(vlo::OutputFile& file);
    int WriteVertexChunk(vlo::OutputFile& file);
    int WriteVertexLinkChunk(vlo::OutputFile& file);
    int WritePolygonChunk(vlo::OutputFile& file);
    int WriteBumpMapping(vlo::OutputFile& file);
    int WriteSpecularMapping(vlo::OutputFile& file);
    int WriteMarkerChunk(vlo::OutputFile& file);
    // Creates the information file beside path and prints its heading and material listing. Leaves
    // infoFile closed when it cannot be created.
    void OpenInfoFile(const char* path);
    void ListMaterial(Mtl* material, int index, int subNumber);
    void ListMap(Texmap* map, int slot);

    // ---- Key frames ----
    void ReadKeyFrameFlags(const std::string& text);
    void BuildFrameFlags();

    // ---- Animation ----
    void ExportAnimation(const char* path);
    // Creates the VLA file and its information file beside path; FALSE after reporting.
    BOOL OpenAnimationFiles(const char* path);
    void ReadAnimationRange();
    void FillAnimationHeader();
    void ComputeRootRotationBase();
    void SampleRootPositions();
    void SampleRootRotations();
    void SampleBoneKeys();
    void SampleMarkerTracks();
    void WriteAnimationFile();
    // The reference time of the root motion: ADDRESS_BALL, else MOUSE_SWING_START, else the range start.
    TimeValue ReferenceTime();

    // ---- Dialog support ----
    void RemoveMarker(INode* node);

    // ---- Settings and working data (defaults as constructed) ----
    Interface* pxInterface = nullptr;
    Point3 origin;
    std::vector<Mtl*> materials;
    BOOL swapYZ = TRUE;
    BOOL noCollisions = FALSE;
    BOOL semiTransparent = FALSE;
    int originMode = IDC_ORIGIN_BASE;
    char soundFile[vlo::kPathBytes] = {};
    BOOL hasSound = FALSE;
    int exportMode = IDC_MODE_SHAPE;
    int scaleMode = IDC_SCALE_UNIT;
    INode* pxBipedRoot = nullptr;
    IBipedExport* pxBipedExport = nullptr;
    std::vector<vlo::BoneRecord> bones;
    std::vector<INode*> boneNodes;
    int numBones = 0;
    TimeValue evalTime = 0;
    std::string outputPath;
    BOOL exportBumpMaps = FALSE;
    BOOL exportSpecularMaps = FALSE;
    BOOL zeroInitialRootRotation = FALSE;
    // Root-level dummy objects (marker candidates) and the chosen markers; both grow as needed.
    std::vector<INode*> dummyNodes;
    std::vector<INode*> markerNodes;
    KeyFrameFlag keyFrameFlags[kNumKeyFrameFlags];
    BOOL foundFootsteps = FALSE;
    float worldScale = 1.0f;
    std::vector<vlo::TextureName> textures;
    std::vector<vlo::TextureName> bumpMaps;
    std::vector<vlo::TextureName> specularMaps;
    std::vector<vlo::ModelVertex> vertices;
    std::vector<vlo::ModelPolygon> polygons;
    std::vector<vlo::VertexLinks> vertexLinks;
    std::vector<vlo::TangentFrame> tangents;
    std::vector<IndexBuffer> indexBuffers;
    INode* pxNode = nullptr;
    vlo::OutputFile* infoFile = nullptr;  // the open information file while a pass writes it
    BOOL inFigureMode = FALSE;
    IPhysiqueExport* pxPhysiqueExport = nullptr;
    IPhyContextExport* pxPhysiqueContext = nullptr;
    ISkin* pxSkin = nullptr;
    ISkinContextData* pxSkinContext = nullptr;
    int numFrames = 0;
    int startFrame = 0, endFrame = 0, frameStep = 1;
    TimeValue startTime = 0, endTime = 0;
    vlo::AnimationHeader animHeader;
    std::vector<Point3> rootPositions;
    std::vector<float> rootRotations;
    float rootRotationBase = 0;
    std::vector<vlo::BoneKey> boneKeys;
    std::vector<std::uint32_t> frameFlags;
    std::vector<std::vector<Point3>> markerTracks;

    int numDummyNodes() const { return int(dummyNodes.size()); }
    int numMarkers() const { return int(markerNodes.size()); }

    // ---- Outcome and test hooks ----
    // Set when the pass has written and committed its files.
    bool filesWritten = false;
    // Set by any step that must stop the export with nothing written (the step has reported why).
    bool exportFailed = false;
    // Makes file operations fail on purpose (tests); null in normal use.
    vlo::IoFaultPlan* ioFaults = nullptr;

private:
    vlo::OutputFile info_;
    vlo::OutputFile anim_;
    // Heading of the root bone's world transform at t; fallback when it is undefined.
    Point3 RootHeading(TimeValue t, const Point3& fallback);
    // Finishes an export that wrote (or failed to write) the animation files.
    void FinishAnimationFiles(bool good);
    // Publishes data and the information file together when good and every write succeeded;
    // otherwise reports the failed file (when good) and removes both. Sets filesWritten.
    void CommitFiles(vlo::OutputFile& data, bool good);
    bool SamplesAreFinite();
};
