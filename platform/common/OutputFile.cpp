#include <new>

#include "platform/Files.h"
#include "platform/common/OpenForWriting.h"

namespace platform {

namespace {

// Reports written as one value at a time still reach the disk in large
// blocks.
constexpr std::size_t kStreamBufferBytes = 256 * 1024;

}  // namespace

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
    stream_ = detail::OpenForWriting(path);
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
