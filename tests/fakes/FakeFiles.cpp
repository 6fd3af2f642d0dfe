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
// which go into the in-memory files when the stream is closed. The Windows
// runtime has no memory streams; there an anonymous temporary file stands in
// and is read back before it is closed.
struct MemoryStream {
    std::u16string key;
    char* data = nullptr;
    std::size_t size = 0;
};

std::map<std::FILE*, std::unique_ptr<MemoryStream>>& MemoryStreams() {
    static std::map<std::FILE*, std::unique_ptr<MemoryStream>> streams;
    return streams;
}

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
        stream_ = std::fopen(std::filesystem::path(path).string().c_str(), "wb");
        return stream_ != nullptr;
    }
    bool directoryOnly = false;
    const auto key = fake::MemoryPath(path, &directoryOnly);
    if (!key || directoryOnly || IsMemoryDirectory(*key) || !IsMemoryDirectory(ParentOf(*key))) {
        return false;
    }
    auto stream = std::make_unique<MemoryStream>();
    stream->key = *key;
#if defined(_WIN32)
    stream_ = std::tmpfile();
#else
    stream_ = open_memstream(&stream->data, &stream->size);
#endif
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
#if defined(_WIN32)
    if (const auto found = MemoryStreams().find(stream_); found != MemoryStreams().end()) {
        std::string& contents = Platform().memoryFiles[found->second->key];
        contents.clear();
        char chunk[4096];
        std::rewind(stream_);
        for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, stream_)) != 0;) {
            contents.append(chunk, got);
        }
    }
#endif
    const bool closed = std::fclose(stream_) == 0;
    if (const auto found = MemoryStreams().find(stream_); found != MemoryStreams().end()) {
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
