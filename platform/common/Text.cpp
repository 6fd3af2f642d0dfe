#include "platform/Text.h"

#include <cstdint>

namespace platform {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

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

// Each maximal ill-formed part of the input (a stray byte, a sequence cut
// short, an overlong form, an encoded surrogate, a value above U+10FFFF)
// becomes one U+FFFD, so no input byte yields more than one output unit.
std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string result(text.size(), u'\0');
    char16_t* out = result.data();
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = in + text.size();

    while (in < end) {
        const unsigned lead = *in;
        if (lead < 0x80) {
            *out++ = static_cast<char16_t>(lead);
            ++in;
            continue;
        }

        int trailing = 0;
        char32_t codePoint = 0;
        // The range the first trailing byte must lie in; it excludes overlong
        // forms, surrogates and values past U+10FFFF.
        unsigned low = 0x80;
        unsigned high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            trailing = 1;
            codePoint = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            trailing = 2;
            codePoint = lead & 0x0F;
            if (lead == 0xE0) {
                low = 0xA0;
            } else if (lead == 0xED) {
                high = 0x9F;
            }
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            trailing = 3;
            codePoint = lead & 0x07;
            if (lead == 0xF0) {
                low = 0x90;
            } else if (lead == 0xF4) {
                high = 0x8F;
            }
        } else {
            *out++ = kReplacement;
            ++in;
            continue;
        }

        ++in;
        bool complete = true;
        for (int i = 0; i < trailing; ++i) {
            if (in == end || *in < low || *in > high) {
                complete = false;
                break;
            }
            codePoint = (codePoint << 6) | (*in & 0x3F);
            ++in;
            low = 0x80;
            high = 0xBF;
        }
        if (!complete) {
            // The offending byte is read again as the start of what follows.
            *out++ = kReplacement;
            continue;
        }

        if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            *out++ = static_cast<char16_t>(0xD800 + (codePoint >> 10));
            *out++ = static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
        } else {
            *out++ = static_cast<char16_t>(codePoint);
        }
    }

    result.resize(static_cast<std::size_t>(out - result.data()));
    return result;
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
