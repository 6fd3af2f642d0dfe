#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Invalid input (bad UTF-8 sequences, lone surrogates) becomes U+FFFD, so two
// different names never merge silently and nothing is dropped.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// The number of UTF-16 units Utf8ToUtf16 makes of `text`, and the same
// conversion into a buffer of exactly that many units.
std::size_t Utf16Length(std::string_view text);
void Utf8ToUtf16Into(std::string_view text, char16_t* units);

// Writes `value` in decimal at `out`, zeros in front up to `minimumDigits`
// (at most 10); returns the end. No locale, as "%0*u" gives it.
constexpr char16_t* WriteDecimal(char16_t* out, std::uint32_t value, unsigned minimumDigits = 1) {
    char16_t digits[10]{};
    unsigned count = 0;
    do {
        digits[count++] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count < minimumDigits && count < 10) {
        digits[count++] = u'0';
    }
    while (count > 0) {
        *out++ = digits[--count];
    }
    return out;
}

inline std::u16string DecimalText(std::uint32_t value, unsigned minimumDigits = 1) {
    char16_t digits[10];
    return {digits, WriteDecimal(digits, value, minimumDigits)};
}

constexpr bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace platform
