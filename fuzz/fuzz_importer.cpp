// Small scene files into the importer, their format chosen by the first byte's three low bits
// (glTF when bit 0 is set, else PLY when bit 1 is, else COLLADA when bit 2 is, else OBJ): an error
// or a scene, never a crash or a hang. Run with -timeout and -rss_limit_mb to bound time and memory.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "importer/importer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static const std::string dir = [] {
        char pattern[] = "/tmp/vlo-fuzz-import-XXXXXX";
        return std::string(mkdtemp(pattern));
    }();
    const std::string path =
        dir + (data[0] & 1 ? "/scene.gltf" : data[0] & 2 ? "/scene.ply" : data[0] & 4 ? "/scene.dae" : "/scene.obj");
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data + 1, 1, size - 1, f);
        std::fclose(f);
    }
    standin::Scene scene;
    const auto result = importer::ImportFile(path, scene);
    if (!result.ok && result.error.empty()) __builtin_trap();  // a refusal always says why
    std::remove(path.c_str());
    return 0;
}
