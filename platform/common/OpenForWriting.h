#pragma once

#include <cstdio>
#include <string_view>

namespace platform::detail {

// The system's own open for binary writing (created if missing, truncated if
// present); null when the path names nothing or cannot be opened.
std::FILE* OpenForWriting(std::u16string_view path);

}  // namespace platform::detail
