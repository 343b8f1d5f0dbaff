#include "importer/properties.h"

#include <cctype>
#include <sstream>

namespace importer {
namespace {

constexpr const char* kSlotNames[] = {"BALL_STRUCK", "MOUSE_SWING_START", "TOP_OF_SWING", "ADDRESS_BALL"};

std::string Upper(std::string s) {
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool IsInteger(const std::string& word) {
    std::size_t i = (!word.empty() && (word[0] == '-' || word[0] == '+')) ? 1 : 0;
    if (i == word.size() || word.size() > 10) return false;
    for (; i < word.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(word[i]))) return false;
    return true;
}

// A name or value that mentions key frames: "KEYFRAME", "KEYFRAME2", "kf", "Key Frame".
bool SpeaksOfKeyFrames(const std::string& text) {
    std::string compact;
    for (char c : Upper(text))
        if (std::isalnum(static_cast<unsigned char>(c))) compact += c;
    return compact.find("KEYFRAME") != std::string::npos || compact == "KF" || compact.rfind("KF", 0) == 0;
}

}  // namespace

std::string KeyFrameLine(const std::string& value) {
    std::istringstream in(Upper(value));
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    if (!words.empty() && words[0] == "KEYFRAME") words.erase(words.begin());
    if (words.size() != 2 || !IsInteger(words[0])) return "";
    for (const char* name : kSlotNames)
        if (words[1] == name) return "KEYFRAME " + std::to_string(std::stol(words[0])) + " " + name;
    return "";
}

PropertyText UserPropertyText(const std::vector<std::pair<std::string, std::string>>& properties) {
    PropertyText out;
    auto addLine = [&out](const std::string& line) {
        if (line.empty()) return;
        if (!out.text.empty()) out.text += "\r\n";
        out.text += line;
    };
    for (const auto& [name, value] : properties) {
        if (name == "UserProperties") {
            addLine(value);
            continue;
        }
        if (value.empty()) continue;
        // One key frame per line of the value (most often the value is one line).
        std::vector<std::string> keyLines;
        std::istringstream lines(value);
        bool allRead = true;
        for (std::string line; std::getline(lines, line);) {
            if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
            const std::string keyLine = KeyFrameLine(line);
            allRead = allRead && !keyLine.empty();
            keyLines.push_back(keyLine);
        }
        if (allRead && !keyLines.empty()) {
            for (const std::string& line : keyLines) addLine(line);
            continue;
        }
        if (SpeaksOfKeyFrames(name) || SpeaksOfKeyFrames(value)) out.unread.push_back(name + " = " + value);
        addLine(name + " = " + value);
    }
    return out;
}

}  // namespace importer
