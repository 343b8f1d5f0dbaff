#include "importer/gltf_accessors.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>

#include "format/vlo_reader.h"
#include "importer/gltf_facts.h"

namespace importer {

using nlohmann::json;

const json* GltfElement(const json& doc, const char* list, const json& index) {
    const auto it = doc.find(list);
    if (it == doc.end() || !it->is_array() || !index.is_number_unsigned()) return nullptr;
    const auto i = index.get<std::size_t>();
    return i < it->size() && (*it)[i].is_object() ? &(*it)[i] : nullptr;
}

namespace {

constexpr int kFloat = 5126;

// A whole number member of an object, or 0 when it has none (or not a whole number >= 0).
std::size_t Count(const json& object, const char* name) {
    const auto it = object.find(name);
    return it != object.end() && it->is_number_unsigned() ? it->get<std::size_t>() : 0;
}

// An integer member of an object, or 0 when it has none.
int Integer(const json& object, const char* name) {
    const auto it = object.find(name);
    return it != object.end() && it->is_number_integer() ? it->get<int>() : 0;
}

bool Misread(const json& accessor) {
    const auto type = accessor.find("componentType");
    return (type != accessor.end() && type->is_number_integer() && type->get<int>() != kFloat) || accessor.contains("sparse");
}

// An object's member that is an array, or an empty array.
const json& ArrayIn(const json& object, const char* name) {
    static const json none = json::array();
    const auto it = object.is_object() ? object.find(name) : object.end();
    return it != object.end() && it->is_array() ? *it : none;
}

}  // namespace

std::vector<std::size_t> AccessorsAssimpMisreads(const json& doc) {
    std::set<std::size_t> found;
    auto note = [&](const json& index) {
        if (const json* accessor = GltfElement(doc, "accessors", index); accessor && Misread(*accessor))
            found.insert(index.get<std::size_t>());
    };
    // A primitive's attributes, or one of its shape keys: every one but the joint indices, which
    // assimp reads as the integers they are.
    auto noteAttributes = [&](const json& attributes) {
        if (!attributes.is_object()) return;
        for (const auto& [name, index] : attributes.items())
            if (name.rfind("JOINTS_", 0) != 0) note(index);
    };
    for (const json& mesh : ArrayIn(doc, "meshes"))
        for (const json& primitive : ArrayIn(mesh, "primitives")) {
            if (primitive.is_object() && primitive.contains("attributes")) noteAttributes(primitive["attributes"]);
            for (const json& target : ArrayIn(primitive, "targets")) noteAttributes(target);
        }
    for (const json& animation : ArrayIn(doc, "animations"))
        for (const json& sampler : ArrayIn(animation, "samplers"))
            if (sampler.is_object() && sampler.contains("output")) note(sampler["output"]);
    return {found.begin(), found.end()};
}

namespace {

// The joint count of each skin without inverse bind matrices, by skin index.
std::vector<std::pair<std::size_t, std::size_t>> SkinsWithoutInverseBinds(const json& doc) {
    std::vector<std::pair<std::size_t, std::size_t>> skins;
    const json& list = ArrayIn(doc, "skins");
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i].is_object() && !list[i].contains("inverseBindMatrices")) skins.emplace_back(i, ArrayIn(list[i], "joints").size());
    return skins;
}

// The index accessors of Draco-compressed primitives that state 32-bit indices for at most 65,536
// vertices: assimp's reader drops the decoded indices when their size is the decoder's own (32 bits)
// and refuses the mesh, but converts them to 16 bits, which such a mesh's indices fit.
std::vector<std::size_t> DracoIndicesToNarrow(const json& doc) {
    std::set<std::size_t> found;
    for (const json& mesh : ArrayIn(doc, "meshes"))
        for (const json& primitive : ArrayIn(mesh, "primitives")) {
            const json none = json::object();
            const json& extensions = primitive.is_object() ? primitive.value("extensions", none) : none;
            const json& attributes = primitive.is_object() ? primitive.value("attributes", none) : none;
            if (!extensions.is_object() || !extensions.contains("KHR_draco_mesh_compression") || !attributes.is_object() ||
                !primitive.contains("indices") || !attributes.contains("POSITION"))
                continue;
            const json* indices = GltfElement(doc, "accessors", primitive["indices"]);
            const json* positions = GltfElement(doc, "accessors", attributes["POSITION"]);
            if (indices && positions && !indices->contains("bufferView") && Integer(*indices, "componentType") == 5125 &&
                positions->value("count", json()).is_number_unsigned() && Count(*positions, "count") <= 65536)
                found.insert(primitive["indices"].get<std::size_t>());
        }
    return {found.begin(), found.end()};
}

}  // namespace

bool AssimpNeedsACopy(const json& doc) {
    return !AccessorsAssimpMisreads(doc).empty() || !SkinsWithoutInverseBinds(doc).empty() || !DracoIndicesToNarrow(doc).empty();
}

std::vector<std::string> UnreadableRequiredExtensions(const json& doc) {
    // What the import reads: assimp's reader (built with Draco), the floats made for quantized
    // meshes, the texture placements; extensions of materials and of image formats leave the
    // geometry alone, and a texture is named whatever its image.
    static const char* const kRead[] = {"KHR_mesh_quantization", "KHR_texture_transform", "KHR_draco_mesh_compression",
                                        "KHR_lights_punctual",   "KHR_materials_",        "KHR_texture_basisu",
                                        "EXT_texture_webp",      "EXT_texture_avif"};
    static const std::map<std::string, std::string> kAdvice = {
        {"EXT_meshopt_compression", "gltfpack writes it for -c and -cc: pack the file without them"},
        {"KHR_meshopt_compression", "pack the file without meshopt compression"},
    };
    std::vector<std::string> unreadable;
    for (const json& name : ArrayIn(doc, "extensionsRequired")) {
        if (!name.is_string()) continue;
        const std::string& extension = name.get_ref<const std::string&>();
        const bool read = std::any_of(std::begin(kRead), std::end(kRead), [&](const char* known) {
            const std::string k = known;
            return k.back() == '_' ? extension.rfind(k, 0) == 0 : extension == k;
        });
        if (read) continue;
        const auto advice = kAdvice.find(extension);
        unreadable.push_back(extension + " (" + (advice != kAdvice.end() ? advice->second : "save the file without it") + ")");
    }
    return unreadable;
}

namespace {

std::optional<std::vector<std::uint8_t>> Base64Bytes(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 4 * 3);
    std::uint32_t bits = 0;
    int held = 0;
    for (const char c : text) {
        int value;
        if (c >= 'A' && c <= 'Z') value = c - 'A';
        else if (c >= 'a' && c <= 'z') value = c - 'a' + 26;
        else if (c >= '0' && c <= '9') value = c - '0' + 52;
        else if (c == '+' || c == '-') value = 62;
        else if (c == '/' || c == '_') value = 63;
        else if (c == '=') break;
        else return std::nullopt;
        bits = bits << 6 | std::uint32_t(value);
        held += 6;
        if (held >= 8) {
            held -= 8;
            bytes.push_back(std::uint8_t(bits >> held));
        }
    }
    return bytes;
}

std::string Base64Text(const std::vector<std::uint8_t>& bytes) {
    static const char* kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t left = bytes.size() - i;
        const std::uint32_t n = std::uint32_t(bytes[i]) << 16 | (left > 1 ? std::uint32_t(bytes[i + 1]) << 8 : 0) |
                                (left > 2 ? bytes[i + 2] : 0);
        text += kDigits[n >> 18 & 63];
        text += kDigits[n >> 12 & 63];
        text += left > 1 ? kDigits[n >> 6 & 63] : '=';
        text += left > 2 ? kDigits[n & 63] : '=';
    }
    return text;
}

std::size_t ComponentSize(int type) {
    switch (type) {
    case 5120: case 5121: return 1;
    case 5122: case 5123: return 2;
    case 5125: case 5126: return 4;
    default: return 0;
    }
}

std::size_t Components(const std::string& type) {
    if (type == "SCALAR") return 1;
    if (type == "VEC2") return 2;
    if (type == "VEC3") return 3;
    if (type == "VEC4") return 4;
    return 0;
}

// One component at p as a float: normalized integers scaled into 0..1 (unsigned) or -1..1 (signed,
// the most negative value held at -1), other integers as they are.
float ComponentAt(const std::uint8_t* p, int type, bool normalized) {
    auto read = [p](auto value) {
        std::memcpy(&value, p, sizeof value);
        return value;
    };
    switch (type) {
    case 5120: return normalized ? std::max(float(read(std::int8_t())) / 127.0f, -1.0f) : float(read(std::int8_t()));
    case 5121: return normalized ? float(read(std::uint8_t())) / 255.0f : float(read(std::uint8_t()));
    case 5122: return normalized ? std::max(float(read(std::int16_t())) / 32767.0f, -1.0f) : float(read(std::int16_t()));
    case 5123: return normalized ? float(read(std::uint16_t())) / 65535.0f : float(read(std::uint16_t()));
    case 5125: return normalized ? float(double(read(std::uint32_t())) / 4294967295.0) : float(read(std::uint32_t()));
    default: return read(float());
    }
}

// The buffers of one glTF file, read when first asked for.
class Buffers {
public:
    Buffers(const json& doc, std::filesystem::path folder, const std::uint8_t* glbBody, std::size_t glbBodySize)
        : doc_(doc), folder_(std::move(folder)), glbBody_(glbBody), glbBodySize_(glbBodySize) {}

    // Buffer index's bytes (at least its byteLength of them), or nothing with why.
    std::optional<std::pair<const std::uint8_t*, std::size_t>> Bytes(std::size_t index, std::string& why) {
        const json& list = ArrayIn(doc_, "buffers");
        if (index >= list.size() || !list[index].is_object()) {
            why = "buffer " + std::to_string(index) + " is not in the file";
            return std::nullopt;
        }
        const json& buffer = list[index];
        const std::size_t length = Count(buffer, "byteLength");
        auto enough = [&](const std::uint8_t* p, std::size_t size) -> std::optional<std::pair<const std::uint8_t*, std::size_t>> {
            if (size >= length) return std::pair{p, size};
            why = "buffer " + std::to_string(index) + " holds " + std::to_string(size) + " of its " + std::to_string(length) + " bytes";
            return std::nullopt;
        };
        const auto uri = buffer.find("uri");
        if (uri == buffer.end() || !uri->is_string()) {
            if (index == 0 && glbBody_) return enough(glbBody_, glbBodySize_);
            why = "buffer " + std::to_string(index) + " has no uri";
            return std::nullopt;
        }
        auto [held, fresh] = read_.try_emplace(index);
        if (fresh) {
            const std::string& text = uri->get_ref<const std::string&>();
            if (text.rfind("data:", 0) == 0) {
                const std::size_t comma = text.find(',');
                const bool base64 = comma != std::string::npos && comma >= 12 && text.compare(comma - 7, 7, ";base64") == 0;
                const std::optional<std::vector<std::uint8_t>> bytes = base64 ? Base64Bytes(text.substr(comma + 1)) : std::nullopt;
                if (!bytes) {
                    why = "buffer " + std::to_string(index) + " is a data uri that is not base64";
                    read_.erase(held);
                    return std::nullopt;
                }
                held->second = *bytes;
            } else {
                // The file names the buffer: only a plain file is read (a pipe or a device, such as
                // /dev/zero, would be read without end).
                const std::filesystem::path file = folder_ / GltfUriPath(text);
                std::error_code ec;
                std::string error = std::filesystem::is_regular_file(file, ec) ? "" : "not a file";
                if (!error.empty() || !vlo::ReadFileBytes(file.string(), held->second, error)) {
                    why = "buffer " + std::to_string(index) + " (" + GltfUriPath(text) + "): " + error;
                    read_.erase(held);
                    return std::nullopt;
                }
            }
        }
        return enough(held->second.data(), held->second.size());
    }

    // The bytes of bufferView index: from its byteOffset, its byteLength of them, and its stride (0
    // when it states none).
    struct View {
        const std::uint8_t* bytes;
        std::size_t size, stride;
    };
    std::optional<View> ViewAt(const json& index, std::string& why) {
        const json& list = ArrayIn(doc_, "bufferViews");
        if (!index.is_number_unsigned() || index.get<std::size_t>() >= list.size() || !list[index.get<std::size_t>()].is_object()) {
            why = "a buffer view it names is not in the file";
            return std::nullopt;
        }
        const json& view = list[index.get<std::size_t>()];
        if (!view.contains("buffer") || !view["buffer"].is_number_unsigned()) {
            why = "buffer view " + std::to_string(index.get<std::size_t>()) + " names no buffer";
            return std::nullopt;
        }
        const auto bytes = Bytes(view["buffer"].get<std::size_t>(), why);
        if (!bytes) return std::nullopt;
        const std::size_t offset = Count(view, "byteOffset"), length = Count(view, "byteLength");
        if (offset > bytes->second || length > bytes->second - offset) {
            why = "buffer view " + std::to_string(index.get<std::size_t>()) + " reaches past its buffer";
            return std::nullopt;
        }
        return View{bytes->first + offset, length, Count(view, "byteStride")};
    }

private:
    const json& doc_;
    std::filesystem::path folder_;
    const std::uint8_t* glbBody_;
    std::size_t glbBodySize_;
    std::map<std::size_t, std::vector<std::uint8_t>> read_;
};

// Accessor index's values as floats, count x components of them; nothing, with why, when they
// cannot be read.
std::optional<std::vector<float>> FloatsOf(const json& accessor, std::size_t index, Buffers& buffers, std::string& why) {
    const std::string name = "accessor " + std::to_string(index);
    const int type = Integer(accessor, "componentType");
    const std::size_t size = ComponentSize(type);
    const std::size_t components = Components(accessor.contains("type") && accessor["type"].is_string() ? accessor["type"].get<std::string>() : "");
    if (size == 0 || components == 0) {
        why = name + " holds neither scalars nor vectors of numbers";
        return std::nullopt;
    }
    const bool normalized = accessor.contains("normalized") && accessor["normalized"].is_boolean() && accessor["normalized"].get<bool>();
    const std::size_t count = Count(accessor, "count"), element = size * components;
    // Whether n elements, stride bytes apart from offset, lie within a view of viewSize bytes.
    auto within = [&](std::size_t offset, std::size_t stride, std::size_t n, std::size_t viewSize) {
        if (n == 0) return true;
        if (offset > viewSize || viewSize - offset < element) return false;
        return (viewSize - offset - element) / stride >= n - 1;
    };
    std::optional<Buffers::View> view;
    std::size_t offset = 0, stride = element;
    if (accessor.contains("bufferView")) {
        view = buffers.ViewAt(accessor["bufferView"], why);
        if (!view) return std::nullopt;
        offset = Count(accessor, "byteOffset");
        stride = view->stride ? view->stride : element;
        if (stride < element) {
            why = name + "'s elements overlap (its buffer view's stride is shorter than one)";
            return std::nullopt;
        }
        if (!within(offset, stride, count, view->size)) {
            why = name + " reaches past its buffer view";
            return std::nullopt;
        }
    } else if (count > (std::size_t(1) << 24) / components) {
        // Without a buffer view the values are zeros (for sparse substitutions): nothing in the file
        // bounds their count.
        why = name + " holds " + std::to_string(count) + " elements without a buffer view, more than a scene can";
        return std::nullopt;
    }
    std::vector<float> values(count * components, 0.0f);
    auto readElements = [&](const std::uint8_t* from, std::size_t step, std::size_t n, const std::size_t* at) {
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t c = 0; c < components; ++c)
                values[(at ? at[i] : i) * components + c] = ComponentAt(from + i * step + c * size, type, normalized);
    };
    if (view) readElements(view->bytes + offset, stride, count, nullptr);
    if (accessor.contains("sparse") && accessor["sparse"].is_object()) {
        const json& sparse = accessor["sparse"];
        const std::size_t n = Count(sparse, "count");
        const json& indices = sparse.contains("indices") ? sparse["indices"] : json::object();
        const json& substitutes = sparse.contains("values") ? sparse["values"] : json::object();
        const int indexType = indices.is_object() ? Integer(indices, "componentType") : 0;
        const std::size_t indexSize = indexType == 5121 || indexType == 5123 || indexType == 5125 ? ComponentSize(indexType) : 0;
        if (!indices.is_object() || !substitutes.is_object() || indexSize == 0 || n > count) {
            why = name + " has sparse values that do not read";
            return std::nullopt;
        }
        const auto indexView = buffers.ViewAt(indices.contains("bufferView") ? indices["bufferView"] : json(), why);
        if (!indexView) return std::nullopt;
        const auto valueView = buffers.ViewAt(substitutes.contains("bufferView") ? substitutes["bufferView"] : json(), why);
        if (!valueView) return std::nullopt;
        const std::size_t indexOffset = Count(indices, "byteOffset"), valueOffset = Count(substitutes, "byteOffset");
        if (n > 0 && (indexOffset > indexView->size || (indexView->size - indexOffset) / indexSize < n ||
                      !within(valueOffset, element, n, valueView->size))) {
            why = name + " has sparse values past their buffer views";
            return std::nullopt;
        }
        std::vector<std::size_t> at(n);
        for (std::size_t i = 0; i < n; ++i) {
            std::uint32_t k = 0;
            std::memcpy(&k, indexView->bytes + indexOffset + i * indexSize, indexSize);  // little-endian, as the format
            if (k >= count) {
                why = name + " has a sparse value for element " + std::to_string(k) + " of " + std::to_string(count);
                return std::nullopt;
            }
            at[i] = k;
        }
        readElements(valueView->bytes + valueOffset, element, n, at.data());
    }
    return values;
}

// The smallest or the largest value of each component.
json Bounds(const std::vector<float>& values, std::size_t components, bool largest) {
    json bounds = json::array();
    for (std::size_t c = 0; c < components && c < values.size(); ++c) {
        float b = values[c];
        for (std::size_t i = c; i < values.size(); i += components) b = largest ? std::max(b, values[i]) : std::min(b, values[i]);
        bounds.push_back(b);
    }
    return bounds;
}

std::uint32_t Word(const std::string& bytes, std::size_t at) {
    std::uint32_t word = 0;
    std::memcpy(&word, bytes.data() + at, 4);
    return word;
}

void PutWord(std::string& bytes, std::uint32_t word) { bytes.append(reinterpret_cast<const char*>(&word), 4); }

}  // namespace

std::optional<std::string> GltfCopyForAssimp(const std::string& path, std::string& why) {
    std::vector<std::uint8_t> raw;
    if (!vlo::ReadFileBytes(path, raw, why)) return std::nullopt;
    const std::string file(raw.begin(), raw.end());
    raw.clear();
    raw.shrink_to_fit();
    // A GLB: a 12-byte header, the JSON chunk, then the binary chunk (buffer 0) and any others.
    const bool glb = file.size() >= 12 && file.compare(0, 4, "glTF") == 0;
    std::size_t jsonAt = 0, jsonSize = file.size(), restAt = file.size();
    const std::uint8_t* body = nullptr;
    std::size_t bodySize = 0;
    if (glb) {
        if (file.size() < 20 || Word(file, 16) != 0x4E4F534Au || Word(file, 12) > file.size() - 20) {
            why = "its GLB header is damaged";
            return std::nullopt;
        }
        jsonAt = 20;
        jsonSize = Word(file, 12);
        restAt = jsonAt + jsonSize;
        if (file.size() - restAt >= 8 && Word(file, restAt + 4) == 0x004E4942u) {
            bodySize = std::min<std::size_t>(Word(file, restAt), file.size() - restAt - 8);
            body = reinterpret_cast<const std::uint8_t*>(file.data()) + restAt + 8;
        }
    }
    json doc = json::parse(file.begin() + std::ptrdiff_t(jsonAt), file.begin() + std::ptrdiff_t(jsonAt + jsonSize), nullptr,
                           /*allow_exceptions=*/false);
    if (!doc.is_object()) {
        why = "its JSON does not parse";
        return std::nullopt;
    }
    Buffers buffers(doc, std::filesystem::path(path).parent_path(), body, bodySize);
    std::vector<std::uint8_t> floats;
    std::vector<std::pair<std::size_t, std::vector<float>>> decoded;
    for (const std::size_t index : AccessorsAssimpMisreads(doc)) {
        std::optional<std::vector<float>> values = FloatsOf(doc["accessors"][index], index, buffers, why);
        if (!values) return std::nullopt;
        decoded.emplace_back(index, std::move(*values));
    }
    const std::vector<std::size_t> narrowed = DracoIndicesToNarrow(doc);
    for (const std::size_t index : narrowed) doc["accessors"][index]["componentType"] = 5123;
    // Each skin without inverse bind matrices gets identities of its own.
    for (const auto& [skin, joints] : SkinsWithoutInverseBinds(doc)) {
        std::vector<float> identities;
        for (std::size_t j = 0; j < joints; ++j) identities.insert(identities.end(), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
        json& accessors = doc["accessors"];
        if (!accessors.is_array()) accessors = json::array();
        accessors.push_back({{"componentType", kFloat}, {"count", joints}, {"type", "MAT4"}});
        doc["skins"][skin]["inverseBindMatrices"] = accessors.size() - 1;
        decoded.emplace_back(accessors.size() - 1, std::move(identities));
    }
    if (decoded.empty() && narrowed.empty()) return file;
    // The floats go into a buffer of their own, a view per accessor, after the file's own.
    json& views = doc["bufferViews"];
    if (!views.is_array()) views = json::array();
    json& bufferList = doc["buffers"];
    if (!bufferList.is_array()) bufferList = json::array();
    for (auto& [index, values] : decoded) {
        json& accessor = doc["accessors"][index];
        const std::size_t components = values.size() / std::max<std::size_t>(Count(accessor, "count"), 1);
        views.push_back({{"buffer", bufferList.size()}, {"byteOffset", floats.size()}, {"byteLength", values.size() * 4}});
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(values.data());
        floats.insert(floats.end(), bytes, bytes + values.size() * 4);
        accessor["componentType"] = kFloat;
        accessor["bufferView"] = views.size() - 1;
        for (const char* gone : {"normalized", "byteOffset", "sparse"}) accessor.erase(gone);
        if (accessor.contains("min")) accessor["min"] = Bounds(values, components, false);
        if (accessor.contains("max")) accessor["max"] = Bounds(values, components, true);
    }
    if (!decoded.empty())
        bufferList.push_back({{"byteLength", floats.size()}, {"uri", "data:application/octet-stream;base64," + Base64Text(floats)}});
    std::string text = doc.dump();
    if (!glb) return text;
    text.resize((text.size() + 3) / 4 * 4, ' ');  // a GLB chunk is padded to four bytes, JSON by spaces
    const std::size_t total = 20 + text.size() + (file.size() - restAt);
    if (total > UINT32_MAX) {
        why = "it would grow past the largest GLB file";
        return std::nullopt;
    }
    std::string out = file.substr(0, 8);
    PutWord(out, std::uint32_t(total));
    PutWord(out, std::uint32_t(text.size()));
    PutWord(out, 0x4E4F534Au);
    out += text;
    out.append(file, restAt);
    return out;
}

}  // namespace importer
