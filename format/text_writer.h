// Builds the information text files in memory: printf-style lines, each "\n" written as "\r\n" (the
// host writes its text files in text mode).
#pragma once

#include <string>

namespace vlo {

class TextWriter {
public:
    void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void Reserve(std::size_t size) { text_.reserve(size); }
    const std::string& Text() const { return text_; }
    std::string Take() { return std::move(text_); }

private:
    void Append(const char* text, std::size_t length);
    std::string text_;
};

}  // namespace vlo
