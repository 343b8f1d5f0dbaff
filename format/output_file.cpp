#include "format/output_file.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
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

std::string SiblingFileName(const std::string& outputPath, const char* extension) {
    const auto slash = outputPath.find_last_of("\\/");
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const auto dot = outputPath.find('.', nameStart);
    return (dot == std::string::npos ? outputPath : outputPath.substr(0, dot)) + extension;
}

OutputFile::~OutputFile() { Discard(); }

bool OutputFile::Open(const std::string& target, IoFaultPlan* faults) {
    Discard();
    finished_ = false;
    target_ = target;
    faults_ = faults;
    const std::filesystem::path path(target);
    std::string hidden = ".";
    hidden += path.filename().string();
    hidden += ".tmp-XXXXXX";
    const std::string pattern = (path.parent_path() / hidden).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = mkstemp(buffer.data());
    if (fd < 0) return false;
    file_ = fdopen(fd, "w+b");
    if (!file_) {
        close(fd);
        std::remove(buffer.data());
        return false;
    }
    // mkstemp creates the file for its owner only; give it the permissions a plain create would.
    fchmod(fd, 0666 & ~CreationMask());
    temp_ = buffer.data();
    ok_ = true;
    return true;
}

bool OutputFile::Fault() {
    if (faults_ && faults_->Fail()) ok_ = false;
    return !ok_;
}

bool OutputFile::Write(const void* data, std::size_t size) {
    if (!ok_ || Fault()) return false;
    if (size != 0 && std::fwrite(data, 1, size, file_) != size) {
        ok_ = false;
        return false;
    }
    return true;
}

bool OutputFile::Finish() {
    if (!file_) return false;
    bool good = ok_;
    if (good && (Fault() || std::fflush(file_) != 0 || fsync(fileno(file_)) != 0)) good = false;
    const bool closeFault = good && Fault();
    if (std::fclose(file_) != 0 || closeFault) good = false;
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
    if (good) temp_.clear();
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
