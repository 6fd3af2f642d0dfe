#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kelo {

// The datastore keeps text as UTF-8; the objects hand it out as UTF-16.
// Invalid input (bad UTF-8 sequences, lone surrogates) becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// The number of UTF-16 units Utf8ToUtf16 makes of `text`, and the same
// conversion into a buffer of exactly that many units.
std::size_t Utf16Length(std::string_view text);
void Utf8ToUtf16Into(std::string_view text, char16_t* units);

}  // namespace kelo
