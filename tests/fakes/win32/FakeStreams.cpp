#include "tests/fakes/FakeStreams.h"

#include <stdio.h>

namespace fake::detail {

std::FILE* OpenOnDisk(const std::filesystem::path& path) {
    return _wfopen(path.c_str(), L"wb");
}

// Windows' C runtime has no stream over memory: the bytes go through a
// temporary file and are read back before it closes.
std::FILE* OpenMemoryStream(std::string&) {
    return std::tmpfile();
}

bool CollectMemoryStream(std::FILE* stream, std::string& bytes) {
    if (std::fflush(stream) != 0 || std::fseek(stream, 0, SEEK_END) != 0) {
        return false;
    }
    const long size = std::ftell(stream);
    if (size < 0 || std::fseek(stream, 0, SEEK_SET) != 0) {
        return false;
    }
    bytes.resize(static_cast<std::size_t>(size));
    return std::fread(bytes.data(), 1, bytes.size(), stream) == bytes.size();
}

}  // namespace fake::detail
