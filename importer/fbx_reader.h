// A small reader of FBX files, binary and ASCII: the node tree with each node's scalar and string
// properties (array contents are skipped), enough to read what assimp does not pass on, such as an
// animation take's own time span. It never trusts the bytes: every offset and length is checked, the
// depth is bounded, and a damaged file gives an error, never a crash.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace importer {

// FBX's time unit: ticks per second.
inline constexpr double kFbxTicksPerSecond = 46186158000.0;

struct FbxNode {
    using Value = std::variant<std::int64_t, double, std::string>;
    std::string name;
    std::vector<Value> properties;  // arrays are left out
    std::vector<FbxNode> children;

    // The first child of that name, or null.
    const FbxNode* Child(const std::string& childName) const;
    // The property at index as a number (integers and reals) or as text; nullopt when it is absent
    // or of another kind.
    std::optional<double> Number(std::size_t index) const;
    std::optional<std::int64_t> Integer(std::size_t index) const;
    std::optional<std::string> Text(std::size_t index) const;
};

struct FbxDocument {
    std::vector<FbxNode> roots;
    // The first top-level node of that name, or null.
    const FbxNode* Find(const std::string& name) const;
};

// Parses the bytes of an FBX file (binary from version 7.0, or ASCII). On failure error says why.
std::optional<FbxDocument> ReadFbx(std::span<const std::uint8_t> bytes, std::string& error);

// The value of property name in a node's Properties70 block: the fifth field of its "P" record.
std::optional<FbxNode::Value> Property70(const FbxNode& node, const std::string& name);

// An animation stack (a take) of the file: its name as assimp names the clip, and its local time
// span in seconds (both 0 when the file gives none).
struct FbxTake {
    std::string name;
    double start = 0, stop = 0;
};

// What the importer needs of an FBX file beyond assimp's view: its takes and its time and unit
// settings. Missing settings stay unset.
struct FbxFacts {
    std::vector<FbxTake> takes;
    std::optional<double> frameRate;        // the scene's frames per second (TimeMode, CustomFrameRate)
    std::optional<double> unitScaleFactor;  // centimetres per unit
    std::string creator;                    // the program that wrote the file
    std::string sceneName;                  // the name of the file's document (Blender: its scene's)

    // Whether Blender's FBX exporter wrote the file, whose ways the importer knows.
    bool WrittenByBlender() const { return creator.rfind("Blender", 0) == 0; }
};
FbxFacts ReadFbxFacts(const FbxDocument& document);

}  // namespace importer
