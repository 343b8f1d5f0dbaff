#include "format/output_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vlo {
namespace {

// The process's file creation mask, read once: umask can only be read by setting it, which must not
// race with another thread creating files.
mode_t CreationMask() {
    static const mode_t mask = [] {
        const mode_t m = umask(0);
        umask(m);
        return m;
    }();
    return mask;
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    std::error_code ec;
    return fs::absolute(a, ec).lexically_normal() == fs::absolute(b, ec).lexically_normal() || fs::equivalent(a, b, ec);
}

std::string ReplaceProblem(const std::string& path, const std::string& kind, std::string_view start,
                           const std::vector<std::string>& others) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const std::string& file : others)
        if (!file.empty() && SameFile(path, file)) return "it is " + file + ", which this run reads or writes";
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) return "";
    if (!fs::is_regular_file(status)) return "it is not a file";
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open()) return "a file is there that cannot be read, left as it is";
    std::string head(start.size(), '\0');
    file.read(head.data(), std::streamsize(head.size()));
    head.resize(std::size_t(file.gcount()));
    if (head.empty() || head == start) return "";
    return "a file that is no " + kind + " is there, left as it is";
}

std::string TemporaryNamePrefix(const std::string& target) {
    std::string prefix = ".";
    prefix += std::filesystem::path(target).filename().string();
    prefix += ".tmp-";
    return prefix;
}

std::string SiblingFileName(const std::string& outputPath, const char* extension) {
    const auto slash = outputPath.find_last_of("\\/");
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const auto dot = outputPath.find_last_of('.');
    return (dot == std::string::npos || dot < nameStart ? outputPath : outputPath.substr(0, dot)) + extension;
}

std::string AnimationFileName(const std::string& outputPath) {
    const std::string vla = SiblingFileName(outputPath, ".VLA");
    const bool sameLength = vla.size() == outputPath.size();
    auto sameLetter = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    };
    return sameLength && std::equal(vla.begin(), vla.end(), outputPath.begin(), sameLetter) ? outputPath : vla;
}

OutputFile::~OutputFile() { Discard(); }

bool OutputFile::Fail(int errorNumber) {
    if (error_.empty()) error_ = std::strerror(errorNumber);
    ok_ = false;
    return false;
}

bool OutputFile::Open(const std::string& target, IoFaultPlan* faults) {
    Discard();
    finished_ = false;
    error_.clear();
    keepMode_.reset();
    target_ = target;
    faults_ = faults;
    // An existing target is replaced only when the user may write it, and keeps its permissions.
    struct stat existing {};
    if (stat(target.c_str(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode)) return Fail(EISDIR);
        // No write bit at all means read-only, even to a user (root) whom the system would let write.
        if ((existing.st_mode & 0222) == 0) return Fail(EACCES);
        if (access(target.c_str(), W_OK) != 0) return Fail(errno);
        keepMode_ = existing.st_mode & 07777;
    }
    const std::filesystem::path path(target);
    const std::string pattern = (path.parent_path() / (TemporaryNamePrefix(target) + "XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = mkstemp(buffer.data());
    if (fd < 0) return Fail(errno);
    file_ = fdopen(fd, "w+b");
    if (!file_) {
        const int why = errno;
        close(fd);
        std::remove(buffer.data());
        return Fail(why);
    }
    // mkstemp creates the file for its owner only; give it the permissions a plain create would, or
    // those of the file it replaces.
    fchmod(fd, keepMode_ ? *keepMode_ : (0666 & ~CreationMask()));
    temp_ = buffer.data();
    written_ = writebackFrom_ = 0;
    ok_ = true;
    return true;
}

bool OutputFile::Fault() {
    if (ok_ && faults_ && faults_->Fail()) {
        error_ = "simulated failure";
        ok_ = false;
    }
    return !ok_;
}

bool OutputFile::Write(const void* data, std::size_t size) {
    if (!ok_ || Fault()) return false;
    if (size != 0 && std::fwrite(data, 1, size, file_) != size) return Fail(errno);
    written_ += size;
    constexpr std::uint64_t kWritebackStep = 1 << 20;
    if (written_ - writebackFrom_ >= kWritebackStep) StartWriteback();
    return ok_;
}

void OutputFile::StartWriteback() {
    if (!ok_ || written_ == writebackFrom_) return;
    if (std::fflush(file_) != 0) {
        Fail(errno);
        return;
    }
#ifdef __linux__
    // Only a hint: where it is not supported, Finish waits for the whole file instead.
    sync_file_range(fileno(file_), off64_t(writebackFrom_), off64_t(written_ - writebackFrom_), SYNC_FILE_RANGE_WRITE);
#endif
    writebackFrom_ = written_;
}

bool OutputFile::Finish() {
    if (!file_) return false;
    bool good = ok_;
    if (good && (Fault() || std::fflush(file_) != 0 || fsync(fileno(file_)) != 0)) {
        if (error_.empty()) error_ = std::strerror(errno);
        good = false;
    }
    const bool closeFault = good && Fault();
    if (std::fclose(file_) != 0 || closeFault) {
        if (error_.empty()) error_ = std::strerror(errno);
        good = false;
    }
    file_ = nullptr;
    ok_ = false;
    finished_ = good;
    if (!good) Discard();
    return good;
}

bool OutputFile::Publish() {
    if (!finished_) return false;
    finished_ = false;
    const bool good = std::rename(temp_.c_str(), target_.c_str()) == 0;
    if (good)
        temp_.clear();
    else if (error_.empty())
        error_ = std::strerror(errno);
    Discard();
    return good;
}

void OutputFile::Discard() {
    finished_ = false;
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temp_.empty()) {
        std::remove(temp_.c_str());
        temp_.clear();
    }
    ok_ = false;
}

}  // namespace vlo
