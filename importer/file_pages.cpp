#include "importer/file_pages.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace importer {

bool FilePages::Read(const std::string& path, std::string& error) {
    Release();
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) {
        error = "cannot open " + path;
        return false;
    }
    struct stat status {};
    bool good = ::fstat(file, &status) == 0;
    const std::size_t size = good ? std::size_t(status.st_size) : 0;
    if (good && size > 0) {
        void* pages = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        good = pages != MAP_FAILED;
        if (good) {
            pages_ = pages;
            mapped_ = size;
        }
        // A file cut short while it is read gives the bytes it still had.
        while (good && size_ < size) {
            const ssize_t n = ::read(file, static_cast<char*>(pages_) + size_, size - size_);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                good = n == 0;
                break;
            }
            size_ += std::size_t(n);
        }
    }
    ::close(file);
    if (!good) {
        Release();
        error = "cannot read " + path;
    }
    return good;
}

void FilePages::Release() {
    if (pages_) ::munmap(pages_, mapped_);
    pages_ = nullptr;
    mapped_ = size_ = 0;
}

}  // namespace importer
