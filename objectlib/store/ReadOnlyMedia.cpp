#include "objectlib/store/ReadOnlyMedia.h"

namespace kelo {

namespace {

// A failed test counts as content, the safe answer.
bool HasContent(sqlite3_vfs* vfs, const char* name) {
    int exists = 1;
    // SQLITE_ACCESS_EXISTS is false for an empty regular file on both
    // systems' VFS.
    return name == nullptr || vfs->xAccess(vfs, name, SQLITE_ACCESS_EXISTS, &exists) != SQLITE_OK ||
           exists != 0;
}

}  // namespace

bool HasJournalContent(sqlite3* database) {
    const sqlite3_filename main = sqlite3_db_filename(database, "main");
    sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
    if (main == nullptr || vfs == nullptr) {
        return true;
    }
    return HasContent(vfs, sqlite3_filename_wal(main)) ||
           HasContent(vfs, sqlite3_filename_journal(main));
}

bool IsSharedMemoryRefusal(int status) {
    // A hot rollback journal that cannot be rolled back (SQLITE_READONLY_ROLLBACK)
    // or a WAL that needs recovery is none of these.
    return status == SQLITE_READONLY_DIRECTORY || status == SQLITE_READONLY_CANTINIT ||
           (status & 0xFF) == SQLITE_CANTOPEN;
}

std::string ImmutableUri(std::string_view fullPath) {
    constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    // A Windows drive path becomes /C:..., which SQLite reads back as C:...
    if (fullPath.size() >= 2 && fullPath[1] == ':') {
        uri += '/';
    }
    for (const char c : fullPath) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') || byte == '/' || byte == '-' ||
                           byte == '.' || byte == '_' || byte == '~';
        if (plain) {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 0xF];
        }
    }
    uri += "?mode=ro&immutable=1";
    return uri;
}

}  // namespace kelo
