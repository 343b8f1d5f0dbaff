#include "format/output_file.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vlo {

OutputFile::~OutputFile() { Discard(); }

bool OutputFile::Open(const std::string& target, Mode mode, IoFaultPlan* faults) {
    Discard();
    finished_ = false;
    target_ = target;
    mode_ = mode;
    faults_ = faults;
    position_ = 0;
    const std::filesystem::path path(target);
    std::string pattern = (path.parent_path() / ("." + path.filename().string() + ".tmp-XXXXXX")).string();
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
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
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
    position_ += size;
    return true;
}

bool OutputFile::Printf(const char* format, ...) {
    if (!ok_) return false;
    // Most lines fit the stack buffer: one formatting pass, no allocation.
    char stack[512];
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(stack, sizeof stack, format, args);
    va_end(args);
    std::string heap;
    const char* text = stack;
    if (length >= int(sizeof stack)) {
        heap.resize(std::size_t(length));
        std::vsnprintf(heap.data(), heap.size() + 1, format, copy);
        text = heap.data();
    }
    va_end(copy);
    if (length < 0) {
        ok_ = false;
        return false;
    }
    if (mode_ == Mode::Binary) return Write(text, std::size_t(length));
    // Text mode: each "\n" goes out as "\r\n", in one write per call.
    line_.clear();
    for (const char* p = text; p != text + length; ++p) {
        if (*p == '\n') line_ += '\r';
        line_ += *p;
    }
    return Write(line_.data(), line_.size());
}

bool OutputFile::Seek(std::uint64_t position) {
    if (!ok_ || Fault()) return false;
    if (std::fseek(file_, long(position), SEEK_SET) != 0) {
        ok_ = false;
        return false;
    }
    position_ = position;
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
