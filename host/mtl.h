// Host materials and texture maps.
#pragma once

#include "host/scene.h"

class Texmap;

class Mtl : public ReferenceTarget {
public:
    virtual const char* GetName() = 0;
    virtual int NumSubMtls() = 0;
    virtual Mtl* GetSubMtl(int i) = 0;
    virtual int NumSubTexmaps() = 0;
    virtual Texmap* GetSubTexmap(int i) = 0;
};

// A standard material (class (2, 0)); slot meanings are the ID_* constants of max_types.h.
class StdMat : public Mtl {
public:
    virtual BOOL MapEnabled(int i) = 0;
};

class Texmap : public ReferenceTarget {
public:
    virtual const char* GetName() = 0;
    virtual int NumSubTexmaps() = 0;
    virtual Texmap* GetSubTexmap(int i) = 0;
};

class TextureOutput {
public:
    virtual ~TextureOutput() = default;
    virtual BOOL GetInvert() = 0;
};

// A bitmap texture (class (0x240, 0)).
class BitmapTex : public Texmap {
public:
    virtual const char* GetMapName() = 0;
    virtual TextureOutput* GetTexout() = 0;
    virtual int GetFilterType() = 0;
};
