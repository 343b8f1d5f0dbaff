#include "tools/vlo_diff.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "format/vla_reader.h"
#include "format/vlo_reader.h"
#include "tools/command_line.h"

namespace tools {
namespace {

using nlohmann::json;

double Delta(const vlo::Vec3& a, const vlo::Vec3& b) {
    return std::max({std::fabs(double(a.x) - b.x), std::fabs(double(a.y) - b.y), std::fabs(double(a.z) - b.z)});
}

// The angle between two rotations (q and -q the same), from the chord between them.
double Angle(const float (&a)[4], const float (&b)[4]) {
    double minus = 0, plus = 0;
    for (int i = 0; i < 4; ++i) {
        minus += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
        plus += (double(a[i]) + b[i]) * (double(a[i]) + b[i]);
    }
    return 4 * std::asin(std::min(1.0, std::sqrt(std::min(minus, plus)) / 2));
}

// The differences found, as lines for people and as JSON.
class Differences {
public:
    explicit Differences(double tolerance) : tolerance_(tolerance) {}
    // An exact property: counts, flags, names.
    template <class T>
    void Exact(const std::string& what, const T& a, const T& b) {
        if (a == b) return;
        std::ostringstream line;
        line << what << ": " << a << " -> " << b;
        Add(what, line.str(), json{{"a", a}, {"b", b}});
    }
    // The largest change of a kind of value, and where: reported when above the tolerance.
    void Largest(const std::string& what, double delta, const std::string& where) {
        if (!(delta > tolerance_)) return;
        std::ostringstream line;
        line << what << ": changed by up to " << delta << " (" << where << ")";
        Add(what, line.str(), json{{"largest", delta}, {"where", where}});
    }
    void Note(const std::string& what, const std::string& text) { Add(what, what + ": " + text, json{{"note", text}}); }
    bool Empty() const { return lines_.empty(); }
    const std::vector<std::string>& Lines() const { return lines_; }
    const json& Json() const { return json_; }

private:
    void Add(const std::string& what, const std::string& line, json detail) {
        lines_.push_back(line);
        detail["what"] = what;
        json_.push_back(detail);
    }
    double tolerance_;
    std::vector<std::string> lines_;
    json json_ = json::array();
};

template <std::size_t N>
std::string Name(const char (&field)[N]) {
    return vlo::FieldText(field);
}

std::vector<std::string> Names(const std::vector<vlo::TextureName>& names) {
    std::vector<std::string> out;
    for (const auto& n : names) out.push_back(Name(n.name));
    return out;
}

std::string Join(const std::vector<std::string>& names) {
    std::string out = "[";
    for (std::size_t i = 0; i < names.size(); ++i) out += (i ? ", " : "") + names[i];
    return out + "]";
}

std::string OptionalName(const std::optional<vlo::TextureName>& n) { return n ? Name(n->name) : "(none)"; }

// The largest change of one kind over equal-length lists; where names the index.
template <class T, class F>
void LargestOver(Differences& d, const std::string& what, const std::string& item, const std::vector<T>& a,
                 const std::vector<T>& b, F delta) {
    double largest = 0;
    std::size_t at = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (const double x = delta(a[i], b[i]); x > largest || std::isnan(x)) largest = std::isnan(x) ? INFINITY : x, at = i;
    d.Largest(what, largest, item + " " + std::to_string(at));
}

void CompareModels(const vlo::VloModel& a, const vlo::VloModel& b, Differences& d) {
    d.Exact("flags", a.flags, b.flags);
    d.Exact("vertices", a.vertices.size(), b.vertices.size());
    d.Exact("polygons", a.polygons.size(), b.polygons.size());
    d.Exact("textures", Join(Names(a.textures)), Join(Names(b.textures)));
    d.Exact("sound", OptionalName(a.sound), OptionalName(b.sound));
    d.Exact("bump map", OptionalName(a.bumpMap), OptionalName(b.bumpMap));
    d.Exact("specular map", OptionalName(a.specularMap), OptionalName(b.specularMap));
    std::vector<std::string> bonesA, bonesB, markersA, markersB;
    for (const auto& x : a.bones) bonesA.push_back(Name(x.name) + "<" + std::to_string(x.parentId));
    for (const auto& x : b.bones) bonesB.push_back(Name(x.name) + "<" + std::to_string(x.parentId));
    for (const auto& x : a.markers) markersA.push_back(Name(x.name));
    for (const auto& x : b.markers) markersB.push_back(Name(x.name));
    d.Exact("bones (name<parent)", Join(bonesA), Join(bonesB));
    d.Exact("markers", Join(markersA), Join(markersB));
    using V = vlo::ModelVertex;
    LargestOver(d, "vertex positions", "vertex", a.vertices, b.vertices, [](const V& x, const V& y) { return Delta(x.position, y.position); });
    LargestOver(d, "vertex normals", "vertex", a.vertices, b.vertices, [](const V& x, const V& y) { return Delta(x.normal, y.normal); });
    LargestOver(d, "texture coordinates", "vertex", a.vertices, b.vertices, [](const V& x, const V& y) {
        return std::max(std::fabs(double(x.u) - y.u), std::fabs(double(x.v) - y.v));
    });
    std::size_t polygons = 0, first = 0;
    for (std::size_t i = 0; i < std::min(a.polygons.size(), b.polygons.size()); ++i)
        if (!(a.polygons[i] == b.polygons[i]) && polygons++ == 0) first = i;
    if (polygons) d.Note("polygon records", std::to_string(polygons) + " differ, the first polygon " + std::to_string(first));
    using L = vlo::VertexLinks;
    LargestOver(d, "link weights", "vertex", a.links, b.links, [](const L& x, const L& y) {
        double m = 0;
        for (int k = 0; k < 4; ++k) m = std::max(m, std::fabs(double(x.weights[k]) - y.weights[k]));
        return m;
    });
    std::size_t links = 0;
    for (std::size_t i = 0; i < std::min(a.links.size(), b.links.size()); ++i) {
        bool same = a.links[i].numLinks == b.links[i].numLinks;
        for (int k = 0; k < std::min(4, a.links[i].numLinks) && same; ++k) same = a.links[i].boneIds[k] == b.links[i].boneIds[k];
        links += !same;
    }
    if (links) d.Note("link bones", std::to_string(links) + " vertices are linked to other bones");
    using B = vlo::BoneRecord;
    LargestOver(d, "bone offsets", "bone", a.bones, b.bones, [](const B& x, const B& y) {
        return std::max(Delta(x.offset, y.offset), Delta(x.position, y.position));
    });
    LargestOver(d, "bone rotations (radians)", "bone", a.bones, b.bones, [](const B& x, const B& y) { return Angle(x.rotation, y.rotation); });
    using M = vlo::MarkerRecord;
    LargestOver(d, "marker positions", "marker", a.markers, b.markers, [](const M& x, const M& y) { return Delta(x.position, y.position); });
    using T = vlo::TangentFrame;
    LargestOver(d, "tangent frames", "vertex", a.tangents, b.tangents, [](const T& x, const T& y) {
        return std::max(Delta(x.tangent, y.tangent), Delta(x.binormal, y.binormal));
    });
}

void CompareAnimations(const vlo::VlaAnimation& a, const vlo::VlaAnimation& b, Differences& d) {
    d.Exact("bones", a.header.numBones, b.header.numBones);
    d.Exact("frames", a.header.numFrames, b.header.numFrames);
    d.Exact("frame rate", a.header.frameRate, b.header.frameRate);
    std::vector<std::string> markersA, markersB;
    for (const auto& m : a.markers) markersA.push_back(Name(m.header.name));
    for (const auto& m : b.markers) markersB.push_back(Name(m.header.name));
    d.Exact("markers", Join(markersA), Join(markersB));
    const std::size_t frames = std::min(a.frames.size(), b.frames.size());
    std::string flagged;
    for (std::size_t k = 0; k < frames; ++k)
        if (a.frames[k].flags != b.frames[k].flags) flagged += (flagged.empty() ? "" : ", ") + std::to_string(k);
    if (!flagged.empty()) d.Note("key-frame flags", "differ at frames " + flagged);
    using F = vlo::VlaFrameHeader;
    LargestOver(d, "root positions", "frame", a.frames, b.frames, [](const F& x, const F& y) { return Delta(x.rootPosition, y.rootPosition); });
    LargestOver(d, "root rotations (radians)", "frame", a.frames, b.frames,
                [](const F& x, const F& y) { return std::fabs(double(x.rootRotation) - y.rootRotation); });
    if (a.header.numBones == b.header.numBones) {
        double largest = 0;
        std::size_t atFrame = 0, atBone = 0;
        for (std::size_t k = 0; k < frames; ++k)
            for (std::size_t i = 0; i < a.header.numBones; ++i) {
                const vlo::BoneKey& x = a.Key(k, i);
                const vlo::BoneKey& y = b.Key(k, i);
                const float qa[4] = {x.x, x.y, x.z, x.w}, qb[4] = {y.x, y.y, y.z, y.w};
                if (const double angle = Angle(qa, qb); angle > largest) largest = angle, atFrame = k, atBone = i;
            }
        d.Largest("bone keys (radians)", largest, "frame " + std::to_string(atFrame) + ", bone " + std::to_string(atBone));
    }
    for (std::size_t m = 0; m < std::min(a.markers.size(), b.markers.size()); ++m)
        LargestOver(d, "marker " + Name(a.markers[m].header.name) + " track", "frame", a.markers[m].positions,
                    b.markers[m].positions, [](const vlo::Vec3& x, const vlo::Vec3& y) { return Delta(x, y); });
}

}  // namespace

int RunVloDiff(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string first, second;
    double tolerance = 0;
    bool asJson = false;
    CLI::App app{"Compares two VLO models or two VLA animations by meaning: flags, counts, names, and the largest "
                 "change of every kind of value, with where it is.",
                 "vloinfo diff"};
    app.add_option("a", first, "The first file")->required();
    app.add_option("b", second, "The second file")->required();
    app.add_option("--tolerance", tolerance, "Changes of values up to this much count as none (default 0)")
        ->check(CLI::NonNegativeNumber);
    app.add_flag("--json", asJson, "Print JSON");
    app.footer("Example:\n  vloinfo diff old/flagpin.VLO build/flagpin.VLO --tolerance 1e-5\n\n"
               "Exit status: 0 the same within the tolerance; 1 they differ; 2 bad usage or a file that cannot be "
               "read or is not valid.");
    if (const auto status = ParseCommandLine(app, args, out, err)) return *status;
    std::vector<std::uint8_t> bytes[2];
    for (int i = 0; i < 2; ++i) {
        std::string error;
        if (!vlo::ReadFileBytes(i ? second : first, bytes[i], error)) {
            err << "error: " << error << "\n";
            return 2;
        }
    }
    Differences d(tolerance);
    const bool animation = vlo::LooksLikeVla(bytes[0]);
    if (animation != vlo::LooksLikeVla(bytes[1])) {
        err << "error: " << first << " and " << second << " are not both models or both animations\n";
        return 2;
    }
    if (animation) {
        const vlo::VlaReadResult a = vlo::ReadVla(bytes[0]), b = vlo::ReadVla(bytes[1]);
        for (const auto* r : {&a, &b})
            if (!r->Valid()) {
                err << "error: " << (r == &a ? first : second) << " is not a valid animation: " << r->findings.front().text << "\n";
                return 2;
            }
        CompareAnimations(a.animation, b.animation, d);
    } else {
        const vlo::VloReadResult a = vlo::ReadVlo(bytes[0]), b = vlo::ReadVlo(bytes[1]);
        for (const auto* r : {&a, &b})
            if (!r->Valid()) {
                err << "error: " << (r == &a ? first : second) << " is not a valid model: " << r->findings.front().text << "\n";
                return 2;
            }
        CompareModels(a.model, b.model, d);
    }
    if (asJson) {
        out << json{{"a", first}, {"b", second}, {"tolerance", tolerance}, {"same", d.Empty()}, {"differences", d.Json()}}.dump(2)
            << "\n";
    } else if (d.Empty()) {
        out << first << " and " << second << ": no differences" << (tolerance > 0 ? " beyond the tolerance" : "") << "\n";
    } else {
        out << first << " -> " << second << ":\n";
        for (const std::string& line : d.Lines()) out << "  " << line << "\n";
    }
    return d.Empty() ? 0 : 1;
}

}  // namespace tools
