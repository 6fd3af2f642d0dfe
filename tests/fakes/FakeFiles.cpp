// The fake OS layer's files: the real disk through std::filesystem, or the
// in-memory files of PlatformState.

#include <stdio.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

#include "platform/Files.h"
#include "tests/fakes/FakePlatform.h"

namespace {

using fake::Platform;

constexpr char16_t kSeparator = u'/';
constexpr std::size_t kMostNameUnits = 255;

bool IsMemoryDirectory(const std::u16string& key) {
    return key == u"/" || Platform().memoryDirectories.count(key) != 0;
}

std::u16string ParentOf(const std::u16string& key) {
    const std::size_t last = key.rfind(kSeparator);
    return last == 0 ? std::u16string(u"/") : key.substr(0, last);
}

// A report being written to memory: open_memstream fills `data` and `size`,
// which go into the in-memory files when the stream is closed.
struct MemoryStream {
    std::u16string key;
    char* data = nullptr;
    std::size_t size = 0;
};

std::map<std::FILE*, std::unique_ptr<MemoryStream>>& MemoryStreams() {
    static std::map<std::FILE*, std::unique_ptr<MemoryStream>> streams;
    return streams;
}

std::FILE* OpenOnDisk(const std::filesystem::path& path) {
#if defined(_WIN32)
    return _wfopen(path.c_str(), L"wb");
#else
    return std::fopen(path.c_str(), "wb");
#endif
}

#if defined(_WIN32)
// Windows' C runtime has no open_memstream: the bytes go through a temporary
// file and are read back into `data` before it closes.
std::FILE* OpenMemoryStream(MemoryStream&) {
    return std::tmpfile();
}

bool CollectMemoryStream(std::FILE* file, MemoryStream& stream) {
    if (std::fflush(file) != 0 || std::fseek(file, 0, SEEK_END) != 0) {
        return false;
    }
    const long size = std::ftell(file);
    if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
        return false;
    }
    stream.size = static_cast<std::size_t>(size);
    stream.data = static_cast<char*>(std::malloc(stream.size + 1));
    return stream.data != nullptr && std::fread(stream.data, 1, stream.size, file) == stream.size;
}
#else
std::FILE* OpenMemoryStream(MemoryStream& stream) {
    return open_memstream(&stream.data, &stream.size);
}

bool CollectMemoryStream(std::FILE*, MemoryStream&) {
    return true;
}
#endif

}  // namespace

namespace fake {

std::optional<std::u16string> MemoryPath(std::u16string_view path, bool* directoryOnly) {
    if (path.empty() || path.find(u'\0') != std::u16string_view::npos) {
        return std::nullopt;
    }
    std::u16string whole;
    if (path.front() != kSeparator) {
        whole = Platform().currentDirectory.value_or(u"/");
        whole += kSeparator;
    }
    whole += path;
    if (directoryOnly != nullptr) {
        *directoryOnly = path.back() == kSeparator;
    }
    std::vector<std::u16string> names;
    std::size_t start = 0;
    while (start <= whole.size()) {
        std::size_t end = whole.find(kSeparator, start);
        if (end == std::u16string::npos) {
            end = whole.size();
        }
        const std::u16string name = whole.substr(start, end - start);
        if (name.size() > kMostNameUnits) {
            return std::nullopt;
        }
        if (name == u"..") {
            if (!names.empty()) {
                names.pop_back();
            }
        } else if (!name.empty() && name != u".") {
            names.push_back(name);
        }
        start = end + 1;
    }
    std::u16string key;
    for (const std::u16string& name : names) {
        key += kSeparator;
        key += name;
    }
    return key.empty() ? std::u16string(u"/") : key;
}

}  // namespace fake

namespace platform {

bool PathExists(std::u16string_view path) {
    if (!Platform().inMemoryFiles) {
        std::error_code error;
        return std::filesystem::exists(std::filesystem::path(path), error);
    }
    bool directoryOnly = false;
    const auto key = fake::MemoryPath(path, &directoryOnly);
    if (!key) {
        return false;
    }
    return IsMemoryDirectory(*key) || (!directoryOnly && Platform().memoryFiles.count(*key) != 0);
}

bool MakeDirectory(std::u16string_view path) {
    const std::u16string spelt(path);
    if (Platform().uncreatableDirectories.count(spelt) != 0) {
        return false;
    }
    if (!Platform().inMemoryFiles) {
        std::error_code error;
        if (!std::filesystem::create_directory(std::filesystem::path(path), error)) {
            return false;
        }
    } else {
        const auto key = fake::MemoryPath(path);
        if (!key || IsMemoryDirectory(*key) || Platform().memoryFiles.count(*key) != 0 ||
            !IsMemoryDirectory(ParentOf(*key))) {
            return false;
        }
        Platform().memoryDirectories.insert(*key);
    }
    Platform().createdDirectories.push_back(spelt);
    return true;
}

OutputFile::~OutputFile() {
    Close();
}

bool OutputFile::Open(std::u16string_view path) {
    Close();
    failed_ = false;
    if (!Platform().inMemoryFiles) {
        stream_ = OpenOnDisk(std::filesystem::path(path));
        return stream_ != nullptr;
    }
    bool directoryOnly = false;
    const auto key = fake::MemoryPath(path, &directoryOnly);
    if (!key || directoryOnly || IsMemoryDirectory(*key) || !IsMemoryDirectory(ParentOf(*key))) {
        return false;
    }
    auto stream = std::make_unique<MemoryStream>();
    stream->key = *key;
    stream_ = OpenMemoryStream(*stream);
    if (stream_ == nullptr) {
        return false;
    }
    Platform().memoryFiles[*key].clear();
    MemoryStreams().emplace(stream_, std::move(stream));
    return true;
}

void OutputFile::Write(const void* bytes, std::size_t size) {
    if (stream_ == nullptr || std::fwrite(bytes, 1, size, stream_) != size) {
        failed_ = true;
    }
}

bool OutputFile::Close() {
    if (stream_ == nullptr) {
        return false;
    }
    const auto found = MemoryStreams().find(stream_);
    const bool collected =
        found == MemoryStreams().end() || CollectMemoryStream(stream_, *found->second);
    const bool closed = std::fclose(stream_) == 0 && collected;
    if (found != MemoryStreams().end()) {
        MemoryStream& stream = *found->second;
        if (stream.data != nullptr) {
            Platform().memoryFiles[stream.key].assign(stream.data, stream.size);
            std::free(stream.data);
        }
        MemoryStreams().erase(found);
    }
    stream_ = nullptr;
    return closed && !failed_;
}

}  // namespace platform
