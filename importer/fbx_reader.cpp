#include "importer/fbx_reader.h"

#include <cctype>
#include <cmath>
#include <cstring>

namespace importer {
namespace {

// Real files nest a handful of levels; anything deeper is damage (or an attack on the stack).
constexpr int kMaxDepth = 64;

constexpr char kBinaryMagic[] = "Kaydara FBX Binary  ";  // then 0x00 0x1A 0x00 and a u32 version

// ---- Binary ---------------------------------------------------------------------------------------

class BinaryParser {
public:
    BinaryParser(std::span<const std::uint8_t> bytes, std::string& error) : b_(bytes), error_(error) {}

    bool Parse(FbxDocument& doc) {
        std::uint32_t version = 0;
        if (!ReadAt(23, version)) return Fail("the file ends in its header");
        wide_ = version >= 7500;
        std::uint64_t at = 27;
        while (at < b_.size()) {
            FbxNode node;
            bool end = false;
            if (!ReadNode(at, 0, node, end)) return false;
            if (end) break;
            doc.roots.push_back(std::move(node));
        }
        return true;
    }

private:
    template <class T>
    bool ReadAt(std::uint64_t at, T& out) const {
        if (at > b_.size() || b_.size() - at < sizeof(T)) return false;
        std::memcpy(&out, b_.data() + at, sizeof(T));
        return true;
    }
    bool ReadOffset(std::uint64_t& at, std::uint64_t& out) const {
        if (wide_) {
            if (!ReadAt(at, out)) return false;
            at += 8;
        } else {
            std::uint32_t v = 0;
            if (!ReadAt(at, v)) return false;
            out = v;
            at += 4;
        }
        return true;
    }
    bool Fail(std::string why) {
        error_ = std::move(why);
        return false;
    }

    // Reads the node record at `at` (moving `at` past it); end is set for the null record that closes
    // a list.
    bool ReadNode(std::uint64_t& at, int depth, FbxNode& node, bool& end) {
        if (depth > kMaxDepth) return Fail("nodes nested deeper than " + std::to_string(kMaxDepth));
        const std::uint64_t start = at;
        std::uint64_t endOffset = 0, numProperties = 0, propertyBytes = 0;
        std::uint8_t nameLength = 0;
        if (!ReadOffset(at, endOffset) || !ReadOffset(at, numProperties) || !ReadOffset(at, propertyBytes) ||
            !ReadAt(at, nameLength))
            return Fail("a node record is cut off at byte " + std::to_string(start));
        ++at;
        if (endOffset == 0) {  // the null record
            end = true;
            return true;
        }
        if (endOffset <= start || endOffset > b_.size()) return Fail("a node's end lies outside the file at byte " + std::to_string(start));
        if (at + nameLength > endOffset) return Fail("a node's name runs past its end at byte " + std::to_string(start));
        node.name.assign(reinterpret_cast<const char*>(b_.data() + at), nameLength);
        at += nameLength;
        const std::uint64_t propertiesEnd = at + propertyBytes;
        if (propertyBytes > endOffset - at) return Fail("node '" + node.name + "' has properties past its end");
        for (std::uint64_t i = 0; i < numProperties; ++i)
            if (!ReadProperty(at, propertiesEnd, node)) return false;
        at = propertiesEnd;
        while (at < endOffset) {
            FbxNode child;
            bool childEnd = false;
            if (!ReadNode(at, depth + 1, child, childEnd)) return false;
            if (childEnd) break;
            node.children.push_back(std::move(child));
            if (at > endOffset) return Fail("node '" + node.name + "' has a child past its end");
        }
        at = endOffset;
        return true;
    }

    bool ReadProperty(std::uint64_t& at, std::uint64_t limit, FbxNode& node) {
        std::uint8_t type = 0;
        if (at >= limit || !ReadAt(at, type)) return Fail("node '" + node.name + "' has a property cut off");
        ++at;
        auto scalar = [&](auto value) {
            if (at + sizeof(value) > limit || !ReadAt(at, value)) return Fail("node '" + node.name + "' has a value cut off");
            at += sizeof(value);
            if constexpr (std::is_floating_point_v<decltype(value)>)
                node.properties.emplace_back(double(value));
            else
                node.properties.emplace_back(std::int64_t(value));
            return true;
        };
        switch (type) {
            case 'Y': return scalar(std::int16_t{});
            case 'C': return scalar(std::uint8_t{});
            case 'I': return scalar(std::int32_t{});
            case 'L': return scalar(std::int64_t{});
            case 'F': return scalar(float{});
            case 'D': return scalar(double{});
            case 'S':
            case 'R': {
                std::uint32_t length = 0;
                if (!ReadAt(at, length) || at + 4 + std::uint64_t(length) > limit)
                    return Fail("node '" + node.name + "' has a string cut off");
                at += 4;
                if (type == 'S') node.properties.emplace_back(std::string(reinterpret_cast<const char*>(b_.data() + at), length));
                at += length;
                return true;
            }
            case 'f':
            case 'd':
            case 'l':
            case 'i':
            case 'b': {
                // Array length, encoding, then its bytes (raw or compressed): skipped as a whole.
                std::uint32_t header[3] = {};
                if (!ReadAt(at, header) || at + 12 + std::uint64_t(header[2]) > limit)
                    return Fail("node '" + node.name + "' has an array cut off");
                at += 12 + std::uint64_t(header[2]);
                return true;
            }
            default: return Fail("node '" + node.name + "' has a property of unknown type");
        }
    }

    std::span<const std::uint8_t> b_;
    std::string& error_;
    bool wide_ = false;
};

// ---- ASCII ----------------------------------------------------------------------------------------

class TextParser {
public:
    TextParser(std::span<const std::uint8_t> bytes, std::string& error)
        : s_(reinterpret_cast<const char*>(bytes.data()), bytes.size()), error_(error) {}

    bool Parse(FbxDocument& doc) {
        while (true) {
            SkipSpace();
            if (at_ >= s_.size()) return true;
            if (s_[at_] == '}') return Fail("a '}' closes nothing");
            FbxNode node;
            if (!ReadNode(node, 0)) return false;
            doc.roots.push_back(std::move(node));
        }
    }

private:
    bool Fail(std::string why) {
        error_ = std::move(why) + " (line " + std::to_string(Line()) + ")";
        return false;
    }
    std::size_t Line() const {
        std::size_t n = 1;
        for (std::size_t i = 0; i < at_ && i < s_.size(); ++i) n += s_[i] == '\n';
        return n;
    }
    // Skips white space and comments (';' to the end of the line); newlines too when lines is set.
    void SkipSpace(bool lines = true) {
        while (at_ < s_.size()) {
            const char c = s_[at_];
            if (c == ';') {
                while (at_ < s_.size() && s_[at_] != '\n') ++at_;
            } else if (c == ' ' || c == '\t' || c == '\r' || (lines && c == '\n')) {
                ++at_;
            } else {
                return;
            }
        }
    }
    static bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '|' || c == '-'; }

    bool ReadNode(FbxNode& node, int depth) {
        if (depth > kMaxDepth) return Fail("nodes nested deeper than " + std::to_string(kMaxDepth));
        const std::size_t nameStart = at_;
        while (at_ < s_.size() && IsNameChar(s_[at_])) ++at_;
        if (at_ == nameStart || at_ >= s_.size() || s_[at_] != ':') return Fail("expected a node name and ':'");
        node.name = s_.substr(nameStart, at_ - nameStart);
        ++at_;
        // Properties: values separated by commas, up to the end of the line or a '{'.
        while (true) {
            SkipSpace(false);
            if (at_ >= s_.size() || s_[at_] == '\n' || s_[at_] == '}') return true;
            if (s_[at_] == '{') return ReadChildren(node, depth);
            if (!ReadValue(node)) return false;
            SkipSpace(false);
            if (at_ < s_.size() && s_[at_] == ',') {
                ++at_;
                SkipSpace(true);  // a value list may continue on the next line
            }
        }
    }

    bool ReadChildren(FbxNode& node, int depth) {
        ++at_;  // '{'
        while (true) {
            SkipSpace();
            if (at_ >= s_.size()) return Fail("node '" + node.name + "' is not closed");
            if (s_[at_] == '}') {
                ++at_;
                return true;
            }
            FbxNode child;
            if (!ReadNode(child, depth + 1)) return false;
            node.children.push_back(std::move(child));
        }
    }

    bool ReadValue(FbxNode& node) {
        const char c = s_[at_];
        if (c == '"') {
            const std::size_t end = s_.find('"', at_ + 1);
            if (end == std::string::npos) return Fail("a string is not closed");
            node.properties.emplace_back(s_.substr(at_ + 1, end - at_ - 1));
            at_ = end + 1;
            return true;
        }
        if (c == '*') {  // an array: "*N { a: ... }", skipped
            while (at_ < s_.size() && s_[at_] != '{') ++at_;
            const std::size_t end = s_.find('}', at_);
            if (end == std::string::npos) return Fail("an array is not closed");
            at_ = end + 1;
            return true;
        }
        const std::size_t start = at_;
        while (at_ < s_.size() && s_[at_] != ',' && s_[at_] != '\n' && s_[at_] != '{' && s_[at_] != '}' &&
               s_[at_] != ';')
            ++at_;
        std::string word = s_.substr(start, at_ - start);
        while (!word.empty() && std::isspace(static_cast<unsigned char>(word.back()))) word.pop_back();
        if (word.empty()) return Fail("expected a value");
        char* end = nullptr;
        const long long integer = std::strtoll(word.c_str(), &end, 10);
        if (end && *end == '\0' && end != word.c_str()) {
            node.properties.emplace_back(std::int64_t(integer));
            return true;
        }
        const double real = std::strtod(word.c_str(), &end);
        if (end && *end == '\0' && end != word.c_str())
            node.properties.emplace_back(real);
        else
            node.properties.emplace_back(word);  // a bare word, such as a boolean letter
        return true;
    }

    std::string s_;
    std::size_t at_ = 0;
    std::string& error_;
};

// The object name of a binary "Name\0\1Class" or an ASCII "Class::Name" name property.
std::string ObjectName(const std::string& raw) {
    if (const auto sep = raw.find(std::string("\0\x01", 2)); sep != std::string::npos) return raw.substr(0, sep);
    if (const auto sep = raw.find("::"); sep != std::string::npos) return raw.substr(sep + 2);
    return raw;
}

// Frames per second of FBX's TimeMode values; 0 for the default and custom modes and for a value that
// names no mode (the file may store any number there, a huge one or not a number at all).
double RateOfTimeMode(double mode) {
    constexpr double kRates[] = {0, 120, 100, 60, 50, 48, 30, 30, 29.97, 29.97, 25, 24, 1000, 23.976, 0, 96, 72, 59.94, 119.88};
    return mode >= 0 && mode < double(std::size(kRates)) ? kRates[std::size_t(mode)] : 0;
}

double Seconds(const std::optional<FbxNode::Value>& v) {
    if (!v) return 0;
    if (const auto* i = std::get_if<std::int64_t>(&*v)) return double(*i) / kFbxTicksPerSecond;
    if (const auto* d = std::get_if<double>(&*v)) return *d / kFbxTicksPerSecond;
    return 0;
}

std::optional<double> AsNumber(const std::optional<FbxNode::Value>& v) {
    if (!v) return std::nullopt;
    if (const auto* i = std::get_if<std::int64_t>(&*v)) return double(*i);
    if (const auto* d = std::get_if<double>(&*v)) return *d;
    return std::nullopt;
}

}  // namespace

const FbxNode* FbxNode::Child(const std::string& childName) const {
    for (const FbxNode& c : children)
        if (c.name == childName) return &c;
    return nullptr;
}

std::optional<double> FbxNode::Number(std::size_t index) const {
    return index < properties.size() ? AsNumber(properties[index]) : std::nullopt;
}

std::optional<std::int64_t> FbxNode::Integer(std::size_t index) const {
    if (index >= properties.size()) return std::nullopt;
    if (const auto* i = std::get_if<std::int64_t>(&properties[index])) return *i;
    return std::nullopt;
}

std::optional<std::string> FbxNode::Text(std::size_t index) const {
    if (index >= properties.size()) return std::nullopt;
    if (const auto* s = std::get_if<std::string>(&properties[index])) return *s;
    return std::nullopt;
}

const FbxNode* FbxDocument::Find(const std::string& name) const {
    for (const FbxNode& n : roots)
        if (n.name == name) return &n;
    return nullptr;
}

std::optional<FbxDocument> ReadFbx(std::span<const std::uint8_t> bytes, std::string& error) {
    FbxDocument doc;
    const bool binary = bytes.size() >= sizeof kBinaryMagic - 1 &&
                        std::memcmp(bytes.data(), kBinaryMagic, sizeof kBinaryMagic - 1) == 0;
    const bool ok = binary ? BinaryParser(bytes, error).Parse(doc) : TextParser(bytes, error).Parse(doc);
    if (!ok) return std::nullopt;
    return doc;
}

std::optional<FbxNode::Value> Property70(const FbxNode& node, const std::string& name) {
    const FbxNode* block = node.Child("Properties70");
    if (!block) return std::nullopt;
    for (const FbxNode& p : block->children)
        if (p.name == "P" && p.Text(0) == name && p.properties.size() > 4) return p.properties[4];
    return std::nullopt;
}

FbxFacts ReadFbxFacts(const FbxDocument& doc) {
    FbxFacts facts;
    if (const FbxNode* creator = doc.Find("Creator")) facts.creator = creator->Text(0).value_or("");
    if (const FbxNode* header = doc.Find("FBXHeaderExtension"); header && facts.creator.empty())
        if (const FbxNode* creator = header->Child("Creator")) facts.creator = creator->Text(0).value_or("");
    if (const FbxNode* documents = doc.Find("Documents"))
        if (const FbxNode* document = documents->Child("Document"))
            facts.sceneName = ObjectName(document->Text(1).value_or(""));
    if (const FbxNode* settings = doc.Find("GlobalSettings")) {
        facts.unitScaleFactor = AsNumber(Property70(*settings, "UnitScaleFactor"));
        const auto mode = AsNumber(Property70(*settings, "TimeMode"));
        const double rate = mode ? RateOfTimeMode(*mode) : 0;
        const auto custom = AsNumber(Property70(*settings, "CustomFrameRate"));
        if (rate > 0)
            facts.frameRate = rate;
        else if (custom && *custom > 0)
            facts.frameRate = *custom;
    }
    if (const FbxNode* objects = doc.Find("Objects"))
        for (const FbxNode& o : objects->children) {
            if (o.name != "AnimationStack") continue;
            FbxTake take;
            take.name = ObjectName(o.Text(1).value_or(""));
            take.start = Seconds(Property70(o, "LocalStart"));
            take.stop = Seconds(Property70(o, "LocalStop"));
            facts.takes.push_back(std::move(take));
        }
    return facts;
}

}  // namespace importer
