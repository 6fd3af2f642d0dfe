#include "platform/Files.h"

#include <new>
#include <optional>

#include "platform/win32/Wide.h"

#include <shlwapi.h>

namespace platform {

namespace {

// Reports written as one value at a time still reach the disk in large
// blocks.
constexpr std::size_t kStreamBufferBytes = 256 * 1024;

std::optional<std::wstring> ToSystemPath(std::u16string_view path) {
    if (path.empty()) {
        return std::nullopt;
    }
    return win32::ToCallText(path);
}

}  // namespace

bool PathExists(std::u16string_view path) {
    const std::optional<std::wstring> systemPath = ToSystemPath(path);
    return systemPath && PathFileExistsW(systemPath->c_str()) == TRUE;
}

bool MakeDirectory(std::u16string_view path) {
    const std::optional<std::wstring> systemPath = ToSystemPath(path);
    return systemPath && CreateDirectoryW(systemPath->c_str(), nullptr) != 0;
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
    const std::optional<std::wstring> systemPath = ToSystemPath(path);
    if (!systemPath) {
        return false;
    }
    stream_ = _wfopen(systemPath->c_str(), L"wb");
    if (stream_ == nullptr) {
        return false;
    }
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
