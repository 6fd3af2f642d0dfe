#pragma once

// Turning the fuzzer's bytes into the values the targets need. Texts lean on
// the characters that matter to the code under test (separators, dots,
// colons, quotes) but can hold any UTF-16 unit, lone surrogates included.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <string_view>

namespace fuzz {

// A text of at most `most` units.
inline std::u16string Text(FuzzedDataProvider& data, std::size_t most,
                           std::u16string_view alphabet = u"/./a:\\\" ,-\u00e9") {
    const std::size_t length = data.ConsumeIntegralInRange<std::size_t>(0, most);
    std::u16string text;
    while (text.size() < length && data.remaining_bytes() > 0) {
        const auto pick = data.ConsumeIntegral<std::uint8_t>();
        if (pick < 0xC0) {
            text.push_back(alphabet[pick % alphabet.size()]);
        } else if (pick < 0xF0) {
            text.push_back(static_cast<char16_t>(u'a' + pick % 26));
        } else {
            text.push_back(data.ConsumeIntegral<char16_t>());
        }
    }
    return text;
}

// One of `choices`, or (when `orText`) a text of its own.
inline std::u16string OneOf(FuzzedDataProvider& data,
                            std::initializer_list<std::u16string_view> choices,
                            std::size_t textUnits = 16) {
    const std::size_t pick = data.ConsumeIntegralInRange<std::size_t>(0, choices.size());
    if (pick == choices.size()) {
        return Text(data, textUnits);
    }
    return std::u16string(*(choices.begin() + pick));
}

// A broken promise of the code under test: report it and stop, so the
// fuzzer keeps the input.
[[noreturn]] inline void Fail(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "property violated: %s\n%s\n", what, detail.c_str());
    std::abort();
}

inline void Check(bool holds, const char* what, const std::string& detail = {}) {
    if (!holds) {
        Fail(what, detail);
    }
}

}  // namespace fuzz
