#include <new>

#include "platform/Files.h"

namespace platform {

namespace {

// Reports written as one value at a time still reach the disk in large
// blocks.
constexpr std::size_t kStreamBufferBytes = 256 * 1024;

}  // namespace

OutputFile::~OutputFile() {
    Discard();
}

bool OutputFile::Open(std::u16string_view path) {
    Discard();
    failed_ = false;
    if (!detail::CreateTemporaryFile(path, temporary_)) {
        return false;
    }
    // glibc ignores the size unless it is given the memory too.
    buffer_.reset(new (std::nothrow) char[kStreamBufferBytes]);
    if (buffer_) {
        std::setvbuf(temporary_.stream, buffer_.get(), _IOFBF, kStreamBufferBytes);
    }
    return true;
}

void OutputFile::Write(const void* bytes, std::size_t size) {
    if (temporary_.stream == nullptr) {
        failed_ = true;
        return;
    }
    if (size != 0 && std::fwrite(bytes, 1, size, temporary_.stream) != size) {
        failed_ = true;
    }
}

CommitResult OutputFile::Commit() {
    if (temporary_.stream == nullptr) {
        return CommitResult::kNotWritten;
    }
    const CommitResult result = detail::FinishTemporaryFile(temporary_, !failed_);
    buffer_.reset();
    return failed_ ? CommitResult::kNotWritten : result;
}

void OutputFile::Discard() {
    if (temporary_.stream != nullptr) {
        detail::FinishTemporaryFile(temporary_, false);
        buffer_.reset();
    }
}

}  // namespace platform
