// Host scene interfaces: the objects the exporter reads. Abstract classes with the host SDK's names
// and calling shape; a host (the stand-in, or a real one) implements them. Every pointer handed out
// is borrowed from the host unless a function says otherwise.
#pragma once

#include "host/geom.h"
#include "host/max_types.h"

struct HWND__;
using HWND = HWND__*;

class Animatable {
public:
    virtual ~Animatable() = default;
    virtual Class_ID ClassID() = 0;
    virtual SClass_ID SuperClassID() = 0;
    virtual void GetClassName(MSTR& s) = 0;
    // An interface of this object by id, or null when it has none.
    virtual void* GetInterface(ULONG id) { (void)id; return nullptr; }
};

class ReferenceTarget : public Animatable {};

class Object;

// The result of evaluating a node: the object at the end of its pipeline (may be null).
struct ObjectState {
    Object* obj = nullptr;
};

class Object : public ReferenceTarget {
public:
    virtual ObjectState Eval(TimeValue t) = 0;
    virtual int CanConvertToType(Class_ID obtype) = 0;
    // The object converted to the given class. When the result differs from this object it is a new
    // object the caller owns and releases with DeleteThis().
    virtual Object* ConvertToType(TimeValue t, Class_ID obtype) = 0;
    // Bounding box of the deformed object in its own space (tm null), or transformed by *tm.
    virtual void GetDeformBBox(TimeValue t, Box3& box, Matrix3* tm = nullptr, BOOL useSel = FALSE) = 0;
    // Releases an object the caller owns.
    virtual void DeleteThis() = 0;
};

class Modifier : public ReferenceTarget {};

// A modifier stack: modifiers on top of an object reference. Modifier 0 is the top of the stack.
class IDerivedObject : public Object {
public:
    virtual int NumModifiers() = 0;
    virtual Modifier* GetModifier(int index) = 0;
    virtual Object* GetObjRef() = 0;
};

// A transform controller.
class Control : public ReferenceTarget {};

class Mtl;

class INode {
public:
    virtual ~INode() = default;
    virtual int NumberOfChildren() = 0;
    virtual INode* GetChildNode(int i) = 0;
    virtual INode* GetParentNode() = 0;
    virtual BOOL IsRootNode() = 0;
    virtual int Selected() = 0;
    virtual const char* GetName() = 0;
    virtual Mtl* GetMtl() = 0;
    virtual void GetUserPropBuffer(MSTR& buf) = 0;
    virtual Object* GetObjectRef() = 0;
    virtual Control* GetTMController() = 0;
    virtual ObjectState EvalWorldState(TimeValue t, BOOL evalHidden = TRUE) = 0;
    // World transform of the node's pivot.
    virtual Matrix3 GetNodeTM(TimeValue t) = 0;
    // World transform of the parent's pivot (identity for a child of the scene root).
    virtual Matrix3 GetParentTM(TimeValue t) = 0;
    // World transform of the object: the object offset, then the node transform.
    virtual Matrix3 GetObjTMAfterWSM(TimeValue t) = 0;
};

class Interface {
public:
    virtual ~Interface() = default;
    virtual HWND GetMAXHWnd() = 0;
    virtual INode* GetRootNode() = 0;
    // True when the user has asked to cancel the running operation.
    virtual BOOL GetCancel() = 0;
    virtual Interval GetAnimRange() = 0;
    // The scene's time settings (the SDK has these as free functions of the current scene).
    virtual int GetTicksPerFrame() = 0;
    virtual int GetFrameRate() = 0;
};
