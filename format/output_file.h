// Output files that never leave partial content behind.
//
// An OutputFile writes to a temporary file in the target's folder and renames it over the target
// only in Commit(), after every write, seek, flush and close has succeeded. A file that is never
// committed (an error, an exception, a cancelled export) is removed, and an existing file at the
// target stays exactly as it was. The first failure is sticky: later operations do nothing and
// return false.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace vlo {

// Test hook: makes the k-th file operation (counted across every OutputFile sharing the plan) fail
// as a full disk would. Operations counted: each write, seek, flush and close.
struct IoFaultPlan {
    long failAt = -1;  // 1-based operation number to fail; -1: never
    long count = 0;    // operations seen so far
    bool Fail() { return ++count == failAt; }
};

class OutputFile {
public:
    enum class Mode { Binary, Text };  // Text writes each "\n" as "\r\n"

    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the temporary file beside target. False when it cannot be created.
    bool Open(const std::string& target, Mode mode, IoFaultPlan* faults = nullptr);
    bool IsOpen() const { return file_ != nullptr; }
    bool Ok() const { return ok_; }
    const std::string& Target() const { return target_; }

    bool Write(const void* data, std::size_t size);
    template <class T>
    bool WriteRecord(const T& record) {
        return Write(&record, sizeof(T));
    }
    // printf-style text; in Text mode "\n" becomes "\r\n".
    bool Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    std::uint64_t Tell() const { return position_; }
    bool Seek(std::uint64_t position);

    // Flushes and closes the temporary file. False when this or any earlier operation failed.
    bool Finish();
    // Renames the finished temporary file over the target. False (target unchanged) when the file was
    // not finished successfully or the rename fails.
    bool Publish();
    bool Commit() { return Finish() && Publish(); }
    // Closes and removes the temporary file.
    void Discard();

private:
    bool Fault();

    std::FILE* file_ = nullptr;
    std::string target_;
    std::string temp_;
    Mode mode_ = Mode::Binary;
    IoFaultPlan* faults_ = nullptr;
    std::uint64_t position_ = 0;
    bool ok_ = false;
    bool finished_ = false;
    std::string line_;  // reused by Printf
};

}  // namespace vlo
