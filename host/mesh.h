// Host triangle mesh and the triangle-mesh object. The data layout is the host's: faces with three
// vertex indices, a smoothing group and the material id in the upper 16 bits of the flags; map
// channel 1 as texture vertices and texture faces; render vertices filled by buildNormals.
// The member functions with behaviour (buildNormals and the clean-ups) are the host's and are
// implemented by the host, not here.
#pragma once

#include <vector>

#include "host/scene.h"

class Face {
public:
    DWORD v[3] = {0, 0, 0};
    DWORD smGroup = 0;
    DWORD flags = 0;

    MtlID getMatID() const { return MtlID(flags >> 16); }
    void setMatID(MtlID id) { flags = (flags & 0xFFFF) | (DWORD(id) << 16); }
    DWORD getSmGroup() const { return smGroup; }
};

class TVFace {
public:
    DWORD t[3] = {0, 0, 0};
};

// One normal of a render vertex, with the smoothing groups (and material) it belongs to.
class RNormal {
public:
    Point3 normal;
    DWORD smGroup = 0;
    MtlID mtlIndex = 0;

    const Point3& getNormal() const { return normal; }
    DWORD getSmGroup() const { return smGroup; }
};

inline constexpr DWORD SPECIFIED_NORMAL = 0x4000;
inline constexpr DWORD NORCT_MASK = 0xFF;

// Per-vertex normals as buildNormals leaves them: rFlags bit 0x4000 marks a specified normal (in rn);
// the low 8 bits count the normals; one normal is in rn, several in ern (an array the mesh owns).
class RVertex {
public:
    DWORD rFlags = 0;
    RNormal rn;
    RNormal* ern = nullptr;
};

class Mesh {
public:
    Mesh() = default;
    // A copy's render vertices point into the copy's own normals.
    Mesh(const Mesh& other);
    Mesh& operator=(const Mesh& other);
    Mesh(Mesh&&) = default;
    Mesh& operator=(Mesh&&) = default;

    std::vector<Point3> verts;
    std::vector<Face> faces;
    std::vector<Point3> tVerts;   // map channel 1
    std::vector<TVFace> tvFace;   // one per face when the mesh is mapped, else empty
    std::vector<RVertex> rVerts;  // filled by buildNormals
    std::vector<Point3> faceNormals;  // filled by buildNormals

    int getNumVerts() const { return int(verts.size()); }
    int getNumFaces() const { return int(faces.size()); }
    int getNumTVerts() const { return int(tVerts.size()); }
    Point3& getVert(int i) { return verts[i]; }
    const Point3& getVert(int i) const { return verts[i]; }
    const Point3& getFaceNormal(int f) const { return faceNormals[f]; }
    RVertex& getRVert(int i) { return rVerts[i]; }

    // Marks vertex i's normal as specified: buildNormals keeps it instead of averaging faces.
    void setSpecifiedNormal(int i, const Point3& n);
    // Room for the specified normals of count vertices, so that setting them does not reallocate.
    void reserveSpecifiedNormals(std::size_t count) { specified_.reserve(count); }
    bool hasSpecifiedNormal(int i) const { return i >= 0 && i < int(specified_.size()) && specified_[i].set; }
    Point3 specifiedNormal(int i) const { return hasSpecifiedNormal(i) ? specified_[i].normal : Point3(); }

    // Computes face normals and the render-vertex normals from smoothing groups (see the host's rules:
    // angle-weighted, entries shared by overlapping smoothing groups of the same material id, group 0
    // faces use their own face normal); specified normals win.
    void buildNormals();
    // Removes faces with two equal vertex indices. Returns whether any face was removed.
    BOOL RemoveDegenerateFaces();
    // Removes faces whose vertex (or texture vertex) indices are out of range. Returns whether any was removed.
    BOOL RemoveIllegalFaces();

private:
    struct Specified {
        Point3 normal;
        bool set = false;
    };
    std::vector<Specified> specified_;
    std::vector<RNormal> sharedNormals_;  // the ern arrays of rVerts
};

class GeomObject : public Object {};

// The host's triangle-mesh object, class (9, 0). Concrete: hosts create it for conversions.
class TriObject : public GeomObject {
public:
    Mesh mesh;

    Mesh& GetMesh() { return mesh; }
    Class_ID ClassID() override { return triObjectClassID; }
    SClass_ID SuperClassID() override { return GEOMOBJECT_CLASS_ID; }
    void GetClassName(MSTR& s) override { s = "Editable Mesh"; }
    ObjectState Eval(TimeValue) override { return ObjectState{this}; }
    int CanConvertToType(Class_ID obtype) override { return obtype == triObjectClassID ? 1 : 0; }
    Object* ConvertToType(TimeValue, Class_ID obtype) override { return obtype == triObjectClassID ? this : nullptr; }
    void GetDeformBBox(TimeValue t, Box3& box, Matrix3* tm = nullptr, BOOL useSel = FALSE) override;
    void DeleteThis() override { delete this; }
};
