// Output files that never leave partial content behind.
//
// An OutputFile writes to a temporary file in the target's folder and renames it over the target
// only in Publish(), after every write, flush and close has succeeded. A file that is never
// published (an error, an exception, a cancelled export) is removed, and an existing file at the
// target stays exactly as it was. The first failure is sticky: later operations do nothing and
// return false.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vlo {

// Test hook: makes the k-th file operation (counted across every OutputFile sharing the plan) fail
// as a full disk would. Operations counted: each write, flush and close.
struct IoFaultPlan {
    long failAt = -1;  // 1-based operation number to fail; -1: never
    long count = 0;    // operations seen so far
    bool Fail() { return ++count == failAt; }
};

// The name of a file written beside outputPath: its file-name part's extension replaced by extension
// (from the file name's last "."), or extension appended when the file name has no dot. Other dots
// stay, so "golfer.swing.vla" and "golfer.idle.vla" name two files; dots in folder names are left
// alone, so the file always lands beside the output.
std::string SiblingFileName(const std::string& outputPath, const char* extension);

// The animation file written for outputPath: its extension replaced by ".VLA", except that an
// extension that already is ".VLA" in another case ("swing.vla") is kept. The host's file system
// does not tell cases apart, so there the two names are one file; on one that does, the file the
// user named is the one written, not a sibling of it.
std::string AnimationFileName(const std::string& outputPath);

// Whether two paths name one file: the same path once made absolute and normal, or, when both
// exist, the same file by another spelling (a link, "./").
bool SameFile(const std::string& a, const std::string& b);

// Why a file of a kind (a "report", ...) may not be written at path, "" when it may: path is one of
// the files named in others (the files the same run reads or writes, whether or not they exist yet),
// or a file is there that is neither empty nor an earlier one of that kind (its first bytes are not
// start). A tool asks before it writes anything, so that a mistyped name loses no file.
std::string ReplaceProblem(const std::string& path, const std::string& kind, std::string_view start,
                           const std::vector<std::string>& others = {});

// How the names of the temporary files written for target begin (".NAME.tmp-", then six random
// characters), without the folder: what a clean-up after a killed writer looks for beside target.
std::string TemporaryNamePrefix(const std::string& target);

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the temporary file beside target. False when it cannot be created, or when target exists
    // and may not be written (a read-only file or a folder is never replaced). A file that is replaced
    // keeps its permission bits.
    bool Open(const std::string& target, IoFaultPlan* faults = nullptr);
    const std::string& Target() const { return target_; }
    // The temporary file beside the target while it is open or finished and not yet published.
    const std::string& TempPath() const { return temp_; }
    // The system's reason for the first failure ("Permission denied"); "" while nothing failed.
    const std::string& Error() const { return error_; }

    bool Write(const void* data, std::size_t size);
    bool Write(const std::vector<std::uint8_t>& bytes) { return Write(bytes.data(), bytes.size()); }
    bool Write(std::string_view text) { return Write(text.data(), text.size()); }
    // Asks the system to start putting what is written so far on the disk, without waiting for it,
    // so that Finish, which waits until the file is on the disk, has less left to wait for. Writes
    // do this themselves every few megabytes.
    void StartWriteback();

    // Flushes and closes the temporary file. False when this or any earlier operation failed.
    bool Finish();
    // Renames the finished temporary file over the target. False (target unchanged) when the file was
    // not finished successfully or the rename fails.
    bool Publish();
    // Closes and removes the temporary file.
    void Discard();

private:
    bool Fault();
    bool Fail(int errorNumber);

    std::FILE* file_ = nullptr;
    std::uint64_t written_ = 0;       // bytes written so far
    std::uint64_t writebackFrom_ = 0;  // the first byte whose writeback has not been started
    std::string target_;
    std::string temp_;
    IoFaultPlan* faults_ = nullptr;
    bool ok_ = false;
    bool finished_ = false;
    std::string error_;
    std::optional<unsigned> keepMode_;  // the permission bits of the file being replaced
};

}  // namespace vlo
