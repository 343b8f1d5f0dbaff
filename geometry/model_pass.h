// The model pass: the selected node's cleaned triangle mesh, its textures, bones, links and markers as
// a VloModel in the game's space.
#pragma once

#include "core/export_settings.h"
#include "core/export_space.h"
#include "core/notice.h"
#include "format/vlo_model.h"
#include "geometry/textures.h"
#include "host/mesh.h"
#include "skin/figure_mode.h"
#include "skin/skin_source.h"

namespace vlo {

struct ModelRequest {
    INode& node;                    // the exported node
    Mesh& mesh;                     // its cleaned triangle mesh, normals built
    TimeValue time;                 // the time the mesh was taken at
    const ExportSettings& settings;
    const ExportSpace& space;       // origin, scale, axes and re-centring of this export
    const TextureTable& textures;
    const SkinSource* skin;         // Hierarchy only: where the bone links come from
    FigureMode& figure;             // the skeleton's biped, for reading bones in figure mode
};

// Builds the model, in the order the file's chunks are written: bones (Hierarchy), the welded
// vertices and polygons with their links, tangents, the groups by texture, the move into export
// space, then which of the bump and specular maps are written, and the markers. Reports the notices
// that go on (link problems, map counts); fails, naming the object, on what would make a corrupt
// file: more than 255 bones or 65,535 vertices, vertices without bone links, non-finite values.
Result<VloModel> BuildModel(const ModelRequest& request, NoticeSink& notices);

}  // namespace vlo
