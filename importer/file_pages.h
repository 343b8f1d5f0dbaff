// A file's bytes in memory pages of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace importer {

// The whole of a file, read into an anonymous mapping of its own that goes back to the system as a
// whole with the object. (A block of that size from malloc would, once freed, raise glibc's
// threshold for giving large blocks mappings of their own, and the large blocks assimp makes after
// it would then stay in the heap: 2 MB more at the peak of a 2.4 MB FBX file's export.)
class FilePages {
public:
    FilePages() = default;
    FilePages(const FilePages&) = delete;
    FilePages& operator=(const FilePages&) = delete;
    ~FilePages() { Release(); }

    // Reads the file at path as it is when opened; false with a message ("cannot open PATH",
    // "cannot read PATH") when it cannot be read.
    bool Read(const std::string& path, std::string& error);
    std::span<const std::uint8_t> Bytes() const { return {static_cast<const std::uint8_t*>(pages_), size_}; }

private:
    void Release();

    void* pages_ = nullptr;
    std::size_t mapped_ = 0;  // bytes mapped
    std::size_t size_ = 0;    // bytes read
};

}  // namespace importer
