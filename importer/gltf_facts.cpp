#include "importer/gltf_facts.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

#include "format/vlo_reader.h"
#include "importer/gltf_accessors.h"

namespace importer {

std::string GltfJson(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char header[20] = {};
    if (!in.read(header, sizeof header) || std::memcmp(header, "glTF", 4) != 0) {
        std::vector<std::uint8_t> bytes;
        std::string error;
        vlo::ReadFileBytes(path, bytes, error);
        return std::string(bytes.begin(), bytes.end());
    }
    std::uint32_t length = 0;
    std::memcpy(&length, header + 12, 4);
    std::string json(std::min<std::uint32_t>(length, 1u << 30), '\0');
    in.read(json.data(), std::streamsize(json.size()));
    json.resize(std::size_t(in.gcount()));
    return json;
}

std::string GltfUriPath(const std::string& uri) {
    auto hex = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string path;
    path.reserve(uri.size());
    for (std::size_t i = 0; i < uri.size(); ++i) {
        const int high = uri[i] == '%' && i + 2 < uri.size() ? hex(uri[i + 1]) : -1;
        const int low = high >= 0 ? hex(uri[i + 2]) : -1;
        const int byte = high * 16 + low;
        if (low >= 0 && byte >= 0x20 && byte != 0x7f) {
            path += char(byte);
            i += 2;
        } else {
            path += uri[i];
        }
    }
    return path;
}

namespace {

using nlohmann::json;

GltfInterpolation InterpolationOf(const json& sampler) {
    const auto it = sampler.find("interpolation");
    if (it == sampler.end() || !it->is_string()) return GltfInterpolation::Linear;  // the format's default
    if (*it == "STEP") return GltfInterpolation::Step;
    if (*it == "CUBICSPLINE") return GltfInterpolation::CubicSpline;
    return GltfInterpolation::Linear;
}

// The first number of an accessor's "min" or "max".
std::optional<double> Bound(const json& accessor, const char* which) {
    const auto it = accessor.find(which);
    if (it == accessor.end() || !it->is_array() || it->empty() || !(*it)[0].is_number()) return std::nullopt;
    return (*it)[0].get<double>();
}

GltfAnimationFacts FactsOf(const json& doc, const json& animation) {
    GltfAnimationFacts facts;
    const auto samplers = animation.find("samplers");
    const auto channels = animation.find("channels");
    if (samplers == animation.end() || !samplers->is_array() || channels == animation.end() || !channels->is_array())
        return facts;
    std::optional<std::pair<double, double>> span;
    bool stated = true;
    for (const json& sampler : *samplers) {
        const json* input = sampler.is_object() && sampler.contains("input") ? GltfElement(doc, "accessors", sampler["input"]) : nullptr;
        const auto first = input ? Bound(*input, "min") : std::nullopt, last = input ? Bound(*input, "max") : std::nullopt;
        if (!first || !last) {
            stated = false;
            continue;
        }
        span = span ? std::pair{std::min(span->first, *first), std::max(span->second, *last)} : std::pair{*first, *last};
    }
    if (stated) facts.span = span;
    for (const json& channel : *channels) {
        if (!channel.is_object() || !channel.contains("target") || !channel["target"].is_object()) continue;
        const json& target = channel["target"];
        const json* sampler = channel.contains("sampler") && channel["sampler"].is_number_unsigned() &&
                                      channel["sampler"].get<std::size_t>() < samplers->size()
                                  ? &(*samplers)[channel["sampler"].get<std::size_t>()]
                                  : nullptr;
        const json* node = target.contains("node") ? GltfElement(doc, "nodes", target["node"]) : nullptr;
        if (!sampler || !sampler->is_object() || !node || !target.contains("path") || !target["path"].is_string()) continue;
        const auto name = node->find("name");
        const std::string key = name != node->end() && name->is_string() && !name->get<std::string>().empty()
                                    ? name->get<std::string>()
                                    : "nodes[" + std::to_string(target["node"].get<std::size_t>()) + "]";
        GltfNodeChannels& modes = facts.nodes[key];
        const std::string path = target["path"];
        const GltfInterpolation mode = InterpolationOf(*sampler);
        if (path == "translation") modes.translation = mode;
        if (path == "rotation") modes.rotation = mode;
        if (path == "scale") modes.scale = mode;
    }
    return facts;
}

// A number of a JSON array at index, or fallback when it is not one (or not finite).
double NumberAt(const json& array, std::size_t index, double fallback) {
    if (!array.is_array() || index >= array.size() || !array[index].is_number()) return fallback;
    const double value = array[index].get<double>();
    return std::isfinite(value) ? value : fallback;
}

// How a textureInfo places its texture: the transform (when it has one) and the UV map.
std::pair<std::optional<GltfUvTransform>, unsigned> PlacementOf(const json& info) {
    unsigned uvMap = info.contains("texCoord") && info["texCoord"].is_number_unsigned() ? info["texCoord"].get<unsigned>() : 0;
    const auto extensions = info.find("extensions");
    if (extensions == info.end() || !extensions->is_object() || !extensions->contains("KHR_texture_transform"))
        return {std::nullopt, uvMap};
    const json& ext = (*extensions)["KHR_texture_transform"];
    if (!ext.is_object()) return {std::nullopt, uvMap};
    GltfUvTransform t;
    const json none;
    const json& offset = ext.contains("offset") ? ext["offset"] : none;
    const json& scale = ext.contains("scale") ? ext["scale"] : none;
    t.offsetU = NumberAt(offset, 0, 0);
    t.offsetV = NumberAt(offset, 1, 0);
    t.scaleU = NumberAt(scale, 0, 1);
    t.scaleV = NumberAt(scale, 1, 1);
    t.rotation = ext.contains("rotation") && ext["rotation"].is_number() && std::isfinite(ext["rotation"].get<double>())
                     ? ext["rotation"].get<double>()
                     : 0;
    if (ext.contains("texCoord") && ext["texCoord"].is_number_unsigned()) uvMap = ext["texCoord"].get<unsigned>();
    return {t, uvMap};
}

GltfMaterialUvs UvsOf(const json& material) {
    GltfMaterialUvs uvs;
    const json none;
    const auto pbr = material.find("pbrMetallicRoughness");
    const json& base = pbr != material.end() && pbr->is_object() && pbr->contains("baseColorTexture") ? (*pbr)["baseColorTexture"] : none;
    if (base.is_object()) std::tie(uvs.baseColor, uvs.baseColorUvMap) = PlacementOf(base);
    const auto normal = material.find("normalTexture");
    if (normal != material.end() && normal->is_object()) {
        const auto [transform, uvMap] = PlacementOf(*normal);
        // No transform places a texture as the identity one does.
        uvs.normalPlacedOtherwise =
            uvMap != uvs.baseColorUvMap || transform.value_or(GltfUvTransform{}) != uvs.baseColor.value_or(GltfUvTransform{});
    }
    return uvs;
}

}  // namespace

GltfFacts ReadGltfFacts(const std::string& text) {
    GltfFacts facts;
    json doc;
    try {
        doc = json::parse(text);
    } catch (const json::exception& e) {
        // "[json.exception.parse_error.101] parse error at line 1, ...; last read: '...'" (or
        // "[json.exception.out_of_range.406] number overflow parsing '1e400'"): the part between the
        // tag and the text last read, which may be long or no text at all.
        std::string what = e.what();
        what = what.substr(0, what.find("; last read:"));
        facts.jsonError = what.substr(what.find("] ") == std::string::npos ? 0 : what.find("] ") + 2);
        return facts;
    }
    if (!doc.is_object()) {
        facts.jsonError = "it is no JSON object";
        return facts;
    }
    if (doc.contains("animations") && doc["animations"].is_array())
        for (const json& animation : doc["animations"])
            facts.animations.push_back(animation.is_object() ? FactsOf(doc, animation) : GltfAnimationFacts{});
    if (doc.contains("materials") && doc["materials"].is_array())
        for (const json& material : doc["materials"])
            facts.materials.push_back(material.is_object() ? UvsOf(material) : GltfMaterialUvs{});
    for (const char* list : {"buffers", "images"})
        if (doc.contains(list) && doc[list].is_array())
            for (const json& entry : doc[list])
                if (entry.is_object() && entry.contains("uri") && entry["uri"].is_string()) {
                    const std::string& uri = entry["uri"].get_ref<const std::string&>();
                    if (uri.rfind("data:", 0) != 0) facts.files.push_back(GltfUriPath(uri));
                }
    facts.unreadableExtensions = UnreadableRequiredExtensions(doc);
    facts.assimpNeedsACopy = AssimpNeedsACopy(doc);
    return facts;
}

}  // namespace importer
