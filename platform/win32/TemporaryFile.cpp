#include "platform/common/TemporaryFile.h"

#include <fcntl.h>
#include <io.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/win32/RemoveOnSignal.h"
#include "platform/win32/Wide.h"

#include <bcrypt.h>

namespace platform::detail {

namespace {

// "NAME.XXXXXX.tmp" with the hidden attribute: unseen by collectors that
// take "*.csv", recognisable, unique by its random part.
constexpr std::wstring_view kSuffix = L".tmp";
constexpr std::size_t kRandomChars = 6;
constexpr std::size_t kAddedUnits = 1 + kRandomChars + kSuffix.size();
// A name of at most 255 units, a path of at most MAX_PATH - 1 (the program
// passes no \\?\ paths).
constexpr std::size_t kMostNameUnits = 255;
constexpr std::size_t kMostPathUnits = MAX_PATH - 1;
constexpr int kAttempts = 100;

std::wstring RandomChars() {
    static constexpr wchar_t kAlphabet[] =
        L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned char bytes[kRandomChars] = {};
    if (BCryptGenRandom(nullptr, bytes, sizeof bytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0) {
        static std::uint64_t counter = 0;
        std::uint64_t mix =
            GetTickCount64() ^ static_cast<std::uint64_t>(GetCurrentProcessId()) << 32 ^ ++counter;
        for (unsigned char& byte : bytes) {
            mix = mix * 6364136223846793005u + 1442695040888963407u;
            byte = static_cast<unsigned char>(mix >> 56);
        }
    }
    std::wstring chars;
    for (const unsigned char byte : bytes) {
        chars.push_back(kAlphabet[byte % (sizeof kAlphabet / sizeof kAlphabet[0] - 1)]);
    }
    return chars;
}

// The report's name, cut (never inside a surrogate pair) so that the
// temporary name fits the limits where the report's own name does.
std::wstring_view FittingName(std::wstring_view folder, std::wstring_view name) {
    std::size_t room = kMostNameUnits - kAddedUnits;
    const std::size_t pathRoom = kMostPathUnits - kAddedUnits;
    if (folder.size() < pathRoom && pathRoom - folder.size() < room) {
        room = pathRoom - folder.size();
    }
    if (name.size() <= room) {
        return name;
    }
    std::size_t cut = room;
    if (cut > 0 && name[cut] >= 0xDC00 && name[cut] <= 0xDFFF) {
        --cut;
    }
    return name.substr(0, cut);
}

bool IsDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

bool CreateTemporaryFile(std::u16string_view reportPath, TemporaryFile& file) {
    TemporaryFile made;
    const std::optional<std::wstring> target = win32::ToCallText(reportPath);
    if (!target || target->empty() || IsDirectory(*target)) {
        return false;
    }
    made.target = *target;
    const std::size_t last = made.target.find_last_of(L"\\/:");
    made.folder = last == std::wstring::npos ? L"" : made.target.substr(0, last + 1);
    const std::wstring_view name = std::wstring_view(made.target).substr(made.folder.size());
    if (name.empty()) {
        return false;
    }
    const std::wstring stem = made.folder + std::wstring(FittingName(made.folder, name));
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        made.path = stem + L"." + RandomChars() + std::wstring(kSuffix);
        win32::InterruptsHeld held;
        if (!win32::ArmRemovalOnSignal(made.path)) {
            return false;
        }
        // CREATE_NEW: a new file or nothing; what is at the report path is
        // never opened. Sharing deletion lets the control handler remove it.
        const HANDLE handle =
            CreateFileW(made.path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, nullptr,
                        CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            win32::DisarmRemovalOnSignal();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
                continue;
            }
            return false;
        }
        const int descriptor =
            _open_osfhandle(reinterpret_cast<std::intptr_t>(handle), _O_WRONLY | _O_BINARY);
        if (descriptor == -1) {
            CloseHandle(handle);
        } else if ((made.stream = _fdopen(descriptor, "wb")) == nullptr) {
            _close(descriptor);
        }
        if (made.stream == nullptr) {
            DeleteFileW(made.path.c_str());
            win32::DisarmRemovalOnSignal();
            return false;
        }
        file = std::move(made);
        return true;
    }
    return false;
}

CommitResult FinishTemporaryFile(TemporaryFile& file, bool complete) noexcept {
    std::FILE* const stream = file.stream;
    file.stream = nullptr;
    if (stream == nullptr) {
        return CommitResult::kNotWritten;
    }
    bool written = complete && std::fflush(stream) == 0 &&
                   FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)))) != 0;
    written = std::fclose(stream) == 0 && written;
    win32::InterruptsHeld held;
    if (!written) {
        DeleteFileW(file.path.c_str());
        win32::DisarmRemovalOnSignal();
        return CommitResult::kNotWritten;
    }
    // Complete now: the report shows like any other file once in its place.
    SetFileAttributesW(file.path.c_str(), FILE_ATTRIBUTE_NORMAL);
    // A link or other reparse point at the report path is replaced, not followed.
    if (MoveFileExW(file.path.c_str(), file.target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        const DWORD error = GetLastError();
        DeleteFileW(file.path.c_str());
        win32::DisarmRemovalOnSignal();
        return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL
                   ? CommitResult::kNotWritten
                   : CommitResult::kCannotPlace;
    }
    win32::DisarmRemovalOnSignal();
    return CommitResult::kPlaced;
}

}  // namespace platform::detail
