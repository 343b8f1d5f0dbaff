#include "anim/keyframe_text.h"

#include <cctype>
#include <climits>
#include <cstdlib>

namespace vlo {

bool ParseKeyFrameEntry(const std::string& text, std::size_t at, int& frame, std::string& word) {
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

void ReadKeyFrameFlags(const std::string& text, KeyFrameFlags& flags) {
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
        if (!ParseKeyFrameEntry(upper, at, frame, word)) return;
        for (int slot = 0; slot < kNumKeyFrameSlots; ++slot)
            if (word == kKeyFrameNames[slot]) flags[std::size_t(slot)] = KeyFrameFlag{true, frame};
        from = at + word.size() + 9;
    }
}

std::vector<std::uint32_t> BuildFrameFlags(const KeyFrameFlags& flags, int startFrame, int endFrame) {
    std::vector<std::uint32_t> words;
    for (int f = startFrame; f <= endFrame; ++f) {
        std::uint32_t word = 0;
        for (int slot = 0; slot < kNumKeyFrameSlots; ++slot)
            if (flags[std::size_t(slot)].enabled && flags[std::size_t(slot)].frame == f) word |= KeyFrameBit(slot);
        words.push_back(word);
    }
    return words;
}

}  // namespace vlo
