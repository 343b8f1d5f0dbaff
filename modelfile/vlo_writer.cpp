// The VLO writer sequence: the object header and the object's chunks in file order, each printing its
// section of the information text.
#include <cmath>
#include <string>

#include "format/chunk_writer.h"
#include "plugin/exporter.h"

void VloExporter::WriteObject(vlo::OutputFile& file, Mesh& mesh) {
    const std::uint64_t headerStart = file.Tell();
    file.WriteRecord(vlo::ObjectHeader{});
    const std::uint64_t listStart = file.Tell();
    file.WriteRecord(vlo::BlockHeader{vlo::kBlockMagic, 0, 0, 16});
    std::uint32_t n = 0;

    if (exportMode == IDC_MODE_HIERARCHY) n += WriteHierarchyChunk(file);
    if (exportFailed) return;
    n += WriteTextureChunks(file);
    BuildModelBuffers(mesh);
    if (exportFailed) return;
    TransformToExportSpace();
    if (!ExportSpaceIsFinite()) return;
    n += WriteSoundChunk(file);
    n += WriteVertexChunk(file);
    n += WriteVertexLinkChunk(file);
    n += WritePolygonChunk(file);
    if (exportBumpMaps) n += WriteBumpMapping(file);
    if (exportSpecularMaps) n += WriteSpecularMapping(file);
    n += WriteMarkerChunk(file);

    const std::uint64_t end = file.Tell();
    file.Seek(listStart);
    file.WriteRecord(vlo::BlockHeader{vlo::kBlockMagic, n, 0, 16});
    file.Seek(headerStart);
    WriteObjectHeader(file);
    file.Seek(end);
}

// Finite world positions can still overflow on the way into export space (a huge distance from the
// origin, a yardstick of almost no height); such a file would be corrupt.
bool VloExporter::ExportSpaceIsFinite() {
    std::size_t bad = 0;
    for (const vlo::ModelVertex& v : vertices)
        bad += !(std::isfinite(v.position.x) && std::isfinite(v.position.y) && std::isfinite(v.position.z));
    if (bad == 0) return true;
    const std::string message = "Object '" + std::string(pxNode->GetName()) + "': " + std::to_string(bad) +
                                " vertices are too far from the export origin for the scale " +
                                std::to_string(worldScale) + ". Nothing was exported";
    ShowError(message.c_str());
    exportFailed = true;
    return false;
}

void VloExporter::WriteObjectHeader(vlo::OutputFile& file) {
    vlo::ObjectHeader header;
    if (exportMode == IDC_MODE_HIERARCHY) header.flags |= vlo::kFlagHierarchy;
    if (semiTransparent) header.flags |= vlo::kFlagSemiTransparent;
    if (noCollisions) header.flags |= vlo::kFlagNoCollisions;
    if (infoFile) {
        infoFile->Printf("\n");
        if (header.flags & vlo::kFlagNoCollisions) infoFile->Printf("FLAG: No Collisions\n");
        if (header.flags & vlo::kFlagHierarchy) infoFile->Printf("FLAG: Is Hierarchy\n");
        if (header.flags & vlo::kFlagSemiTransparent) infoFile->Printf("FLAG: Semi Transparent\n");
        infoFile->Printf("\n");
    }
    file.WriteRecord(header);
}

int VloExporter::WriteTextureChunks(vlo::OutputFile& file) {
    vlo::ChunkWriter chunks(file);
    if (infoFile) infoFile->Printf("\nTextures\n========\n\n");
    for (std::size_t i = 0; i < textures.size(); ++i) {
        chunks.WriteSingle(vlo::kChunkTexture, textures[i]);
        if (infoFile) infoFile->Printf("   %d) %s\n", int(i), textures[i].name);
    }
    return int(textures.size());
}

int VloExporter::WriteSoundChunk(vlo::OutputFile& file) {
    if (!hasSound) return 0;
    if (infoFile) infoFile->Printf("Sound File\n==========\n\n");
    vlo::TextureName sound;
    vlo::CopyBounded(sound.name, soundFile);
    vlo::ChunkWriter(file).WriteSingle(vlo::kChunkSound, sound);
    if (infoFile) infoFile->Printf("   %s\n", sound.name);
    return 1;
}

int VloExporter::WriteVertexChunk(vlo::OutputFile& file) {
    vlo::ChunkWriter(file).WriteCounted(vlo::kChunkVertices, vertices.data(), std::uint32_t(vertices.size()));
    if (infoFile) {
        infoFile->Printf("Vertex Positions\n");
        for (std::size_t i = 0; i < vertices.size(); ++i)
            infoFile->Printf("%03d: %f, %f, %f\n", int(i), vertices[i].position.x, vertices[i].position.y,
                             vertices[i].position.z);
        infoFile->Printf("Vertex Normals\n");
        for (std::size_t i = 0; i < vertices.size(); ++i)
            infoFile->Printf("%03d: %f, %f, %f\n", int(i), vertices[i].normal.x, vertices[i].normal.y,
                             vertices[i].normal.z);
        infoFile->Printf("Vertex UVs\n");
        for (std::size_t i = 0; i < vertices.size(); ++i)
            infoFile->Printf("%03d: %f, %f\n", int(i), vertices[i].u, vertices[i].v);
    }
    return 1;
}

int VloExporter::WritePolygonChunk(vlo::OutputFile& file) {
    vlo::ChunkWriter(file).WriteCounted(vlo::kChunkPolygons, polygons.data(), std::uint32_t(polygons.size()));
    if (infoFile)
        for (std::size_t i = 0; i < polygons.size(); ++i)
            infoFile->Printf("Poly %5d: Texture Id = %3d; Verts: %6d, %6d, %6d\n", int(i), polygons[i].textureId,
                             polygons[i].verts[0], polygons[i].verts[1], polygons[i].verts[2]);
    return 1;
}

int VloExporter::WriteBumpMapping(vlo::OutputFile& file) {
    if (bumpMaps.size() != 1) {
        char message[256];
        std::snprintf(message, sizeof message, "Currently only support one bump map (found %d)", int(bumpMaps.size()));
        ShowError(message);
        return 0;
    }
    if (tangents.size() != vertices.size()) {
        ShowError("Number of tangents does not match number of vertices therefore excluding bump data");
        return 0;
    }
    vlo::ChunkWriter chunks(file);
    if (infoFile) infoFile->Printf("\nBump Maps\n========\n\n");
    for (std::size_t i = 0; i < bumpMaps.size(); ++i) {
        chunks.WriteSingle(vlo::kChunkBumpMap, bumpMaps[i]);
        if (infoFile) infoFile->Printf("   %d) %s\n", int(i), bumpMaps[i].name);
    }
    chunks.WriteCounted(vlo::kChunkTangents, tangents.data(), std::uint32_t(tangents.size()));
    if (infoFile)
        for (std::size_t i = 0; i < tangents.size(); ++i) {
            const vlo::TangentFrame& t = tangents[i];
            infoFile->Printf("Tangent %03d: %f, %f, %f; Binormal : %f, %f, %f\n", int(i), t.tangent.x, t.tangent.y,
                             t.tangent.z, t.binormal.x, t.binormal.y, t.binormal.z);
        }
    return 2;
}

int VloExporter::WriteSpecularMapping(vlo::OutputFile& file) {
    if (specularMaps.size() != 1) {
        char message[256];
        std::snprintf(message, sizeof message, "Currently only support one specular map (found %d)",
                      int(specularMaps.size()));
        ShowError(message);
        return 0;
    }
    if (infoFile) infoFile->Printf("\nSpecular Maps\n========\n\n");
    vlo::ChunkWriter(file).WriteSingle(vlo::kChunkSpecularMap, specularMaps[0]);
    if (infoFile) infoFile->Printf("   %d) %s\n", 0, specularMaps[0].name);
    return 1;
}

int VloExporter::WriteMarkerChunk(vlo::OutputFile& file) {
    if (markerNodes.empty()) return 0;
    std::vector<vlo::MarkerRecord> records(markerNodes.size());
    const float inverseScale = 1.0f / worldScale;
    for (std::size_t i = 0; i < markerNodes.size(); ++i) {
        INode* node = markerNodes[i];
        vlo::CopyBounded(records[i].name, node->GetName());
        Point3 p = node->GetNodeTM(0).GetTrans() - origin;
        if (swapYZ) std::swap(p.y, p.z);
        p *= inverseScale;
        records[i].position = {p.x, p.y, p.z};
        // A marker at an infinite or undefined place would put NaN into the game's file.
        if (!IsFinite(p)) {
            const std::string message = std::string("Marker '") + node->GetName() +
                                        "' has a non-finite position. Nothing was exported";
            ShowError(message.c_str());
            exportFailed = true;
            return 0;
        }
    }
    vlo::ChunkWriter(file).WriteCounted(vlo::kChunkMarkers, records.data(), std::uint32_t(records.size()));
    if (infoFile) {
        infoFile->Printf("\nDummy Markers\n========\n\n");
        for (const vlo::MarkerRecord& r : records) {
            infoFile->Printf("   %.32s ", r.name);
            infoFile->Printf("   %f, %f, %f\n", r.position.x, r.position.y, r.position.z);
        }
        infoFile->Printf("\n\n");
    }
    return 1;
}
