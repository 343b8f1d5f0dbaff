// The reference of the process-level benchmarks: assimp's bare import of a file with the one
// post-processing step the exporter asks for (triangulation), and nothing else.
//   vlo_import_only FILE
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vlo_import_only FILE\n");
        return 2;
    }
    Assimp::Importer reader;
    const aiScene* scene = reader.ReadFile(argv[1], aiProcess_Triangulate);
    if (!scene) {
        std::fprintf(stderr, "error: %s\n", reader.GetErrorString());
        return 1;
    }
    std::printf("%u meshes, %u animations\n", scene->mNumMeshes, scene->mNumAnimations);
    return 0;
}
