// Up to four weighted bone links per vertex, read from the skin source.
#pragma once

#include "core/export_space.h"
#include "core/notice.h"
#include "format/records.h"
#include "skin/bones.h"
#include "skin/skin_source.h"

namespace vlo {

class VertexLinkReader {
public:
    // source, bones and space are borrowed for the reader's life; space gives the axes of the rebuilt
    // positions (which stay in world units).
    VertexLinkReader(const SkinSource& source, const BoneList& bones, const ExportSpace& space, NoticeSink& notices);

    // Reads the links of mesh vertex v, whose world position is world, into out (normal and position
    // zero but the rebuilt position of the first real link). False, with out unchanged, after a
    // reported notice when the vertex has no usable links.
    bool Read(const Point3& world, int v, VertexLinks& out);

private:
    struct Link {
        INode* bone;
        float weight;
    };
    bool ReadPhysique(int v, Point3& position);
    bool ReadSkin(const Point3& world, int v, Point3& position);

    const SkinSource& source_;
    const BoneList& bones_;
    const ExportSpace& space_;
    NoticeSink& notices_;
    std::vector<Link> links_;  // the current vertex's real links; any number
};

}  // namespace vlo
