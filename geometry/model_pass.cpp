// The model export pass: the selected node as a VLO file and its information text.
#include <string>

#include "format/chunk_writer.h"
#include "geometry/tri_mesh.h"
#include "plugin/exporter.h"

void VloExporter::ExportModel(INode* node, int frame, const char* path) {
    pxNode = node;
    ComputeWorldScale();
    evalTime = frame * pxInterface->GetTicksPerFrame();

    vlo::TriMeshHandle tri;
    switch (tri.Obtain(node, evalTime)) {
        case vlo::TriMeshStatus::ObjectStateFailure: ShowError("Error with Object State"); return;
        case vlo::TriMeshStatus::ConversionFailure: ShowError("Failed to obtain a tri object"); return;
        case vlo::TriMeshStatus::Ok: break;
    }
    Mesh& mesh = tri.GetMesh();
    mesh.RemoveDegenerateFaces();
    mesh.RemoveIllegalFaces();
    mesh.buildNormals();

    CollectTextures();
    if (exportFailed) return;

    vlo::OutputFile file;
    if (!file.Open(path, vlo::OutputFile::Mode::Binary, ioFaults)) {
        ShowError("Failed to create the file");
        return;
    }
    OpenInfoFile(path);

    file.WriteRecord(vlo::BlockHeader{vlo::kBlockMagic, 1, 0, 16});
    vlo::ChunkWriter chunks(file);
    const auto objectStart = chunks.Begin(vlo::kChunkObject);
    WriteObject(file, mesh);
    chunks.End(objectStart, vlo::kChunkObject);

    CommitFiles(file, !exportFailed);
}
