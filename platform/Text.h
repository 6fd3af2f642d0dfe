#pragma once

#include <string>
#include <string_view>

namespace platform {

// Invalid input (bad UTF-8 sequences, lone surrogates) becomes U+FFFD, so two
// different names never merge silently and nothing is dropped.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace platform
