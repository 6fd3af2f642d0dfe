// The fake OS layer's files: the real disk through std::filesystem, or the
// in-memory files of PlatformState.

#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <system_error>

#include "platform/Files.h"
#include "tests/fakes/FakePlatform.h"
#include "tests/fakes/FakeStreams.h"

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
        file.stream = fake::detail::OpenOnDisk(pending->temporary);
    } else {
        bool directoryOnly = false;
        const auto key = fake::MemoryPath(reportPath, &directoryOnly);
        if (!key || directoryOnly || IsMemoryDirectory(*key) ||
            !IsMemoryDirectory(ParentOf(*key))) {
            return false;
        }
        pending->key = *key;
        file.stream = fake::detail::OpenMemoryStream(pending->bytes);
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
    const bool collected =
        pending.key.empty() || fake::detail::CollectMemoryStream(stream, pending.bytes);
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
