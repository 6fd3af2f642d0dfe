#include "tests/fakes/FakeStreams.h"

#include <stdio.h>

#include <new>

namespace fake::detail {
namespace {

// A stream of the C library's own with a write function of ours: unlike
// open_memstream's, it takes the buffer the report file gives it.
ssize_t Append(void* cookie, const char* bytes, std::size_t size) {
    try {
        static_cast<std::string*>(cookie)->append(bytes, size);
        return static_cast<ssize_t>(size);
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

}  // namespace

std::FILE* OpenOnDisk(const std::filesystem::path& path) {
    return std::fopen(path.c_str(), "wb");
}

std::FILE* OpenMemoryStream(std::string& bytes) {
    return fopencookie(&bytes, "wb", {nullptr, Append, nullptr, nullptr});
}

bool CollectMemoryStream(std::FILE*, std::string&) {
    return true;
}

}  // namespace fake::detail
