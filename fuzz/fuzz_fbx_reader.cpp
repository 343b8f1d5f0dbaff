// Any bytes as an FBX file, binary or ASCII: the reader either gives a node tree or an error, never a
// crash, a hang or an unbounded allocation; what it reads of a tree is always well formed.
#include <cstdint>
#include <span>
#include <string>

#include "importer/fbx_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string error;
    const auto doc = importer::ReadFbx(std::span(data, size), error);
    if (!doc) {
        if (error.empty()) __builtin_trap();  // a failure always says why
        return 0;
    }
    const importer::FbxFacts facts = importer::ReadFbxFacts(*doc);
    for (const auto& take : facts.takes)
        if (take.start != take.start || take.stop != take.stop) __builtin_trap();  // times are numbers
    return 0;
}
