// How every step of an export reports: a notice is one message for the user (the text, caption and
// box style the plug-in shows) with what it means for the export. Steps report the notices after
// which the export goes on through a NoticeSink as they happen, and return a Result that either holds
// what they made or the notice that stopped them.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace vlo {

enum class Severity {
    Continues,  // the export goes on
    Stops,      // the export stops and writes nothing
};

struct Notice {
    Severity severity = Severity::Stops;
    std::string text;
    std::string caption = "Error";  // the message box caption
    unsigned style = 0x30;          // the message box style: OK button, exclamation icon
    std::string object;             // the scene object concerned, when it is not the exported one

    // A message after which the export stops (caption "Error").
    static Notice Stop(std::string text, std::string object = {}) {
        return {Severity::Stops, std::move(text), "Error", 0x30, std::move(object)};
    }
    // A message with the caption "Error" after which the export goes on.
    static Notice Error(std::string text, std::string object = {}) {
        return {Severity::Continues, std::move(text), "Error", 0x30, std::move(object)};
    }
    // A message with the caption "Warning" after which the export goes on.
    static Notice Warning(std::string text, std::string object = {}) {
        return {Severity::Continues, std::move(text), "Warning", 0x30, std::move(object)};
    }
};

// Receives the notices of the steps that go on, in the order they happen.
class NoticeSink {
public:
    virtual void Report(const Notice& notice) = 0;

protected:
    ~NoticeSink() = default;
};

// What a step made, or the notice (of severity Stops) that stopped it.
template <class T>
class Result {
public:
    Result(T value) : v_(std::move(value)) {}
    Result(Notice failure) : v_(std::move(failure)) {}

    bool Ok() const { return v_.index() == 0; }
    T& operator*() { return std::get<0>(v_); }
    const T& operator*() const { return std::get<0>(v_); }
    T* operator->() { return &std::get<0>(v_); }
    const T* operator->() const { return &std::get<0>(v_); }
    const Notice& Failure() const { return std::get<1>(v_); }

private:
    std::variant<T, Notice> v_;
};

}  // namespace vlo
