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
// which go into the in-memory files when the finished file is kept.
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

namespace detail {

// The report goes to a temporary file beside it and takes its place when
// finished, as on the real systems: on disk ".NAME.fake.tmp" in the report's
// folder; in memory a stream whose bytes become the file's when it is kept.
bool CreateTemporaryFile(std::u16string_view reportPath, TemporaryFile& file) {
    if (!Platform().inMemoryFiles) {
        const std::filesystem::path report(reportPath);
        std::error_code error;
        if (reportPath.empty() || !report.has_filename() ||
            std::filesystem::is_directory(report, error)) {
            return false;
        }
        const std::filesystem::path temporary =
            report.parent_path() / (u"." + report.filename().u16string() + u".fake.tmp");
        file.stream = OpenOnDisk(temporary);
        if (file.stream == nullptr) {
            return false;
        }
        file.path = temporary.u16string();
        ++Platform().openTemporaryFiles;
        return true;
    }
    bool directoryOnly = false;
    const auto key = fake::MemoryPath(reportPath, &directoryOnly);
    if (!key || directoryOnly || IsMemoryDirectory(*key) || !IsMemoryDirectory(ParentOf(*key))) {
        return false;
    }
    auto stream = std::make_unique<MemoryStream>();
    stream->key = *key;
    file.stream = OpenMemoryStream(*stream);
    if (file.stream == nullptr) {
        return false;
    }
    file.path = *key + u".fake.tmp";
    MemoryStreams().emplace(file.stream, std::move(stream));
    ++Platform().openTemporaryFiles;
    return true;
}

CommitResult FinishTemporaryFile(TemporaryFile& file, std::u16string_view reportPath,
                                 bool complete) {
    std::FILE* const stream = file.stream;
    const std::filesystem::path temporary(file.path);
    file.stream = nullptr;
    file.path.clear();
    if (stream == nullptr) {
        return CommitResult::kNotWritten;
    }
    --Platform().openTemporaryFiles;
    const std::optional<CommitResult> failure = Platform().finishFailure;
    const auto found = MemoryStreams().find(stream);
    if (found == MemoryStreams().end()) {
        const bool closed = std::fclose(stream) == 0;
        std::error_code error;
        if (!closed || !complete || failure) {
            std::filesystem::remove(temporary, error);
            return failure.value_or(CommitResult::kNotWritten);
        }
        std::filesystem::rename(temporary, std::filesystem::path(reportPath), error);
        if (error) {
            std::filesystem::remove(temporary, error);
            return CommitResult::kCannotPlace;
        }
        return CommitResult::kPlaced;
    }
    const bool collected = CollectMemoryStream(stream, *found->second);
    const bool closed = std::fclose(stream) == 0 && collected;
    MemoryStream& memory = *found->second;
    const bool kept = closed && complete && !failure && memory.data != nullptr;
    if (kept) {
        Platform().memoryFiles[memory.key].assign(memory.data, memory.size);
    }
    std::free(memory.data);
    MemoryStreams().erase(found);
    if (kept) {
        return CommitResult::kPlaced;
    }
    return failure.value_or(CommitResult::kNotWritten);
}

}  // namespace detail

}  // namespace platform
