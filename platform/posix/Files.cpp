#include "platform/Files.h"

#include <sys/stat.h>

#include <new>
#include <string>

#include "platform/Text.h"

namespace platform {

namespace {

// Reports written as one value at a time still reach the disk in large
// blocks.
constexpr std::size_t kStreamBufferBytes = 256 * 1024;

// A path holding a NUL would name a different, shorter path to the system:
// such a path names nothing.
bool ToSystemPath(std::u16string_view path, std::string& systemPath) {
    if (path.empty() || path.find(u'\0') != std::u16string_view::npos) {
        return false;
    }
    systemPath = Utf16ToUtf8(path);
    return true;
}

}  // namespace

bool PathExists(std::u16string_view path) {
    std::string systemPath;
    struct stat status {};
    return ToSystemPath(path, systemPath) && stat(systemPath.c_str(), &status) == 0;
}

bool MakeDirectory(std::u16string_view path) {
    std::string systemPath;
    return ToSystemPath(path, systemPath) && mkdir(systemPath.c_str(), 0777) == 0;
}

OutputFile::~OutputFile() {
    if (stream_ != nullptr) {
        std::fclose(stream_);
    }
}

bool OutputFile::Open(std::u16string_view path) {
    if (stream_ != nullptr) {
        Close();
    }
    failed_ = false;
    std::string systemPath;
    if (!ToSystemPath(path, systemPath)) {
        return false;
    }
    stream_ = std::fopen(systemPath.c_str(), "wb");
    if (stream_ == nullptr) {
        return false;
    }
    // glibc ignores the size unless it is given the memory too.
    buffer_.reset(new (std::nothrow) char[kStreamBufferBytes]);
    if (buffer_) {
        std::setvbuf(stream_, buffer_.get(), _IOFBF, kStreamBufferBytes);
    }
    return true;
}

void OutputFile::Write(const void* bytes, std::size_t size) {
    if (stream_ == nullptr) {
        failed_ = true;
        return;
    }
    if (size != 0 && std::fwrite(bytes, 1, size, stream_) != size) {
        failed_ = true;
    }
}

bool OutputFile::Close() {
    if (stream_ == nullptr) {
        return false;
    }
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    buffer_.reset();
    return closed && !failed_;
}

}  // namespace platform
