#include "preview/sheets.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>

namespace preview {
namespace {

using vlo::Vec3;

Vec3 Add(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 Sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Mul(const Vec3& a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Cross(const Vec3& a, const Vec3& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
Vec3 Unit(const Vec3& a) {
    const float len = std::sqrt(Dot(a, a));
    return len > 0 ? Mul(a, 1 / len) : a;
}

// Quaternions as the files store them in the game's axes: the usual ones (x, y, z, w).
struct Quat {
    float x = 0, y = 0, z = 0, w = 1;
};
Quat Times(const Quat& a, const Quat& b) {
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}
Quat Conjugate(const Quat& q) { return {-q.x, -q.y, -q.z, q.w}; }
Vec3 Rotate(const Quat& q, const Vec3& v) {
    const Vec3 u{q.x, q.y, q.z};
    const Vec3 t = Mul(Cross(u, v), 2);
    return Add(Add(v, Mul(t, q.w)), Cross(u, t));
}
Quat Normalized(Quat q) {
    const float len = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    return len > 0 ? Quat{q.x / len, q.y / len, q.z / len, q.w / len} : Quat{};
}

struct Bounds {
    Vec3 lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
    void Add(const Vec3& p) {
        if (!vlo::IsFinite(p)) return;
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    bool Empty() const { return lo.x > hi.x; }
    Vec3 Centre() const { return Empty() ? Vec3{} : Mul(preview::Add(lo, hi), 0.5f); }
    Vec3 Size() const { return Empty() ? Vec3{} : Sub(hi, lo); }
};

constexpr Rgba kBackground{236, 238, 242, 255}, kPanel{250, 250, 252, 255}, kInk{30, 34, 40, 255};
constexpr Rgba kBone{255, 150, 0, 255}, kBoneEdge{60, 30, 0, 255}, kMarker{200, 0, 200, 255};

// A view of the points' bounds fitted into rect: orthographic along the given axes, or perspective
// from three-quarters in front, to the right and above.
View Fit(const std::string& name, const Rect& rect, Vec3 right, Vec3 up, Vec3 forward, bool perspective, const Bounds& b) {
    View v;
    v.name = name;
    v.rect = rect;
    v.right = Unit(right), v.up = Unit(up), v.forward = Unit(forward);
    v.target = b.Centre();
    const Vec3 size = b.Size();
    const float margin = 36;
    if (!perspective) {
        const float across = std::fabs(size.x * v.right.x) + std::fabs(size.y * v.right.y) + std::fabs(size.z * v.right.z);
        const float tall = std::fabs(size.x * v.up.x) + std::fabs(size.y * v.up.y) + std::fabs(size.z * v.up.z);
        v.scale = std::min((float(rect.width) - 2 * margin) / std::max(across, 1e-6f),
                           (float(rect.height) - 2 * margin) / std::max(tall, 1e-6f));
    } else {
        v.perspective = true;
        const float radius = std::max(0.5f * std::sqrt(Dot(size, size)), 1e-6f);
        const float halfAngle = 0.35f;  // about 40 degrees across
        v.distance = radius / std::sin(halfAngle) * 1.05f;
        v.focal = (0.5f * float(std::min(rect.width, rect.height)) - margin / 2) / std::tan(halfAngle);
    }
    return v;
}

View ThreeQuarter(const Rect& rect, const Bounds& b) {
    const Vec3 forward = Unit({-1, -0.8f, 1});  // from front (-z), right (+x) and above (+y)
    const Vec3 right = Unit(Cross({0, 1, 0}, forward));
    const Vec3 up = Cross(forward, right);
    return Fit("three-quarter", rect, right, up, forward, true, b);
}

float Shade(const View& v, const Vec3& normal) { return 0.35f + 0.65f * std::max(0.0f, -Dot(Unit(normal), v.forward)); }

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// A round length (1, 2 or 5 times a power of ten) near target.
double NiceLength(double target) {
    const double power = std::pow(10.0, std::floor(std::log10(target)));
    for (double step : {5.0, 2.0, 1.0})
        if (step * power <= target) return step * power;
    return power;
}

void ScaleBar(Raster& r, const View& v) {
    if (v.perspective || !(v.scale > 0)) return;
    const double pixelsPerMetre = v.scale;
    const double metres = NiceLength(float(v.rect.width) * 0.25 / pixelsPerMetre);
    const float length = float(metres * pixelsPerMetre);
    const float x = float(v.rect.x + 14), y = float(v.rect.y + v.rect.height - 16);
    r.Line(x, y, x + length, y, kInk, 3, v.rect);
    r.Line(x, y - 5, x, y + 4, kInk, 2, v.rect);
    r.Line(x + length, y - 5, x + length, y + 4, kInk, 2, v.rect);
    r.Text(int(x + length + 8), int(y - 6), (metres < 1 ? Format("%g", metres * 100) + " cm" : Format("%g", metres) + " m"), kInk, 2);
}

void Label(Raster& r, const View& v) { r.Text(v.rect.x + 10, v.rect.y + 8, v.name, kInk, 2); }

// The model's triangles in the view, textured where the image was found.
void DrawMesh(Raster& r, const View& v, const std::vector<vlo::ModelVertex>& vertices,
              const std::vector<vlo::ModelPolygon>& polygons, const std::map<int, Image>& images) {
    for (const vlo::ModelPolygon& p : polygons) {
        ScreenVertex corners[3];
        bool ok = true;
        for (int k = 0; k < 3; ++k) {
            if (p.verts[k] >= vertices.size()) {
                ok = false;
                break;
            }
            const vlo::ModelVertex& vertex = vertices[p.verts[k]];
            corners[k] = v.Project(vertex.position);
            ok &= std::isfinite(corners[k].x) && std::isfinite(corners[k].y) && corners[k].invW > 0;
            corners[k].u = vertex.u;
            corners[k].v = vertex.v;
            corners[k].shade = Shade(v, vertex.normal);
        }
        if (!ok) continue;
        Fill fill;
        fill.colour = TextureColour(p.textureId);
        if (const auto it = images.find(p.textureId); it != images.end()) fill.texture = &it->second;
        r.Triangle(corners, fill, v.rect);
    }
}

void DrawBones(Raster& r, const View& v, const std::vector<vlo::BoneRecord>& bones, const std::vector<Vec3>& joints) {
    for (std::size_t i = 0; i < bones.size() && i < joints.size(); ++i) {
        const int parent = bones[i].parentId;
        if (parent < 0 || std::size_t(parent) >= joints.size()) continue;
        const ScreenVertex a = v.Project(joints[std::size_t(parent)]), b = v.Project(joints[i]);
        r.Line(a.x, a.y, b.x, b.y, kBoneEdge, 5, v.rect);
        r.Line(a.x, a.y, b.x, b.y, kBone, 3, v.rect);
    }
    for (const Vec3& j : joints) {
        const ScreenVertex p = v.Project(j);
        r.Dot(p.x, p.y, 4.5f, kBoneEdge, v.rect);
        r.Dot(p.x, p.y, 3, kBone, v.rect);
    }
}

}  // namespace

ScreenVertex View::Project(const Vec3& p) const {
    ScreenVertex s;
    const float cx = float(rect.x) + float(rect.width) / 2, cy = float(rect.y) + float(rect.height) / 2;
    if (!perspective) {
        const Vec3 rel = Sub(p, target);
        s.x = cx + Dot(rel, right) * scale;
        s.y = cy - Dot(rel, up) * scale;
        s.depth = Dot(rel, forward);
        return s;
    }
    const Vec3 rel = Sub(p, Sub(target, Mul(forward, distance)));
    const float z = Dot(rel, forward);
    s.invW = z > 1e-6f ? 1 / z : 0;
    s.x = cx + focal * Dot(rel, right) * s.invW;
    s.y = cy - focal * Dot(rel, up) * s.invW;
    s.depth = z;
    return s;
}

Rgba TextureColour(int textureId) {
    static const Rgba kPalette[] = {{86, 156, 214, 255}, {214, 140, 60, 255}, {110, 180, 90, 255}, {200, 90, 120, 255},
                                    {150, 120, 210, 255}, {90, 190, 190, 255}, {200, 190, 80, 255}, {150, 110, 80, 255}};
    if (textureId < 0) return {196, 198, 204, 255};
    return kPalette[std::size_t(textureId) % std::size(kPalette)];
}

ModelSheet DrawModelSheet(const vlo::VloModel& m, const ModelSheetOptions& o) {
    ModelSheet sheet;
    sheet.image = Image(1200, 960, kBackground);
    Raster r(sheet.image);
    Bounds b;
    for (const vlo::ModelVertex& v : m.vertices) b.Add(v.position);
    for (const vlo::MarkerRecord& mk : m.markers) b.Add(mk.position);
    for (const vlo::BoneRecord& bone : m.bones) b.Add(bone.position);
    if (b.Empty()) b.Add({0, 0, 0});

    std::map<int, Image> images;
    for (std::size_t t = 0; t < m.textures.size() && !o.textureFolder.empty(); ++t) {
        const std::string file = vlo::FileNamePart(vlo::FieldText(m.textures[t].name));
        if (file.empty()) continue;
        if (auto image = ReadImage((std::filesystem::path(o.textureFolder) / file).string())) {
            images.emplace(int(t), std::move(*image));
            sheet.texturesFound.push_back(file);
        }
    }
    const Rect panels[4] = {{10, 44, 585, 400}, {605, 44, 585, 400}, {10, 454, 585, 400}, {605, 454, 585, 400}};
    sheet.views = {Fit("front", panels[0], {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, false, b),
                   Fit("side", panels[1], {0, 0, 1}, {0, 1, 0}, {-1, 0, 0}, false, b),
                   Fit("top", panels[2], {1, 0, 0}, {0, 0, 1}, {0, -1, 0}, false, b), ThreeQuarter(panels[3], b)};
    std::vector<Vec3> joints;
    for (const vlo::BoneRecord& bone : m.bones) joints.push_back(bone.position);
    for (const View& v : sheet.views) {
        r.FillRect(v.rect, kPanel);
        r.ClearDepth(v.rect);
        DrawMesh(r, v, m.vertices, m.polygons, images);
        DrawBones(r, v, m.bones, joints);
        for (const vlo::MarkerRecord& mk : m.markers) {
            const ScreenVertex p = v.Project(mk.position);
            r.Cross(p.x, p.y, 6, kMarker, v.rect);
            r.Text(int(p.x) + 9, int(p.y) - 3, vlo::FieldText(mk.name), kMarker, 1);
        }
        ScaleBar(r, v);
        Label(r, v);
    }
    sheet.backPixels = r.BackPixels();

    r.Text(12, 12, o.title, kInk, 2);
    const Vec3 size = b.Size();
    std::string line = "size " + Format("%.3g", size.x) + " x " + Format("%.3g", size.y) + " x " + Format("%.3g", size.z) +
                       " m (x, y up, z)   " + std::to_string(m.vertices.size()) + " vertices, " +
                       std::to_string(m.polygons.size()) + " polygons";
    if (!m.bones.empty()) line += ", " + std::to_string(m.bones.size()) + " bones";
    if (sheet.backPixels) line += "   red stripes: triangles seen from behind";
    r.Text(12, 868, line, kInk, 2);
    int x = 12;
    for (int t = -1; t < int(m.textures.size()); ++t) {
        if (t == -1 && std::none_of(m.polygons.begin(), m.polygons.end(), [](const auto& p) { return p.textureId == -1; }))
            continue;
        r.FillRect({x, 898, 18, 18}, TextureColour(t));
        const std::string name = t < 0 ? "no texture" : vlo::FieldText(m.textures[std::size_t(t)].name) +
                                                            (images.count(t) ? "" : " (not found)");
        x += 24 + r.Text(x + 24, 902, name, kInk, 1) + 16;
    }
    return sheet;
}

AnimationSheet DrawAnimationSheet(const vlo::VlaAnimation& a, const AnimationSheetOptions& o) {
    AnimationSheet sheet;
    const std::vector<vlo::BoneRecord>* bones = o.model ? &o.model->bones : o.bones;
    const bool posable = bones && bones->size() == a.header.numBones && !a.frames.empty();
    const std::size_t frames = a.frames.size();

    // Evenly spaced frames and every key frame, at most 16 panels.
    std::vector<int> chosen;
    for (std::size_t k = 0; k < frames; ++k)
        if (a.frames[k].flags) chosen.push_back(int(k));
    const int spaced = std::max(2, std::min(o.poses, 16 - int(chosen.size())));
    for (int i = 0; i < spaced && frames; ++i) chosen.push_back(int(std::lround(double(i) * double(frames - 1) / (spaced - 1))));
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    if (chosen.size() > 16) chosen.resize(16);
    sheet.frames = chosen;

    // Each chosen frame's pose: bones from the root at the origin, rotations from the keys.
    const bool skinned = o.model && o.model->IsHierarchy() && o.model->links.size() == o.model->vertices.size();
    std::vector<std::vector<Vec3>> meshes;
    Bounds b;
    for (int k : chosen) {
        std::vector<Vec3> joints(posable ? bones->size() : 0);
        std::vector<Quat> turns(joints.size());
        for (std::size_t i = 0; i < joints.size(); ++i) {
            const vlo::BoneKey& key = a.Key(std::size_t(k), i);
            const Quat local = Normalized({key.x, key.y, key.z, key.w});
            const int parent = (*bones)[i].parentId;
            if (parent < 0 || std::size_t(parent) >= i) {
                turns[i] = local;
                joints[i] = {0, 0, 0};
            } else {
                turns[i] = Times(turns[std::size_t(parent)], local);
                joints[i] = Add(joints[std::size_t(parent)], Rotate(turns[std::size_t(parent)], (*bones)[i].offset));
            }
            b.Add(joints[i]);
        }
        std::vector<Vec3> mesh;
        if (skinned && posable) {
            // Each vertex moved with its bones: from the bind pose into each bone's frame, then out of
            // its posed frame, weighted.
            for (std::size_t v = 0; v < o.model->vertices.size(); ++v) {
                const vlo::VertexLinks& l = o.model->links[v];
                Vec3 sum{};
                float total = 0;
                for (int n = 0; n < std::min(l.numLinks, 4); ++n) {
                    const std::size_t id = l.boneIds[n];
                    if (id >= joints.size()) continue;
                    const vlo::BoneRecord& bind = (*bones)[id];
                    const Quat bindTurn = Normalized({bind.rotation[0], bind.rotation[1], bind.rotation[2], bind.rotation[3]});
                    const Vec3 inBone = Rotate(Conjugate(bindTurn), Sub(o.model->vertices[v].position, bind.position));
                    sum = Add(sum, Mul(Add(Rotate(turns[id], inBone), joints[id]), l.weights[n]));
                    total += l.weights[n];
                }
                mesh.push_back(total > 0 ? Mul(sum, 1 / total) : o.model->vertices[v].position);
                b.Add(mesh.back());
            }
        }
        sheet.joints.push_back(std::move(joints));
        meshes.push_back(std::move(mesh));
    }
    if (b.Empty()) b.Add({0, 0, 0});

    const int columns = 4, panelWidth = 292, panelHeight = 250;
    const int rows = int((chosen.size() + columns - 1) / columns);
    const int plotTop = 44 + std::max(rows, posable ? 1 : 0) * (panelHeight + 8) + 8;
    sheet.image = Image(1200, plotTop + 320, kBackground);
    Raster r(sheet.image);
    r.Text(12, 12, o.title, kInk, 2);
    if (posable) {
        for (std::size_t i = 0; i < chosen.size(); ++i) {
            const Rect rect{10 + int(i % columns) * (panelWidth + 4), 44 + int(i / columns) * (panelHeight + 8), panelWidth, panelHeight};
            View v = ThreeQuarter(rect, b);
            r.FillRect(rect, kPanel);
            r.ClearDepth(rect);
            if (!meshes[i].empty()) {
                std::vector<vlo::ModelVertex> posed = o.model->vertices;
                for (std::size_t n = 0; n < posed.size(); ++n) posed[n].position = meshes[i][n];
                DrawMesh(r, v, posed, o.model->polygons, {});
            }
            DrawBones(r, v, *bones, sheet.joints[i]);
            const std::uint32_t flags = a.frames[std::size_t(chosen[i])].flags;
            r.Text(rect.x + 8, rect.y + 8, "frame " + std::to_string(chosen[i]), kInk, 2);
            int line = rect.y + 30;
            for (int slot = 0; slot < vlo::kNumKeyFrameSlots; ++slot)
                if (flags & vlo::KeyFrameBit(slot)) {
                    r.Text(rect.x + 8, line, vlo::kKeyFrameNames[slot], {190, 20, 20, 255}, 1);
                    line += 10;
                }
            sheet.views.push_back(v);
        }
    } else {
        r.Text(12, 50, bones ? "the model's bones do not pair with the animation's: only the root track is drawn"
                             : "no skeleton given (vloinfo ANIM.VLA --model MODEL.VLO): only the root track is drawn",
               kInk, 2);
    }

    // The root track: its path on the ground (x across, z up the picture) and its turn over time.
    const Rect path{10, plotTop, 585, 300}, turn{605, plotTop, 585, 300};
    r.FillRect(path, kPanel);
    r.FillRect(turn, kPanel);
    Bounds ground;
    for (const vlo::VlaFrameHeader& f : a.frames) ground.Add({f.rootPosition.x, 0, f.rootPosition.z});
    if (ground.Empty()) ground.Add({0, 0, 0});
    // At least a metre across, so that a root that hardly moves is drawn at a readable scale.
    const Vec3 middle = ground.Centre();
    ground.Add({middle.x - 0.5f, 0, middle.z - 0.5f});
    ground.Add({middle.x + 0.5f, 0, middle.z + 0.5f});
    const View top = Fit("root on the ground (x across, z up)", path, {1, 0, 0}, {0, 0, 1}, {0, -1, 0}, false, ground);
    for (std::size_t k = 1; k < frames; ++k) {
        const ScreenVertex p = top.Project({a.frames[k - 1].rootPosition.x, 0, a.frames[k - 1].rootPosition.z});
        const ScreenVertex q = top.Project({a.frames[k].rootPosition.x, 0, a.frames[k].rootPosition.z});
        r.Line(p.x, p.y, q.x, q.y, {40, 100, 200, 255}, 2, path);
    }
    const float plotLeft = float(turn.x + 40), plotWidth = float(turn.width - 60), plotBottom = float(turn.y + turn.height - 30);
    const float plotHeight = float(turn.height - 70);
    auto turnAt = [&](std::size_t k) {
        const float x = plotLeft + (frames > 1 ? plotWidth * float(k) / float(frames - 1) : 0);
        return std::pair{x, plotBottom - plotHeight * a.frames[k].rootRotation / 6.2831855f};
    };
    r.Line(plotLeft, plotBottom, plotLeft + plotWidth, plotBottom, kInk, 1, turn);
    r.Line(plotLeft, plotBottom, plotLeft, plotBottom - plotHeight, kInk, 1, turn);
    r.Text(int(plotLeft) - 30, int(plotBottom - plotHeight) - 4, "360", kInk, 1);
    r.Text(int(plotLeft) - 12, int(plotBottom) - 4, "0", kInk, 1);
    r.Text(int(plotLeft), int(plotBottom) + 8, "frame 0", kInk, 1);
    r.Text(int(plotLeft + plotWidth) - 40, int(plotBottom) + 8, "frame " + std::to_string(frames ? frames - 1 : 0), kInk, 1);
    for (std::size_t k = 1; k < frames; ++k) {
        const auto [x0, y0] = turnAt(k - 1);
        const auto [x1, y1] = turnAt(k);
        if (std::fabs(y1 - y0) < plotHeight / 2) r.Line(x0, y0, x1, y1, {40, 100, 200, 255}, 2, turn);  // no line across a wrap
    }
    for (std::size_t k = 0; k < frames; ++k) {
        if (!a.frames[k].flags) continue;
        const auto [x, y] = turnAt(k);
        r.Line(x, plotBottom, x, plotBottom - plotHeight, {190, 20, 20, 120}, 1, turn);
        r.Dot(x, y, 4, {190, 20, 20, 255}, turn);
        const ScreenVertex g = top.Project({a.frames[k].rootPosition.x, 0, a.frames[k].rootPosition.z});
        r.Dot(g.x, g.y, 4, {190, 20, 20, 255}, path);
        r.Text(int(g.x) + 6, int(g.y) - 3, std::to_string(k), {190, 20, 20, 255}, 1);
    }
    if (frames) {
        const ScreenVertex start = top.Project({a.frames[0].rootPosition.x, 0, a.frames[0].rootPosition.z});
        r.Dot(start.x, start.y, 5, kInk, path);
    }
    ScaleBar(r, top);
    Label(r, top);
    r.Text(turn.x + 10, turn.y + 8, "root turn (degrees) by frame; key frames in red", kInk, 2);
    return sheet;
}

}  // namespace preview
