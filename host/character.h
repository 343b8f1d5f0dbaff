// The host's character-animation export interfaces the exporter uses: the Physique modifier's, the
// Skin modifier's and the biped's. Reached through Animatable::GetInterface with the ids of
// max_types.h; every pointer is borrowed from the host.
#pragma once

#include "host/geom.h"
#include "host/max_types.h"

class INode;

// ---- Physique ----

inline constexpr int RIGID_TYPE = 1;
inline constexpr int BLENDED_TYPE = 4;  // flag bit: the vertex is blended
inline constexpr int RIGID_BLENDED_TYPE = RIGID_TYPE | BLENDED_TYPE;

class IPhyVertexExport {
public:
    virtual ~IPhyVertexExport() = default;
    virtual int GetVertexType() = 0;
};

// A vertex bound to one bone.
class IPhyRigidVertex : public IPhyVertexExport {
public:
    virtual INode* GetNode() = 0;
    // The vertex in the bone's space.
    virtual Point3 GetOffsetVector() = 0;
};

// A vertex bound to several bones with weights.
class IPhyBlendedRigidVertex : public IPhyVertexExport {
public:
    virtual int GetNumberNodes() = 0;
    virtual INode* GetNode(int i) = 0;
    virtual Point3 GetOffsetVector(int i) = 0;
    virtual float GetWeight(int i) = 0;
};

class IPhyContextExport {
public:
    virtual ~IPhyContextExport() = default;
    // Makes every vertex rigid (TRUE), blended where blending is allowed.
    virtual void ConvertToRigid(BOOL flag) = 0;
    virtual void AllowBlending(BOOL flag) = 0;
    virtual int GetNumberVertices() = 0;
    // The vertex's interface (null when there is none); give it back with ReleaseVertexInterface.
    virtual IPhyVertexExport* GetVertexInterface(int i) = 0;
    virtual void ReleaseVertexInterface(IPhyVertexExport* vertex) = 0;
};

class IPhysiqueExport {
public:
    virtual ~IPhysiqueExport() = default;
    virtual IPhyContextExport* GetContextInterface(INode* node) = 0;
};

// ---- Skin ----

class ISkinContextData {
public:
    virtual ~ISkinContextData() = default;
    virtual int GetNumPoints() = 0;
    virtual int GetNumAssignedBones(int point) = 0;
    // The bone index (for ISkin::GetBone) of assignment j of point.
    virtual int GetAssignedBone(int point, int j) = 0;
    virtual float GetBoneWeight(int point, int j) = 0;
};

class ISkin {
public:
    virtual ~ISkin() = default;
    // The skinned node's transform at bind time; 1 on success.
    virtual int GetSkinInitTM(INode* node, Matrix3& tm, bool objOffset = false) = 0;
    virtual int GetNumBones() = 0;
    virtual INode* GetBone(int index) = 0;
    virtual ISkinContextData* GetContextInterface(INode* node) = 0;
};

// ---- Biped ----

// Export interface of a biped body controller (interface id I_BIPINTERFACE).
class IBipedExport {
public:
    virtual ~IBipedExport() = default;
    // Shows the skinning (bind) pose until EndFigureMode.
    virtual void BeginFigureMode(int redraw) = 0;
    virtual void EndFigureMode(int redraw) = 0;
    virtual void RemoveNonUniformScale(BOOL onOff) = 0;
};
