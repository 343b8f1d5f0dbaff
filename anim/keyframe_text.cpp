// Swing key frames from the selected node's user-defined properties.
#include <cctype>
#include <climits>
#include <cstdlib>
#include <string>

#include "plugin/exporter.h"

namespace vlo {

bool ParseKeyFrameEntry(const std::string& text, std::size_t at, int& frame, std::string& word) {
    // The layout "KEYFRAME %d %s": the word, optional white space, a signed decimal number, optional
    // white space, then a word of non-white-space characters of any length.
    std::size_t i = at + 8;
    auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (i < text.size() && isSpace(text[i])) ++i;
    std::size_t digitsStart = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t firstDigit = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    if (i == firstDigit) return false;
    const long long value = std::strtoll(text.substr(digitsStart, i - digitsStart).c_str(), nullptr, 10);
    if (value < INT_MIN || value > INT_MAX) return false;
    while (i < text.size() && isSpace(text[i])) ++i;
    const std::size_t wordStart = i;
    while (i < text.size() && !isSpace(text[i])) ++i;
    if (i == wordStart) return false;
    frame = int(value);
    word = text.substr(wordStart, i - wordStart);
    return true;
}

}  // namespace vlo

void VloExporter::ReadKeyFrameFlags(const std::string& text) {
    if (text.empty()) return;
    std::string upper = text;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = upper.find("KEYFRAME", from);
        if (at == std::string::npos) return;
        int frame = 0;
        std::string word;
        if (!vlo::ParseKeyFrameEntry(upper, at, frame, word)) return;
        for (KeyFrameFlag& flag : keyFrameFlags)
            if (word == flag.name) {
                flag.enabled = TRUE;
                flag.frame = frame;
            }
        from = at + word.size() + 9;
    }
}

void VloExporter::BuildFrameFlags() {
    frameFlags.clear();
    for (int f = startFrame; f <= endFrame; f += frameStep) {
        std::uint32_t word = 0;
        for (int i = 0; i < kNumKeyFrameFlags; ++i)
            if (keyFrameFlags[i].enabled && keyFrameFlags[i].frame == f) word |= 1u << i;
        frameFlags.push_back(word);
    }
}
