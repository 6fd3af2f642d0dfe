#include "platform/Console.h"

#include <cstdio>
#include <string>

#include "platform/Text.h"

// Both kinds of text go to stdout as bytes through fwrite: the stream never
// takes a wide orientation, so nothing written is dropped and the order on
// screen is the order of the calls.

namespace platform {

void ConsoleWriteNarrow(std::string_view text) {
    if (!text.empty()) {
        std::fwrite(text.data(), 1, text.size(), stdout);
    }
}

void ConsoleWriteWide(std::u16string_view text) {
    if (!text.empty()) {
        const std::string utf8 = Utf16ToUtf8(text);
        std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    }
}

void ConsoleFlush() {
    std::fflush(stdout);
}

}  // namespace platform
