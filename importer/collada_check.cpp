#include "importer/collada_check.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <system_error>
#include <utility>
#include <unordered_map>
#include <vector>

#include "importer/wording.h"

namespace importer {
namespace {

// Counts beyond this are kept at it rather than wrapped round: no file holds that many of anything.
constexpr std::uint64_t kCountLimit = UINT64_MAX / 16;

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The COLLADA elements whose text is a list of whole numbers, which assimp's reader counts through
// without end when one of them is not a number.
bool IsIndexList(std::string_view tag) { return tag == "p" || tag == "vcount" || tag == "v" || tag == "h"; }

bool InWholeNumbers(char c) { return (c >= '0' && c <= '9') || IsXmlSpace(c) || c == '-' || c == '+'; }

// n with the decimal digit c appended, held at kCountLimit.
std::uint64_t WithDigit(std::uint64_t n, char c) { return std::min<std::uint64_t>(n * 10 + std::uint64_t(c - '0'), kCountLimit); }

// The value of attribute name in a tag's attributes (name="value" or name='value', spaces allowed
// around the '='); none when the tag does not have it.
std::optional<std::string_view> Attribute(std::string_view attributes, std::string_view name) {
    for (std::size_t at = 0; (at = attributes.find(name, at)) != std::string_view::npos; at += name.size()) {
        if (at == 0 || !IsXmlSpace(attributes[at - 1])) continue;  // the end of a longer name
        std::size_t next = at + name.size();
        while (next < attributes.size() && IsXmlSpace(attributes[next])) ++next;
        if (next == attributes.size() || attributes[next] != '=') continue;
        ++next;
        while (next < attributes.size() && IsXmlSpace(attributes[next])) ++next;
        if (next == attributes.size() || (attributes[next] != '"' && attributes[next] != '\'')) return std::nullopt;
        const std::size_t end = attributes.find(attributes[next], next + 1);
        if (end == std::string_view::npos) return std::nullopt;
        return attributes.substr(next + 1, end - next - 1);
    }
    return std::nullopt;
}

// The number text spells, when it is one or more digits and nothing else.
std::optional<std::uint64_t> WholeNumber(std::string_view text) {
    if (text.empty()) return std::nullopt;
    std::uint64_t n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        n = WithDigit(n, c);
    }
    return n;
}

// The whole-number attribute name of a tag: none when missing or not a whole number.
std::optional<std::uint64_t> NumberAttribute(std::string_view attributes, std::string_view name) {
    const std::optional<std::string_view> value = Attribute(attributes, name);
    return value ? WholeNumber(*value) : std::nullopt;
}

// The id a reference "#id" names; empty for anything else (a reference into another file).
std::string_view Reference(std::optional<std::string_view> uri) {
    return uri && uri->size() > 1 && uri->front() == '#' ? uri->substr(1) : std::string_view();
}

// The values of an array's text: runs of anything but white space (and control characters, which
// no value holds). Counted where a value starts, without a branch per character: arrays are most of
// a COLLADA file's bytes.
std::uint64_t ValuesIn(std::string_view list) {
    if (list.empty()) return 0;
    auto space = [](char c) { return std::uint64_t(static_cast<unsigned char>(c) <= ' '); };
    std::uint64_t values = 1 - space(list[0]);
    for (std::size_t i = 1; i < list.size(); ++i) values += space(list[i - 1]) & (1 - space(list[i]));
    return values;
}

// Calls take(n) for each whole number of a list already known to hold whole numbers and spaces
// alone (signs are read as spaces: a negative index is as far out as assimp's reader takes it).
template <class Take>
void ForEachNumber(std::string_view list, Take take) {
    std::uint64_t n = 0;
    bool inNumber = false;
    for (const char c : list) {
        if (c >= '0' && c <= '9') {
            n = WithDigit(n, c);
            inNumber = true;
        } else if (inNumber) {
            take(n);
            n = 0;
            inNumber = false;
        }
    }
    if (inNumber) take(n);
}

std::string LineOf(std::string_view text, std::size_t at) {
    return std::to_string(1 + std::count(text.begin(), text.begin() + std::ptrdiff_t(at), '\n'));
}

// The 16 numbers of a matrix's text, none when it holds another count or something else.
std::optional<BindShape> SixteenNumbers(std::string_view list) {
    BindShape matrix{};
    std::size_t n = 0, at = 0;
    while (true) {
        while (at < list.size() && IsXmlSpace(list[at])) ++at;
        if (at == list.size()) break;
        if (n == matrix.size()) return std::nullopt;
        const auto [end, error] = std::from_chars(list.data() + at, list.data() + list.size(), matrix[n]);
        if (error != std::errc() || !std::isfinite(matrix[n])) return std::nullopt;
        at = std::size_t(end - list.data());
        ++n;
    }
    if (n != matrix.size()) return std::nullopt;
    return matrix;
}

struct Accessor {
    std::string_view array;
    std::uint64_t count = 0, offset = 0, stride = 1;
    std::uint64_t width = 0;  // the values one element takes: one per parameter, 16 for a float4x4
    std::size_t at = 0;       // where its tag is
};

struct Skin {
    std::string_view geometry, joints, weights;  // ids of its mesh and of its joint and weight sources
    std::uint64_t count = 0;                     // the count of its <vertex_weights>
    std::uint64_t counts = 0, pairsNamed = 0;    // the numbers in its <vcount>, and their sum
    std::uint64_t pairs = 0, lastJoint = 0, lastWeight = 0;  // of the <v> pairs assimp reads
    std::size_t at = 0, listAt = 0;              // where its <vertex_weights> and its <v> are
};

// Whether an accessor's elements reach past the end of an array of the given number of values.
bool ReadsPast(const Accessor& a, std::uint64_t values) {
    if (a.count == 0) return false;
    const std::uint64_t width = std::max<std::uint64_t>(a.width, 1);
    if (a.offset > values || width > values - a.offset) return true;
    const std::uint64_t room = values - a.offset - width;  // what the steps after the first element may span
    return a.stride != 0 && a.count - 1 > room / a.stride;
}

// One pass over the text as tags and text, skipping comments. Lists of indices are checked as they
// come; arrays, accessors, the positions of meshes and skins are noted and checked against each
// other at the end, as references may point forwards.
class Scan {
public:
    explicit Scan(std::string_view text) : text_(text) {}

    std::optional<std::string> Problem() {
        std::size_t at = 0;
        while ((at = text_.find('<', at)) != std::string_view::npos) {
            ++at;
            if (text_.substr(at, 3) == "!--") {
                at = text_.find("-->", at + 3);
                if (at == std::string_view::npos) break;
                continue;
            }
            const bool closing = at < text_.size() && text_[at] == '/';
            if (closing) ++at;
            const std::size_t nameEnd = std::min(text_.find_first_of(">/ \t\r\n", at), text_.size());
            const std::string_view tag = text_.substr(at, nameEnd - at);
            const std::size_t tagStart = at;
            at = nameEnd;
            if (closing) {
                Close(tag);
                continue;
            }
            const bool array = tag.size() > 6 && tag.substr(tag.size() - 6) == "_array";
            if (!IsIndexList(tag) && !array && !Noted(tag)) continue;
            const std::size_t tagEnd = text_.find('>', at);
            if (tagEnd == std::string_view::npos) break;
            const std::string_view attributes = text_.substr(at, tagEnd - at);
            const bool empty = text_[tagEnd - 1] == '/';  // <p/>, <float_array count="0"/>
            const std::size_t listStart = tagEnd + 1;
            const std::size_t listEnd = empty ? listStart : std::min(text_.find('<', listStart), text_.size());
            at = listStart;
            if (array) {
                if (auto problem = Array(tag, attributes, tagStart, text_.substr(listStart, listEnd - listStart))) return problem;
                at = listEnd;
            } else if (IsIndexList(tag)) {
                if (auto problem = IndexList(tag, text_.substr(listStart, listEnd - listStart), listStart)) return problem;
                at = listEnd;
            } else {
                Open(tag, attributes, tagStart);
                if (empty) Close(tag);  // <vertices id="v"/> holds no inputs, <accessor .../> no params
            }
        }
        return References();
    }

    // The bind shape matrices that are not the identity, by the name of the node that instantiates
    // their skin.
    std::map<std::string, BindShape> BindShapes() const {
        constexpr BindShape kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        std::map<std::string, BindShape> shapes;
        for (const auto& [node, controller] : instances_)
            if (const auto it = bindShapes_.find(controller); it != bindShapes_.end() && it->second != kIdentity)
                shapes.emplace(std::string(node), it->second);
        return shapes;
    }

private:
    static bool Noted(std::string_view tag) {
        return tag == "source" || tag == "accessor" || tag == "param" || tag == "geometry" || tag == "vertices" ||
               tag == "input" || tag == "skin" || tag == "vertex_weights" || tag == "controller" || tag == "node" ||
               tag == "instance_controller" || tag == "bind_shape_matrix";
    }

    std::optional<std::string> Array(std::string_view tag, std::string_view attributes, std::size_t at,
                                     std::string_view list) {
        // An array must hold as many values as it says: assimp's reader reads an array by its count
        // and the file's indices into it by their own, outside it when it holds fewer.
        const std::optional<std::uint64_t> count = NumberAttribute(attributes, "count");
        if (!count)
            return "its COLLADA <" + std::string(tag) + "> on line " + LineOf(text_, at) +
                   " has no count that is a whole number (the file is damaged)";
        const std::uint64_t values = ValuesIn(list);
        if (values != *count)
            return "its COLLADA <" + std::string(tag) + "> on line " + LineOf(text_, at) + " holds " +
                   CountOf(values, "value") + " where its count says " +
                   std::to_string(*count) + " (the file is damaged)";
        if (const std::optional<std::string_view> id = Attribute(attributes, "id")) arrays_[*id] = values;
        return std::nullopt;
    }

    std::optional<std::string> IndexList(std::string_view tag, std::string_view list, std::size_t at) {
        // Looked at without a branch per character first (lists are long): where one is wrong, again
        // to find it.
        bool whole = true;
        for (const char c : list) whole &= InWholeNumbers(c);
        if (!whole)
            for (std::size_t i = 0; i < list.size(); ++i)
                if (!InWholeNumbers(list[i]))
                    return "its COLLADA <" + std::string(tag) + "> list on line " + LineOf(text_, at + i) +
                           " holds something other than whole numbers (the file is damaged)";
        if (!inWeights_) return std::nullopt;
        if (tag == "vcount") {
            ForEachNumber(list, [&](std::uint64_t n) {
                ++skin_.counts;
                skin_.pairsNamed = std::min(skin_.pairsNamed + n, kCountLimit);
            });
        } else if (tag == "v") {
            // assimp reads the list as (joint, weight) pairs, as many as the counts name.
            skin_.listAt = at;
            std::uint64_t read = 0;
            ForEachNumber(list, [&](std::uint64_t n) {
                if (read / 2 >= skin_.pairsNamed) return;
                std::uint64_t& last = read % 2 == 0 ? skin_.lastJoint : skin_.lastWeight;
                last = std::max(last, n);
                ++read;
            });
            skin_.pairs = read / 2;
        }
        return std::nullopt;
    }

    void Open(std::string_view tag, std::string_view attributes, std::size_t at) {
        if (tag == "source") {
            source_ = Attribute(attributes, "id").value_or(std::string_view());
        } else if (tag == "accessor") {
            inAccessor_ = true;
            accessor_ = Accessor{};
            accessor_.array = Reference(Attribute(attributes, "source"));
            accessor_.count = NumberAttribute(attributes, "count").value_or(0);
            accessor_.offset = NumberAttribute(attributes, "offset").value_or(0);
            accessor_.stride = NumberAttribute(attributes, "stride").value_or(1);
            accessor_.at = at;
        } else if (tag == "param" && inAccessor_) {
            accessor_.width += Attribute(attributes, "type") == "float4x4" ? 16 : 1;
        } else if (tag == "geometry") {
            geometry_ = Attribute(attributes, "id").value_or(std::string_view());
        } else if (tag == "vertices") {
            inVertices_ = true;
        } else if (tag == "input") {
            const std::optional<std::string_view> semantic = Attribute(attributes, "semantic");
            const std::string_view source = Reference(Attribute(attributes, "source"));
            if (inVertices_ && semantic == "POSITION") positions_[geometry_] = source;
            if (inSkin_ && semantic == "JOINT" && skin_.joints.empty()) skin_.joints = source;
            if (inSkin_ && semantic == "WEIGHT" && skin_.weights.empty()) skin_.weights = source;
        } else if (tag == "skin") {
            inSkin_ = true;
            skin_ = Skin{};
            skin_.geometry = Reference(Attribute(attributes, "source"));
        } else if (tag == "controller") {
            controller_ = Attribute(attributes, "id").value_or(std::string_view());
        } else if (tag == "node") {
            const std::optional<std::string_view> name = Attribute(attributes, "name");
            nodes_.push_back(name && !name->empty() ? *name : Attribute(attributes, "id").value_or(std::string_view()));
        } else if (tag == "instance_controller" && !nodes_.empty()) {
            instances_.emplace_back(nodes_.back(), Reference(Attribute(attributes, "url")));
        } else if (tag == "bind_shape_matrix" && inSkin_ && !controller_.empty()) {
            const std::size_t textStart = std::min(text_.find('>', at), text_.size() - 1) + 1;
            const std::string_view list = text_.substr(textStart, text_.find('<', textStart) - textStart);
            if (const std::optional<BindShape> matrix = SixteenNumbers(list)) bindShapes_[controller_] = *matrix;
        } else if (tag == "vertex_weights" && inSkin_) {
            inWeights_ = true;
            // A count that is not a number reads as none.
            skin_.count = NumberAttribute(attributes, "count").value_or(0);
            skin_.at = at;
        }
    }

    void Close(std::string_view tag) {
        if (tag == "node" && !nodes_.empty()) {
            nodes_.pop_back();
        } else if (tag == "controller") {
            controller_ = {};
        } else if (tag == "accessor" && inAccessor_) {
            inAccessor_ = false;
            if (!source_.empty() && accessorOf_.emplace(source_, accessors_.size()).second) accessors_.push_back(accessor_);
        } else if (tag == "source") {
            source_ = {};
        } else if (tag == "vertices") {
            inVertices_ = false;
        } else if (tag == "vertex_weights") {
            inWeights_ = false;
        } else if (tag == "skin" && inSkin_) {
            inSkin_ = false;
            if (skin_.at != 0) skins_.push_back(skin_);
        }
    }

    // The accessor of source id and the number of values of its array, when both are in the file.
    const Accessor* AccessorOf(std::string_view source, std::uint64_t* values = nullptr) const {
        const auto index = accessorOf_.find(source);
        if (index == accessorOf_.end()) return nullptr;
        const Accessor& accessor = accessors_[index->second];
        const auto array = arrays_.find(accessor.array);
        if (array == arrays_.end()) return nullptr;
        if (values) *values = array->second;
        return &accessor;
    }

    std::optional<std::string> References() const {
        for (const Accessor& accessor : accessors_) {
            const auto array = arrays_.find(accessor.array);
            if (array != arrays_.end() && ReadsPast(accessor, array->second))
                return "its COLLADA <accessor> on line " + LineOf(text_, accessor.at) + " reads " +
                       CountOf(accessor.count, "element") + " of " + CountOf(std::max<std::uint64_t>(accessor.width, 1), "value") +
                       " from offset " + std::to_string(accessor.offset) + " in steps of " +
                       std::to_string(accessor.stride) + ", past the end of the " + CountOf(array->second, "value") +
                       " of '" + std::string(accessor.array) + "' (the file is damaged)";
        }
        for (const Skin& skin : skins_) {
            const std::string weights = "its COLLADA <vertex_weights> on line " + LineOf(text_, skin.at);
            if (skin.counts != skin.count)
                return weights + " has " + std::to_string(skin.counts) + " numbers in its <vcount> where its count says " +
                       std::to_string(skin.count) + " (the file is damaged)";
            const auto positions = positions_.find(skin.geometry);
            if (const Accessor* mesh = positions == positions_.end() ? nullptr : AccessorOf(positions->second);
                mesh && skin.count < mesh->count)
                return weights + " weighs " + std::to_string(skin.count) + " vertices where its mesh '" +
                       std::string(skin.geometry) + "' has " + std::to_string(mesh->count) + " (the file is damaged)";
            if (skin.pairs == 0) continue;
            const std::string list = "its COLLADA <v> list on line " + LineOf(text_, skin.listAt);
            std::uint64_t jointNames = 0;
            if (AccessorOf(skin.joints, &jointNames) && skin.lastJoint >= jointNames)
                return list + " names joint " + std::to_string(skin.lastJoint) + " where '" + std::string(skin.joints) +
                       "' holds " + std::to_string(jointNames) + " (the file is damaged)";
            if (const Accessor* w = AccessorOf(skin.weights); w && skin.lastWeight >= w->count)
                return list + " names weight " + std::to_string(skin.lastWeight) + " where '" +
                       std::string(skin.weights) + "' holds " + std::to_string(w->count) + " (the file is damaged)";
        }
        return std::nullopt;
    }

    std::string_view text_;
    std::unordered_map<std::string_view, std::uint64_t> arrays_;          // array id: its values
    std::vector<Accessor> accessors_;                                     // in the file's order
    std::unordered_map<std::string_view, std::size_t> accessorOf_;        // source id: its accessor
    std::unordered_map<std::string_view, std::string_view> positions_;    // geometry id: its positions' source
    std::vector<Skin> skins_;
    std::unordered_map<std::string_view, BindShape> bindShapes_;         // controller id: its skin's
    std::vector<std::pair<std::string_view, std::string_view>> instances_;  // node name, controller id
    std::vector<std::string_view> nodes_;                                 // the names of the open <node>s
    std::string_view controller_;                                         // the id of the open <controller>
    std::string_view source_, geometry_;  // the ids of the <source> and <geometry> the scan is in
    Accessor accessor_;
    Skin skin_;
    bool inAccessor_ = false, inVertices_ = false, inSkin_ = false, inWeights_ = false;
};

}  // namespace

std::optional<std::string> ColladaProblem(std::string_view text) { return Scan(text).Problem(); }

ColladaScan ScanCollada(std::string_view text) {
    Scan scan(text);
    ColladaScan result;
    result.problem = scan.Problem();
    if (!result.problem) result.bindShapes = scan.BindShapes();
    return result;
}

}  // namespace importer
