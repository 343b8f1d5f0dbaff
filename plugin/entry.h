// The module's entry points, as the host finds them in a loaded plug-in module.
#pragma once

#include "host/plugin.h"

// Called by the loader with the module handle: stores it on every call and initialises the
// controls once per process. Always TRUE.
BOOL DllMain(HINSTANCE module, ULONG reason, void* reserved);
extern "C" {
const char* LibDescription();
int LibNumberClasses();
ClassDesc* LibClassDesc(int i);
ULONG LibVersion();
}

// The module's string table lookup: null without a module handle or for an unknown id; otherwise a
// shared 256-byte buffer that the next lookup overwrites.
const char* GetString(int id);

// The handle the loader gave the module (null before DllMain).
HINSTANCE VloModuleHandle();

// The module's resources (string table and dialog templates), as the loader maps them.
const ModuleResources& VloModuleResources();
