#include "platform/Files.h"

#include <optional>

#include "platform/win32/Wide.h"

#include <shlwapi.h>

namespace platform {

namespace {

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

}  // namespace platform
