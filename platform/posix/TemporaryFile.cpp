#include "platform/common/TemporaryFile.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <string>

#include "platform/posix/RemoveOnSignal.h"
#include "platform/posix/SystemPath.h"

namespace platform::detail {

namespace {

// ".NAME.XXXXXX.tmp": hidden from listings and from collectors that take
// "*.csv", recognisable, unique by its random part.
constexpr std::string_view kPrefix = ".";
constexpr std::string_view kSuffix = ".tmp";
constexpr std::size_t kRandomChars = 6;
constexpr std::size_t kAddedBytes = kPrefix.size() + 1 + kRandomChars + kSuffix.size();
constexpr std::size_t kMostNameBytes = NAME_MAX;
// As mkstemp: a name already taken is tried again with other random letters.
constexpr int kAttempts = 100;

std::string RandomChars() {
    static constexpr char kAlphabet[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned char bytes[kRandomChars] = {};
    if (getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        // No entropy yet (early boot): still distinct between attempts and runs.
        static std::uint64_t counter = 0;
        std::uint64_t mix = static_cast<std::uint64_t>(getpid()) * 0x9E3779B97F4A7C15u ^
                            static_cast<std::uint64_t>(std::time(nullptr)) ^ ++counter << 40;
        for (unsigned char& byte : bytes) {
            mix = mix * 6364136223846793005u + 1442695040888963407u;
            byte = static_cast<unsigned char>(mix >> 56);
        }
    }
    std::string chars;
    for (const unsigned char byte : bytes) {
        chars.push_back(kAlphabet[byte % (sizeof kAlphabet - 1)]);
    }
    return chars;
}

// The report's name, cut (at a character's start) so that the temporary name
// fits the system's limits where the report's own name does.
std::string_view FittingName(std::string_view folder, std::string_view name) {
    const std::size_t pathRoom = PATH_MAX - 1 - kAddedBytes;
    std::size_t room = kMostNameBytes - kAddedBytes;
    if (folder.size() < pathRoom && pathRoom - folder.size() < room) {
        room = pathRoom - folder.size();
    }
    if (name.size() <= room) {
        return name;
    }
    std::size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    return name.substr(0, cut);
}

bool IsDirectory(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

int SyncRetrying(int descriptor) {
    int result = 0;
    do {
        result = fsync(descriptor);
    } while (result != 0 && errno == EINTR);
    return result;
}

// The folder's entry of the renamed file. As SQLite does, a folder that
// cannot be opened or synced is no failure: the report is complete under its
// name, and the old one is gone already.
void SyncFolder(const std::string& folder) {
    const int descriptor =
        open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        SyncRetrying(descriptor);
        close(descriptor);
    }
}

}  // namespace

bool CreateTemporaryFile(std::u16string_view reportPath, TemporaryFile& file) {
    TemporaryFile made;
    if (!posix::ToSystemPath(reportPath, made.target) || IsDirectory(made.target)) {
        return false;
    }
    const std::size_t slash = made.target.rfind('/');
    made.folder = slash == std::string::npos ? "" : made.target.substr(0, slash + 1);
    const std::string_view name = std::string_view(made.target).substr(made.folder.size());
    if (name.empty()) {
        return false;
    }
    const std::string stem =
        made.folder + std::string(kPrefix) + std::string(FittingName(made.folder, name));
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        made.path = stem + "." + RandomChars() + std::string(kSuffix);
        posix::InterruptsHeld held;
        // O_EXCL: a new file or nothing; a link, FIFO or file there is never opened.
        const int descriptor =
            open(made.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (descriptor < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return false;
        }
        struct stat status {};
        if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) ||
            !posix::ArmRemovalOnSignal(made.path.c_str()) ||
            (made.stream = fdopen(descriptor, "wb")) == nullptr) {
            close(descriptor);
            unlink(made.path.c_str());
            posix::DisarmRemovalOnSignal();
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
    bool written = complete && std::fflush(stream) == 0 && SyncRetrying(fileno(stream)) == 0;
    written = std::fclose(stream) == 0 && written;
    posix::InterruptsHeld held;
    if (!written) {
        unlink(file.path.c_str());
        posix::DisarmRemovalOnSignal();
        return CommitResult::kNotWritten;
    }
    // rename replaces a link, FIFO or file at the path; it never follows one.
    if (rename(file.path.c_str(), file.target.c_str()) != 0) {
        const int error = errno;
        unlink(file.path.c_str());
        posix::DisarmRemovalOnSignal();
        return error == ENOSPC || error == EDQUOT || error == EIO ? CommitResult::kNotWritten
                                                                  : CommitResult::kCannotPlace;
    }
    posix::DisarmRemovalOnSignal();
    SyncFolder(file.folder);
    return CommitResult::kPlaced;
}

}  // namespace platform::detail
