// Any text as a node's user properties: the key-frame parser reads it safely and only ever enables
// slots it found an entry for.
#include <cstdint>
#include <string>

#include "anim/keyframe_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    vlo::KeyFrameFlags flags;
    vlo::ReadKeyFrameFlags(text, flags);
    bool any = false;
    for (const vlo::KeyFrameFlag& flag : flags) {
        if (!flag.enabled && flag.frame != -1) __builtin_trap();
        any |= flag.enabled;
    }
    if (any && text.find_first_of("kK") == std::string::npos) __builtin_trap();
    return 0;
}
