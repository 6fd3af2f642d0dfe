// The fake OS layer's files: the real disk through std::filesystem, or the
// in-memory files of PlatformState.

#include <stdio.h>

#include <filesystem>
#include <memory>
#include <new>
#include <string>
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

// A report being written: on disk its two paths; in memory its key, and the
// bytes written, which become the file's when it is kept.
struct PendingFile {
    std::filesystem::path temporary;
    std::filesystem::path target;
    std::u16string key;
    std::string bytes;
};

std::map<std::FILE*, std::unique_ptr<PendingFile>>& PendingFiles() {
    static std::map<std::FILE*, std::unique_ptr<PendingFile>> files;
    return files;
}

std::FILE* OpenOnDisk(const std::filesystem::path& path) {
#if defined(_WIN32)
    return _wfopen(path.c_str(), L"wb");
#else
    return std::fopen(path.c_str(), "wb");
#endif
}

#if defined(_WIN32)
// Windows' C runtime has no stream over memory: the bytes go through a
// temporary file and are read back before it closes.
std::FILE* OpenMemoryStream(PendingFile&) {
    return std::tmpfile();
}

bool CollectMemoryStream(std::FILE* file, PendingFile& pending) {
    if (std::fflush(file) != 0 || std::fseek(file, 0, SEEK_END) != 0) {
        return false;
    }
    const long size = std::ftell(file);
    if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
        return false;
    }
    pending.bytes.resize(static_cast<std::size_t>(size));
    return std::fread(pending.bytes.data(), 1, pending.bytes.size(), file) == pending.bytes.size();
}
#else
// A stream of the C library's own with a write function of ours: unlike
// open_memstream's, it takes the buffer the report file gives it.
ssize_t AppendToPending(void* cookie, const char* bytes, std::size_t size) {
    try {
        static_cast<PendingFile*>(cookie)->bytes.append(bytes, size);
        return static_cast<ssize_t>(size);
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

std::FILE* OpenMemoryStream(PendingFile& pending) {
    return fopencookie(&pending, "wb", {nullptr, AppendToPending, nullptr, nullptr});
}

bool CollectMemoryStream(std::FILE*, PendingFile&) {
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
    auto pending = std::make_unique<PendingFile>();
    if (!Platform().inMemoryFiles) {
        const std::filesystem::path report(reportPath);
        std::error_code error;
        if (reportPath.empty() || !report.has_filename() ||
            std::filesystem::is_directory(report, error)) {
            return false;
        }
        // Appended, not concatenated: GCC 12 at -O3 warns falsely on `u"." + name`.
        std::u16string hidden(u".");
        hidden += report.filename().u16string();
        hidden += u".fake.tmp";
        pending->temporary = report.parent_path() / hidden;
        pending->target = report;
        file.path = pending->temporary.native();
        file.target = report.native();
        file.stream = OpenOnDisk(pending->temporary);
    } else {
        bool directoryOnly = false;
        const auto key = fake::MemoryPath(reportPath, &directoryOnly);
        if (!key || directoryOnly || IsMemoryDirectory(*key) ||
            !IsMemoryDirectory(ParentOf(*key))) {
            return false;
        }
        pending->key = *key;
        file.stream = OpenMemoryStream(*pending);
    }
    if (file.stream == nullptr) {
        return false;
    }
    try {
        PendingFiles().emplace(file.stream, std::move(pending));
    } catch (...) {
        std::fclose(file.stream);
        file.stream = nullptr;
        std::error_code error;
        std::filesystem::remove(pending->temporary, error);
        throw;
    }
    ++Platform().openTemporaryFiles;
    return true;
}

CommitResult FinishTemporaryFile(TemporaryFile& file, bool complete) noexcept {
    std::FILE* const stream = file.stream;
    file.stream = nullptr;
    const auto found = PendingFiles().find(stream);
    if (stream == nullptr || found == PendingFiles().end()) {
        return CommitResult::kNotWritten;
    }
    --Platform().openTemporaryFiles;
    PendingFile& pending = *found->second;
    const std::optional<CommitResult> failure = Platform().finishFailure;
    const bool collected = pending.key.empty() || CollectMemoryStream(stream, pending);
    const bool closed = std::fclose(stream) == 0 && collected;
    CommitResult result = failure.value_or(CommitResult::kNotWritten);
    std::error_code error;
    if (pending.key.empty()) {
        if (closed && complete && !failure) {
            std::filesystem::rename(pending.temporary, pending.target, error);
            result = error ? CommitResult::kCannotPlace : CommitResult::kPlaced;
        }
        if (result != CommitResult::kPlaced) {
            std::filesystem::remove(pending.temporary, error);
        }
    } else if (closed && complete && !failure) {
        try {
            Platform().memoryFiles[pending.key] = std::move(pending.bytes);
            result = CommitResult::kPlaced;
        } catch (const std::bad_alloc&) {
            result = CommitResult::kNotWritten;
        }
    }
    PendingFiles().erase(found);
    return result;
}

}  // namespace detail

}  // namespace platform
