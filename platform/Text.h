#pragma once

#include <string>
#include <string_view>

namespace platform {

// Invalid input (bad UTF-8 sequences, lone surrogates) becomes U+FFFD, so two
// different names never merge silently and nothing is dropped.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

constexpr bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace platform
