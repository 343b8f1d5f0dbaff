#include "tools/manifest.h"

#include <toml.hpp>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "format/output_file.h"
#include "tools/command_line.h"

namespace tools {
namespace {

namespace fs = std::filesystem;

// What went wrong with a value, "" when it is fine.
using Problem = std::string;

struct Key {
    const char* name;
    const char* type;  // as the error says it: "a string", "true or false", ...
    std::function<Problem(const toml::value&, ExportFlags&, const fs::path& folder)> apply;
};

bool IsString(const toml::value& v) { return v.is_string(); }
std::string Text(const toml::value& v) { return v.as_string().str; }

Key StringKey(const char* name, std::string ExportFlags::*field, std::vector<std::string> allowed = {}) {
    return {name, "a string", [field, allowed](const toml::value& v, ExportFlags& f, const fs::path&) -> Problem {
                if (!IsString(v)) return "expected a string";
                const std::string text = Text(v);
                if (!allowed.empty() && std::find(allowed.begin(), allowed.end(), text) == allowed.end()) {
                    std::string list;
                    for (const auto& a : allowed) list += (list.empty() ? "" : ", ") + a;
                    return "expected one of " + list;
                }
                f.*field = text;
                return {};
            }};
}

Key PathKey(const char* name, std::string ExportFlags::*field) {
    return {name, "a path", [field](const toml::value& v, ExportFlags& f, const fs::path& folder) -> Problem {
                if (!IsString(v) || Text(v).empty()) return "expected a path";
                f.*field = (folder / Text(v)).lexically_normal().string();
                return {};
            }};
}

// A true/false key; negated for the keys that name what the flag turns off (swap-yz, collisions).
Key BoolKey(const char* name, bool ExportFlags::*field, bool negated = false) {
    return {name, "true or false", [field, negated](const toml::value& v, ExportFlags& f, const fs::path&) -> Problem {
                if (!v.is_boolean()) return "expected true or false";
                f.*field = v.as_boolean() != negated;
                return {};
            }};
}

Key ListKey(const char* name, std::vector<std::string> ExportFlags::*field, bool (*valid)(const std::string&) = nullptr,
            const char* what = "") {
    return {name, "a list of strings", [field, valid, what](const toml::value& v, ExportFlags& f, const fs::path&) -> Problem {
                if (!v.is_array()) return "expected a list of strings";
                std::vector<std::string> items;
                for (const toml::value& item : v.as_array()) {
                    if (!IsString(item)) return "expected a list of strings";
                    if (valid && !valid(Text(item))) return "'" + Text(item) + "': expected " + what;
                    items.push_back(Text(item));
                }
                f.*field = items;
                return {};
            }};
}

bool ValidKeyFrame(const std::string& text) { return ParseKeyFrame(text).has_value(); }

const std::vector<Key>& Keys() {
    static const std::vector<Key> keys = {
        PathKey("input", &ExportFlags::input),
        PathKey("output", &ExportFlags::output),
        StringKey("mode", &ExportFlags::mode, {"shape", "hierarchy", "animation"}),
        StringKey("select", &ExportFlags::select),
        BoolKey("all", &ExportFlags::all),
        StringKey("origin", &ExportFlags::origin, {"base", "center", "world", "pivot"}),
        BoolKey("swap-yz", &ExportFlags::noSwap, true),
        StringKey("scale", &ExportFlags::scale, {"unit", "yardstick"}),
        BoolKey("collisions", &ExportFlags::noCollisions, true),
        BoolKey("semi-transparent", &ExportFlags::semiTransparent),
        BoolKey("bump", &ExportFlags::bump),
        BoolKey("specular", &ExportFlags::specular),
        PathKey("sound", &ExportFlags::sound),
        ListKey("remove-markers", &ExportFlags::removeMarkers),
        ListKey("add-markers", &ExportFlags::addMarkers),
        BoolKey("no-markers", &ExportFlags::noMarkers),
        {"zero-root-rotation", "true or false",
         [](const toml::value& v, ExportFlags& f, const fs::path&) -> Problem {
             if (!v.is_boolean()) return "expected true or false";
             f.zeroRootRotation = v.as_boolean();
             return {};
         }},
        ListKey("keyframes", &ExportFlags::keyframes, ValidKeyFrame,
                "FRAME:NAME, NAME one of BALL_STRUCK, MOUSE_SWING_START, TOP_OF_SWING, ADDRESS_BALL"),
        {"clip", "a name or a number",
         [](const toml::value& v, ExportFlags& f, const fs::path&) -> Problem {
             if (v.is_integer()) f.clip = std::to_string(v.as_integer());
             else if (IsString(v)) f.clip = Text(v);
             else return "expected a clip's name or number";
             return {};
         }},
        {"range", "\"START:END\"",
         [](const toml::value& v, ExportFlags& f, const fs::path&) -> Problem {
             if (!IsString(v) || !ParseRange(Text(v))) return "expected \"START:END\" in frames";
             f.range = Text(v);
             return {};
         }},
        {"fps", "a whole number from 1 to 4800",
         [](const toml::value& v, ExportFlags& f, const fs::path&) -> Problem {
             if (!v.is_integer() || v.as_integer() < 1 || v.as_integer() > 4800) return "expected a whole number from 1 to 4800";
             f.fps = int(v.as_integer());
             return {};
         }},
        StringKey("up", &ExportFlags::up, {"file", "y", "z"}),
        {"pose", "\"bind\", \"file\" or a frame number",
         [](const toml::value& v, ExportFlags& f, const fs::path&) -> Problem {
             const std::string text = v.is_integer() ? std::to_string(v.as_integer()) : IsString(v) ? Text(v) : "";
             if (!ValidPose(text)) return "expected \"bind\", \"file\" or a frame number";
             f.pose = text;
             return {};
         }},
        StringKey("biped-root", &ExportFlags::bipedRoot),
        BoolKey("file-units", &ExportFlags::fileUnits),
        BoolKey("strict", &ExportFlags::strict),
        {"created-at", "seconds since 1970",
         [](const toml::value& v, ExportFlags& f, const fs::path&) -> Problem {
             if (!v.is_integer()) return "expected seconds since 1970";
             f.createdAt = v.as_integer();
             return {};
         }},
    };
    return keys;
}

const Key* FindKey(const std::string& name) {
    for (const Key& k : Keys())
        if (name == k.name) return &k;
    return nullptr;
}

// Applies a table's keys to flags, in name order; the problems go to out as "FILE:LINE: where: ...".
void Apply(const toml::value& table, const std::string& where, ExportFlags& flags, const fs::path& folder,
           const std::string& file, std::ostringstream& out) {
    std::map<std::string, const toml::value*> sorted;
    for (const auto& [name, value] : table.as_table()) sorted[name] = &value;
    for (const auto& [name, value] : sorted) {
        const std::string at = file + ":" + std::to_string(value->location().line()) + ": " + where + ": ";
        const Key* key = FindKey(name);
        if (!key) {
            std::vector<std::string> names;
            for (const Key& k : Keys()) names.push_back(k.name);
            const std::string nearest = NearestInSpelling(name, names, MisspellingTolerance(name.size()));
            out << at << "unknown key '" << name << "'" << (nearest.empty() ? "" : " (did you mean '" + nearest + "'?)") << "\n";
            continue;
        }
        if (const Problem p = key->apply(*value, flags, folder); !p.empty()) out << at << "key '" << name << "': " << p << "\n";
    }
}

}  // namespace

std::optional<Manifest> ReadManifest(const std::string& path, std::string& problems) {
    Manifest m;
    m.path = fs::absolute(path).lexically_normal().string();
    m.folder = fs::path(m.path).parent_path().string();
    toml::value data;
    try {
        data = toml::parse(m.path);
    } catch (const toml::syntax_error& e) {
        problems = e.what();
        return std::nullopt;
    } catch (const std::exception& e) {
        problems = path + ": " + e.what();
        return std::nullopt;
    }
    std::ostringstream out;
    if (!data.is_table()) out << path << ": not a table of assets\n";
    ExportFlags defaults;
    std::set<std::string> topLevel = {"defaults", "asset"};
    for (const auto& [name, value] : data.as_table())
        if (!topLevel.count(name))
            out << path << ":" << value.location().line() << ": unknown table or key '" << name
                << "' (a manifest holds [defaults] and [[asset]] tables)\n";
    if (data.contains("defaults")) {
        const toml::value& d = toml::find(data, "defaults");
        if (!d.is_table()) out << path << ":" << d.location().line() << ": defaults: expected a table\n";
        else Apply(d, "defaults", defaults, m.folder, path, out);
        for (const char* own : {"input", "output"})
            if (d.is_table() && d.contains(own))
                out << path << ":" << d.location().line() << ": defaults: key '" << own << "' belongs to each asset\n";
    }
    if (!data.contains("asset") || !toml::find(data, "asset").is_array()) {
        out << path << ": no [[asset]] tables\n";
    } else {
        const auto& assets = toml::find(data, "asset").as_array();
        std::map<std::string, std::size_t> outputs;
        for (std::size_t i = 0; i < assets.size(); ++i) {
            const toml::value& a = assets[i];
            const std::string where = "asset " + std::to_string(i + 1);
            const int line = int(a.location().line());
            if (!a.is_table()) {
                out << path << ":" << line << ": " << where << ": expected a table\n";
                continue;
            }
            ManifestAsset asset;
            asset.flags = defaults;
            asset.line = line;
            Apply(a, where, asset.flags, m.folder, path, out);
            if (asset.flags.input.empty()) out << path << ":" << line << ": " << where << ": no input\n";
            if (asset.flags.output.empty()) out << path << ":" << line << ": " << where << ": no output\n";
            if (asset.flags.all && !asset.flags.select.empty())
                out << path << ":" << line << ": " << where << ": all and select exclude each other\n";
            asset.name = a.contains("output") && toml::find(a, "output").is_string() ? Text(toml::find(a, "output"))
                                                                                     : where;
            // Every file an asset writes, its information text included, is written by it alone.
            if (!asset.flags.output.empty())
                for (const std::string& file : {asset.flags.output, vlo::SiblingFileName(asset.flags.output, ".TXT")}) {
                    const auto [it, inserted] = outputs.emplace(file, i + 1);
                    if (!inserted)
                        out << path << ":" << line << ": " << where << ": writes "
                            << fs::path(file).lexically_relative(m.folder).string() << " as asset " << it->second
                            << " does\n";
                }
            m.assets.push_back(std::move(asset));
        }
    }
    problems = out.str();
    if (!problems.empty()) return std::nullopt;
    return m;
}

nlohmann::json OptionsJson(const ExportFlags& f) {
    const ExportFlags d;
    nlohmann::json j;
    j["input"] = f.input;
    j["output"] = f.output;
    auto text = [&](const char* key, const std::string& value, const std::string& fallback) {
        if (value != fallback) j[key] = value;
    };
    auto flag = [&](const char* key, bool value, bool fallback) {
        if (value != fallback) j[key] = value;
    };
    text("mode", f.mode, d.mode);
    text("select", f.select, d.select);
    flag("all", f.all, d.all);
    text("origin", f.origin, d.origin);
    flag("swap-yz", !f.noSwap, !d.noSwap);
    text("scale", f.scale, d.scale);
    flag("collisions", !f.noCollisions, !d.noCollisions);
    flag("semi-transparent", f.semiTransparent, d.semiTransparent);
    flag("bump", f.bump, d.bump);
    flag("specular", f.specular, d.specular);
    text("sound", f.sound, d.sound);
    if (!f.removeMarkers.empty()) j["remove-markers"] = f.removeMarkers;
    if (!f.addMarkers.empty()) j["add-markers"] = f.addMarkers;
    flag("no-markers", f.noMarkers, d.noMarkers);
    if (f.zeroRootRotation) j["zero-root-rotation"] = *f.zeroRootRotation;
    if (!f.keyframes.empty()) j["keyframes"] = f.keyframes;
    text("clip", f.clip, d.clip);
    text("range", f.range, d.range);
    if (f.fps != d.fps) j["fps"] = f.fps;
    text("up", f.up, d.up);
    text("pose", f.pose, d.pose);
    text("biped-root", f.bipedRoot, d.bipedRoot);
    flag("file-units", f.fileUnits, d.fileUnits);
    flag("strict", f.strict, d.strict);
    if (f.createdAt) j["created-at"] = *f.createdAt;
    return j;
}

std::vector<std::string> CommandLine(const ExportFlags& f) {
    const ExportFlags d;
    std::vector<std::string> args = {"-o", f.output};
    auto text = [&](const char* flag, const std::string& value, const std::string& fallback) {
        if (value != fallback) args.insert(args.end(), {flag, value});
    };
    auto on = [&](const char* flag, bool value) {
        if (value) args.push_back(flag);
    };
    text("--mode", f.mode, d.mode);
    text("--select", f.select, d.select);
    on("--all", f.all);
    text("--origin", f.origin, d.origin);
    on("--no-swap-yz", f.noSwap);
    text("--scale", f.scale, d.scale);
    on("--no-collisions", f.noCollisions);
    on("--semi-transparent", f.semiTransparent);
    on("--bump", f.bump);
    on("--specular", f.specular);
    text("--sound", f.sound, d.sound);
    for (const auto& m : f.removeMarkers) args.insert(args.end(), {"--remove-marker", m});
    for (const auto& m : f.addMarkers) args.insert(args.end(), {"--add-marker", m});
    on("--no-markers", f.noMarkers);
    if (f.zeroRootRotation) args.push_back(*f.zeroRootRotation ? "--zero-root-rotation" : "--no-zero-root-rotation");
    for (const auto& k : f.keyframes) args.insert(args.end(), {"--keyframe", k});
    text("--clip", f.clip, d.clip);
    text("--range", f.range, d.range);
    if (f.fps != d.fps) args.insert(args.end(), {"--fps", std::to_string(f.fps)});
    text("--up", f.up, d.up);
    text("--pose", f.pose, d.pose);
    text("--biped-root", f.bipedRoot, d.bipedRoot);
    on("--file-units", f.fileUnits);
    on("--strict", f.strict);
    if (f.createdAt) args.insert(args.end(), {"--created-at", std::to_string(*f.createdAt)});
    return args;
}

}  // namespace tools
