#include "plugin/entry.h"

#include "plugin/exporter.h"

namespace {

// Module-wide state of a loaded plug-in module: the handle the loader gave, the one-time control
// initialisation and the string lookup buffer the host's string convention shares.
HINSTANCE g_module = nullptr;
bool g_controlsInitialised = false;
char g_stringBuffer[256];

class VloExporterClassDesc : public ClassDesc {
public:
    int IsPublic() override { return TRUE; }
    void* Create(BOOL) override { return new (std::nothrow) VloExporter(); }
    int BeginCreate(Interface*) override { return 0; }
    int EndCreate(Interface*) override { return 0; }
    const char* ClassName() override { return GetString(9); }
    SClass_ID SuperClassID() override { return SCENE_EXPORT_CLASS_ID; }
    Class_ID ClassID() override { return Class_ID(0x116904FE, 0x1F826DDB); }
    const char* Category() override { return GetString(10); }
    BOOL OkToCreate(Interface*) override { return TRUE; }
};

VloExporterClassDesc g_classDesc;

}  // namespace

BOOL DllMain(HINSTANCE module, ULONG, void*) {
    g_module = module;
    if (!g_controlsInitialised) {
        g_controlsInitialised = true;
        InitCustomControls(module);
        InitCommonControls();
    }
    return TRUE;
}

HINSTANCE VloModuleHandle() { return g_module; }

const char* GetString(int id) {
    if (!g_module) return nullptr;
    return LoadStringA(g_module, UINT(id), g_stringBuffer, int(sizeof g_stringBuffer)) != 0 ? g_stringBuffer : nullptr;
}

extern "C" {
const char* LibDescription() { return GetString(1); }
int LibNumberClasses() { return 1; }
ClassDesc* LibClassDesc(int i) { return i == 0 ? &g_classDesc : nullptr; }
ULONG LibVersion() { return HOST_SDK_VERSION; }
}
