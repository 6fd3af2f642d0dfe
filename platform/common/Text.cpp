#include "platform/Text.h"

#include <cstdint>
#include <cstring>

namespace platform {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Decodes one code point at `text[index]` and advances `index`. An invalid
// sequence yields one U+FFFD for its maximal valid prefix (Unicode's
// recommended practice), so the count and the conversion always agree.
char32_t DecodeOne(std::string_view text, std::size_t& index) {
    const auto lead = static_cast<unsigned char>(text[index]);
    ++index;
    if (lead < 0x80) {
        return lead;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    char32_t value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 1;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 2;
        value = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 3;
        value = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing past U+10FFFF
    } else {
        return kReplacement;
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (index >= text.size()) {
            return kReplacement;
        }
        const auto next = static_cast<unsigned char>(text[index]);
        if (next < low || next > high) {
            return kReplacement;
        }
        low = 0x80;
        high = 0xBF;
        value = (value << 6) | (next & 0x3F);
        ++index;
    }
    return value;
}

// The length of the ASCII run `text` begins with, tested eight bytes at a
// time: URLs are mostly ASCII.
std::size_t AsciiPrefix(std::string_view text) {
    std::size_t index = 0;
    for (; index + 8 <= text.size(); index += 8) {
        std::uint64_t block = 0;
        std::memcpy(&block, text.data() + index, 8);
        if ((block & 0x8080808080808080u) != 0) {
            break;
        }
    }
    while (index < text.size() && static_cast<unsigned char>(text[index]) < 0x80) {
        ++index;
    }
    return index;
}

template <typename Emit>
void DecodeUtf8(std::string_view text, Emit emit) {
    std::size_t index = 0;
    while (index < text.size()) {
        // URLs are mostly ASCII.
        if (static_cast<unsigned char>(text[index]) < 0x80) {
            emit(static_cast<char16_t>(text[index++]));
            continue;
        }
        const char32_t value = DecodeOne(text, index);
        if (value >= 0x10000) {
            const char32_t offset = value - 0x10000;
            emit(static_cast<char16_t>(0xD800 + (offset >> 10)));
            emit(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
        } else {
            emit(static_cast<char16_t>(value));
        }
    }
}

// Writes the UTF-8 form of `codePoint` (a scalar value) at `out`; returns the
// position after it.
char* EncodeUtf8(char32_t codePoint, char* out) {
    if (codePoint < 0x80) {
        *out++ = static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        *out++ = static_cast<char>(0xC0 | (codePoint >> 6));
        *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (codePoint >> 12));
        *out++ = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (codePoint >> 18));
        *out++ = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
    }
    return out;
}

}  // namespace

std::size_t Utf16Length(std::string_view text) {
    std::size_t units = AsciiPrefix(text);
    DecodeUtf8(text.substr(units), [&units](char16_t) { ++units; });
    return units;
}

void Utf8ToUtf16Into(std::string_view text, char16_t* units) {
    const std::size_t ascii = AsciiPrefix(text);
    for (std::size_t i = 0; i < ascii; ++i) {
        *units++ = static_cast<char16_t>(text[i]);
    }
    DecodeUtf8(text.substr(ascii), [&units](char16_t unit) { *units++ = unit; });
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out(Utf16Length(text), u'\0');
    Utf8ToUtf16Into(text, out.data());
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    // Three bytes per unit at most: a surrogate pair takes four for two units.
    std::string result(text.size() * 3, '\0');
    char* out = result.data();
    const std::size_t size = text.size();

    for (std::size_t i = 0; i < size; ++i) {
        const char16_t unit = text[i];
        if (unit < 0x80) {
            *out++ = static_cast<char>(unit);
        } else if (IsHighSurrogate(unit) && i + 1 < size && IsLowSurrogate(text[i + 1])) {
            const char32_t codePoint =
                0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            out = EncodeUtf8(codePoint, out);
            ++i;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            out = EncodeUtf8(kReplacement, out);
        } else {
            out = EncodeUtf8(unit, out);
        }
    }

    result.resize(static_cast<std::size_t>(out - result.data()));
    return result;
}

}  // namespace platform
