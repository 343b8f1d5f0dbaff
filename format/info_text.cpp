#include "format/info_text.h"

namespace vlo {
namespace {

void PrintMap(TextWriter& t, const ListedMap& map) {
    t.Printf("\t%s \"%s\"\n", "*MAP_NAME", SanitizeName(map.name).c_str());
    t.Printf("\t%s \"%s\"\n", "*MAP_CLASS", SanitizeName(map.className).c_str());
    t.Printf("\t%s %d\n", "*MAP_SUBNO", map.slot);
    if (map.isBitmap) {
        t.Printf("\t%s \"%s\"\n", "*BITMAP", SanitizeName(map.bitmapPath).c_str());
        if (map.inverted) t.Printf("\t%s\n", "*BITMAP_INVERT");
        t.Printf("\t%s ", "*BITMAP_FILTER");
        t.Printf("%s\n", map.filter == 0 ? "Pyramidal" : (map.filter == 1 ? "SAT" : "None"));
    }
    for (const ListedMap& sub : map.subMaps) PrintMap(t, sub);
}

// Every line inside a block has one tab, whatever the nesting.
void PrintMaterial(TextWriter& t, const ListedMaterial& m, int index, int subNumber) {
    t.Printf("%s %d {\n", subNumber == -1 ? "*MATERIAL" : "*SUBMATERIAL", subNumber == -1 ? index : subNumber);
    t.Printf("\t%s \"%s\"\n", "*MATERIAL_NAME", SanitizeName(m.name).c_str());
    t.Printf("\t%s \"%s\"\n", "*MATERIAL_CLASS", SanitizeName(m.className).c_str());
    for (const ListedMap& map : m.maps) PrintMap(t, map);
    if (m.numSubMaterials > 0) {
        t.Printf("\t%s %d\n", "*NUMSUBMTLS", m.numSubMaterials);
        for (const auto& [number, sub] : m.subs) PrintMaterial(t, sub, 0, number);
    }
    t.Printf("}\n");
}

void PrintBoneList(TextWriter& t, const std::vector<BoneRecord>& bones) {
    t.Printf("\nNum Bones = %d\n", int(bones.size()));
    for (const BoneRecord& b : bones) {
        if (b.parentId == -1)
            t.Printf("Bone: %.32s (Id %d) ROOT! Offset: %.2f, %.2f, %.2f\n", b.name, b.id, b.offset.x, b.offset.y,
                     b.offset.z);
        else
            t.Printf("Bone: %.32s (Id %d) Parent: %.32s (Id %d) Offset: %.2f, %.2f, %.2f\n", b.name, b.id,
                     bones[std::size_t(b.parentId)].name, b.parentId, b.offset.x, b.offset.y, b.offset.z);
    }
}

// "%03d: %f, %f, %f\n" (the separator after the number given).
void IndexedTriple(TextWriter& t, std::size_t index, const char* separator, const Vec3& v, int decimals) {
    t.Int(int(index), 3, '0').Str(separator).Fixed(v.x, decimals).Str(", ").Fixed(v.y, decimals).Str(", ");
    t.Fixed(v.z, decimals).EndLine();
}

void PrintVertices(TextWriter& t, const std::vector<ModelVertex>& vertices) {
    t.Printf("Vertex Positions\n");
    t.Lines(vertices.size(), [&](TextWriter& out, std::size_t i) { IndexedTriple(out, i, ": ", vertices[i].position, 6); });
    t.Printf("Vertex Normals\n");
    t.Lines(vertices.size(), [&](TextWriter& out, std::size_t i) { IndexedTriple(out, i, ": ", vertices[i].normal, 6); });
    t.Printf("Vertex UVs\n");
    t.Lines(vertices.size(), [&](TextWriter& out, std::size_t i) {
        out.Int(int(i), 3, '0').Str(": ").Fixed(vertices[i].u, 6).Str(", ").Fixed(vertices[i].v, 6).EndLine();
    });
}

void PrintLinks(TextWriter& t, const VloModel& m) {
    t.Lines(m.links.size(), [&m](TextWriter& out, std::size_t i) {
        const VertexLinks& l = m.links[i];
        const Vec3 p = i < m.text.linkPositions.size() ? m.text.linkPositions[i] : l.position;
        out.Str("Vertex ").Int(int(i)).Str(" : Linked to ").Int(l.numLinks).Str(" Bones: ");
        for (int k = 0; k < l.numLinks && k < 4; ++k) {
            const int id = static_cast<signed char>(l.boneIds[k]);
            const std::string name =
                l.boneIds[k] < m.bones.size() ? FieldText(m.bones[l.boneIds[k]].name) : std::string("<no bone>");
            out.Str(" ").Int(k).Str(") ").Str(name).Str(" (").Int(id).Str(") [").Fixed(p.x, 2).Str(", ").Fixed(p.y, 2);
            out.Str(", ").Fixed(p.z, 2).Str("] (").Fixed(l.weights[k], 3).Str(")");
        }
        out.EndLine();
    });
}

// The texture list and the Info section: what a reader of the model file can check the text against.
void PrintTexturesAndInfo(TextWriter& t, const VloModel& m) {
    t.Printf("\nTextures\n========\n\n");
    for (std::size_t i = 0; i < m.textures.size(); ++i) t.Printf("   %d) %.260s\n", int(i), m.textures[i].name);

    t.Printf("\nInfo\n====\n\n");
    t.Printf("   Num Textures = %d\n", int(m.textures.size()));
    t.Printf("   Num Vertices = %d\n", int(m.vertices.size()));
    t.Printf("   Num Polys    = %d\n", int(m.polygons.size()));
    t.Printf("   Num Index Buffers = %d\n", int(m.indexBuffers.size()));
    for (std::size_t i = 0; i < m.indexBuffers.size(); ++i)
        t.Printf("      Index Buffer %d) Texture Index = %d; Num Polys = %d\n", int(i), m.indexBuffers[i].textureId,
                 int(m.indexBuffers[i].numPolys));
}

// The header and the per-frame flags of an animation.
void PrintHeaderAndFlags(TextWriter& t, const VlaAnimation& a) {
    t.Printf("\n\nHeader\n======\n\n");
    t.Printf("  Num Bones : %d\n", int(a.header.numBones));
    t.Printf("  Num Frames: %d\n", int(a.header.numFrames));
    t.Printf("  Frame Rate: %d\n\n", a.header.frameRate);
    t.Printf("Flags\n");
    for (std::size_t k = 0; k < a.frames.size(); ++k) t.Int(int(k), 3, '0').Str(" - ").Hex(a.frames[k].flags).EndLine();
}

// The lines of text, without their line ends.
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// The first line of section (as this module writes it) that text does not hold in the same place,
// described for a reader; empty when text holds the whole section. The section is found by its
// heading: its first two non-empty lines.
std::string SectionDifference(std::string_view text, std::string_view section) {
    std::vector<std::string_view> want = Lines(section);
    while (!want.empty() && want.front().empty()) want.erase(want.begin());
    const std::vector<std::string_view> have = Lines(text);
    std::size_t at = 0;
    while (at + 1 < have.size() && !(have[at] == want[0] && have[at + 1] == want[1])) ++at;
    if (at + 1 >= have.size()) return "it has no " + std::string(want[0]) + " section";
    for (std::size_t i = 2; i < want.size(); ++i) {
        if (at + i >= have.size()) return "it ends before the line '" + std::string(want[i]) + "'";
        if (have[at + i] != want[i])
            return "it reads '" + std::string(have[at + i]) + "' where the file gives '" + std::string(want[i]) + "'";
    }
    return {};
}

void PrintFlags(TextWriter& t, std::uint32_t flags) {
    t.Printf("\n");
    if (flags & kFlagNoCollisions) t.Printf("FLAG: No Collisions\n");
    if (flags & kFlagHierarchy) t.Printf("FLAG: Is Hierarchy\n");
    if (flags & kFlagSemiTransparent) t.Printf("FLAG: Semi Transparent\n");
    t.Printf("\n");
}

}  // namespace

std::string SanitizeName(const std::string& text) {
    std::string out = text.size() > 255 ? text.substr(0, 255) : text;
    for (char& c : out) {
        if (c == '"') c = '\'';
        else if (static_cast<signed char>(c) < 0x20) c = '_';
    }
    return out;
}

std::string ModelText(const VloModel& model, const std::string& dataPath, const std::string& textPath,
                      const Timestamp& created) {
    TextWriter t;
    WriteModelText(model, dataPath, textPath, created, t);
    return t.Take();
}

std::string AnimationText(const VlaAnimation& animation, const std::string& dataPath, const std::string& textPath) {
    TextWriter t;
    WriteAnimationText(animation, dataPath, textPath, t);
    return t.Take();
}

void WriteModelText(const VloModel& m, const std::string& dataPath, const std::string& textPath, const Timestamp& created,
                    TextWriter& t) {
    t.Str(kModelTextTitle).EndLine().EndLine();
    t.Printf("Created: [%02d/%02d/%04d %02d:%02d:%02d]\n\n", created.day, created.month, created.year, created.hour,
             created.minute, created.second);
    t.Printf("VLO File:  %s\n", dataPath.c_str());
    t.Printf("This File: %s\n\n", textPath.c_str());
    t.Printf("3DS Scale: 1m == %f (All positions will have been divided by this value)\n\n", double(m.text.worldScale));
    t.Printf("\n\nNumber of materials = %d\n", int(m.text.materials.size()));
    for (std::size_t i = 0; i < m.text.materials.size(); ++i) PrintMaterial(t, m.text.materials[i], int(i), -1);

    if (m.IsHierarchy()) {
        t.Printf("\nExporting hierarchy\n");
        PrintBoneList(t, m.bones);
    }
    PrintTexturesAndInfo(t, m);
    if (m.sound) {
        t.Printf("Sound File\n==========\n\n");
        t.Printf("   %.260s\n", m.sound->name);
    }
    PrintVertices(t, m.vertices);
    if (m.IsHierarchy()) PrintLinks(t, m);
    t.Lines(m.polygons.size(), [&m](TextWriter& out, std::size_t i) {
        const ModelPolygon& p = m.polygons[i];
        out.Str("Poly ").Int(int(i), 5).Str(": Texture Id = ").Int(p.textureId, 3).Str("; Verts: ").Int(p.verts[0], 6);
        out.Str(", ").Int(p.verts[1], 6).Str(", ").Int(p.verts[2], 6).EndLine();
    });
    if (m.bumpMap) {
        t.Printf("\nBump Maps\n========\n\n");
        t.Printf("   %d) %.260s\n", 0, m.bumpMap->name);
        t.Lines(m.tangents.size(), [&m](TextWriter& out, std::size_t i) {
            const TangentFrame& f = m.tangents[i];
            out.Str("Tangent ").Int(int(i), 3, '0').Str(": ").Fixed(f.tangent.x, 6).Str(", ").Fixed(f.tangent.y, 6);
            out.Str(", ").Fixed(f.tangent.z, 6).Str("; Binormal : ").Fixed(f.binormal.x, 6).Str(", ");
            out.Fixed(f.binormal.y, 6).Str(", ").Fixed(f.binormal.z, 6).EndLine();
        });
    }
    if (m.specularMap) {
        t.Printf("\nSpecular Maps\n========\n\n");
        t.Printf("   %d) %.260s\n", 0, m.specularMap->name);
    }
    if (!m.markers.empty()) {
        t.Printf("\nDummy Markers\n========\n\n");
        for (const MarkerRecord& r : m.markers) {
            t.Printf("   %.32s ", r.name);
            t.Printf("   %f, %f, %f\n", r.position.x, r.position.y, r.position.z);
        }
        t.Printf("\n\n");
    }
    PrintFlags(t, m.flags);
    t.Flush();
}

void WriteAnimationText(const VlaAnimation& a, const std::string& dataPath, const std::string& textPath, TextWriter& t) {
    t.Str(kAnimationTextTitle).EndLine().EndLine();
    t.Printf("VLA File:  %s\n", dataPath.c_str());
    t.Printf("This File: %s\n\n", textPath.c_str());
    PrintBoneList(t, a.text.bones);
    PrintHeaderAndFlags(t, a);
    t.Printf("\n\nRoot Pos\n");
    for (std::size_t k = 0; k < a.frames.size(); ++k) IndexedTriple(t, k, " - ", a.frames[k].rootPosition, 3);
    t.Printf("\n\nRoot Rot\n");
    for (std::size_t k = 0; k < a.frames.size(); ++k)
        t.Int(int(k), 3, '0').Str(" - ").Fixed(a.frames[k].rootRotation, 3).EndLine();
    t.Printf("\n\nMarkers\n\n");
    for (std::size_t m = 0; m < a.markers.size(); ++m) {
        const std::string name = m < a.text.markerNames.size() ? a.text.markerNames[m] : FieldText(a.markers[m].header.name);
        t.Printf("Marker: %s\n", name.c_str());
        for (std::size_t k = 0; k < a.markers[m].positions.size(); ++k)
            IndexedTriple(t, k, " - ", a.markers[m].positions[k], 3);
    }
    t.Printf("\n");
    t.Flush();
}

std::string ModelTextDifference(const VloModel& model, std::string_view text) {
    TextWriter t;
    PrintTexturesAndInfo(t, model);
    return SectionDifference(text, t.Text());
}

std::string AnimationTextDifference(const VlaAnimation& animation, std::string_view text) {
    TextWriter t;
    PrintHeaderAndFlags(t, animation);
    return SectionDifference(text, t.Text());
}

bool MayReplaceWithText(std::string_view start) {
    auto startsWith = [start](std::string_view title) { return start.substr(0, title.size()) == title; };
    return start.empty() || startsWith(kModelTextTitle) || startsWith(kAnimationTextTitle);
}

}  // namespace vlo
