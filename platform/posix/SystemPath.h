#pragma once

#include <string>
#include <string_view>

#include "platform/Text.h"

namespace platform::posix {

// A path holding a NUL would name a different, shorter path to the system:
// such a path names nothing.
inline bool ToSystemPath(std::u16string_view path, std::string& systemPath) {
    if (path.empty() || path.find(u'\0') != std::u16string_view::npos) {
        return false;
    }
    systemPath = Utf16ToUtf8(path);
    return true;
}

}  // namespace platform::posix
