#pragma once

#include <string_view>

namespace platform {

// Narrow and wide console output share one path, so text appears in call
// order. Narrow text is ASCII or UTF-8; wide text is UTF-16 and shows intact
// on a console and as UTF-8 when redirected.
void ConsoleWriteNarrow(std::string_view text);
void ConsoleWriteWide(std::u16string_view text);
void ConsoleFlush();

}  // namespace platform
