#pragma once

// A fake OS layer for the core's unit tests, linked in place of the real one.
// Files and directories are real (std::filesystem), so path tests run in a
// temporary directory, unless `inMemoryFiles` is set (the fuzz targets, which
// must not touch the disk); everything else is state the test sets. Reset()
// puts every setting back to its default.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/OleAuto.h"
#include "platform/common/TemporaryFile.h"

namespace fake {

struct Account {
    std::u16string sidText;
    std::u16string domain;
    std::u16string name;
};

struct PlatformState {
    // Console: everything written, narrow text as UTF-8 and wide as UTF-8 too,
    // in call order; `narrowConsole`/`wideConsole` keep each kind apart.
    std::string console;
    std::string narrowConsole;
    std::u16string wideConsole;

    // Computer name; nullopt makes ReadComputerName fail.
    std::optional<std::u16string> computerName = u"PC01";

    // Profile list: nullopt makes Open fail. Enumeration fails with
    // `profileEnumFailCode` at index `profileEnumFailIndex`, if set.
    std::optional<std::vector<std::u16string>> profiles = std::vector<std::u16string>{};
    std::optional<std::uint32_t> profileEnumFailIndex;
    long profileEnumFailCode = 5;  // ERROR_ACCESS_DENIED
    int profileOpenCount = 0;
    bool profileListOpen = false;

    // Account look-up table.
    std::vector<Account> accounts;
    int accountLookupCount = 0;

    // Clock: LocalNow gives `localNow`; local time is UTC plus
    // `utcOffsetMinutes`; the conversions fail when told to. UtcNow gives
    // `utcNow` when set, else `localNow` less the offset.
    SYSTEMTIME localNow{2016, 5, 4, 26, 12, 20, 8, 345};
    std::optional<SYSTEMTIME> utcNow;
    int utcOffsetMinutes = 0;
    bool failLocalToUtc = false;
    bool failUtcToLocal = false;

    // Date text: the English short date and time; either can be made to fail.
    bool failDateText = false;
    bool failTimeText = false;

    // Current directory: nullopt uses the process's real one. `failCurrentDirectory`
    // makes the query return 0.
    std::optional<std::u16string> currentDirectory;
    bool failCurrentDirectory = false;

    // Paths (in the program's own form) whose creation fails.
    std::set<std::u16string> uncreatableDirectories;
    std::vector<std::u16string> createdDirectories;

    // In-memory files: PathExists, MakeDirectory and the report file work on these
    // instead of the disk, with POSIX rules (a relative path starts at the
    // current directory, "." and ".." and repeated separators are resolved, a
    // trailing separator names a directory, a name has at most 255 units).
    // Keys are absolute, normalised paths; "/" always exists.
    bool inMemoryFiles = false;
    // The report's temporary files not yet finished; a finish that fails with
    // `finishFailure` (a failed sync, a refused move) when set.
    int openTemporaryFiles = 0;
    std::optional<platform::CommitResult> finishFailure;
    std::set<std::u16string> memoryDirectories;
    std::map<std::u16string, std::string> memoryFiles;
};

// The key of `path` in the in-memory files; nullopt for a path that names
// nothing (empty, a NUL, an over-long name). `directoryOnly` tells whether
// the path ends with a separator.
std::optional<std::u16string> MemoryPath(std::u16string_view path, bool* directoryOnly = nullptr);

PlatformState& Platform();
void ResetPlatform();

}  // namespace fake
