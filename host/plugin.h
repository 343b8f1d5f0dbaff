// The host's plug-in frame: class descriptors and the scene-exporter base class.
#pragma once

#include "host/scene.h"
#include "host/win32.h"

class ExpInterface;

class ClassDesc {
public:
    virtual ~ClassDesc() = default;
    virtual int IsPublic() = 0;
    virtual void* Create(BOOL loading = FALSE) = 0;
    virtual int BeginCreate(Interface*) { return 0; }
    virtual int EndCreate(Interface*) { return 0; }
    virtual const char* ClassName() = 0;
    virtual SClass_ID SuperClassID() = 0;
    virtual Class_ID ClassID() = 0;
    virtual const char* Category() = 0;
    virtual BOOL OkToCreate(Interface*) { return TRUE; }
};

class SceneExport {
public:
    virtual ~SceneExport() = default;
    virtual int ExtCount() = 0;
    virtual const char* Ext(int n) = 0;
    virtual const char* LongDesc() = 0;
    virtual const char* ShortDesc() = 0;
    virtual const char* AuthorName() = 0;
    virtual const char* CopyrightMessage() = 0;
    virtual const char* OtherMessage1() = 0;
    virtual const char* OtherMessage2() = 0;
    virtual unsigned int Version() = 0;
    virtual void ShowAbout(HWND hWnd) = 0;
    virtual int DoExport(const char* name, ExpInterface* ei, Interface* i, BOOL suppressPrompts = FALSE,
                         DWORD options = 0) = 0;
    virtual BOOL SupportsOptions(int ext, DWORD options) = 0;
};

// Packed host version value: release << 16 | interface number << 8 | revision.
inline constexpr ULONG HOST_SDK_VERSION = (7000u << 16) | (13u << 8) | 0u;
