// Any text as a node's user properties: the key-frame parser reads it safely and only ever enables
// slots it found an entry for.
#include <cstdint>
#include <string>

#include "plugin/exporter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    VloExporter exporter;
    exporter.ReadKeyFrameFlags(text);
    bool any = false;
    for (const KeyFrameFlag& flag : exporter.keyFrameFlags) {
        if (!flag.enabled && flag.frame != -1) __builtin_trap();
        any |= flag.enabled != 0;
    }
    if (any && text.find_first_of("kK") == std::string::npos) __builtin_trap();
    return 0;
}
