#include <gtest/gtest.h>

#include <string>

#include "platform/Text.h"

namespace {

struct Utf8Case {
    const char* name;
    std::string utf8;
    std::u16string utf16;
};

// Every ill-formed part becomes one U+FFFD and the text after it survives.
const Utf8Case kUtf8Cases[] = {
    {"ascii", "HostName", u"HostName"},
    {"empty", "", u""},
    {"two byte", "J\xC3\xBCrgen", u"J\u00FCrgen"},
    {"three byte", "\xE2\x82\xAC 5", u"\u20AC 5"},
    {"four byte", "\xF0\x9F\x98\x80!", u"\U0001F600!"},
    {"largest scalar", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
    {"stray continuation", "a\x80z", u"a\uFFFDz"},
    {"invalid lead FF", "a\xFFz", u"a\uFFFDz"},
    {"overlong two byte", "\xC0\xAF", u"\uFFFD\uFFFD"},
    {"overlong C1", "\xC1\xBF", u"\uFFFD\uFFFD"},
    {"overlong three byte", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
    {"overlong four byte", "\xF0\x80\x80\xAF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"encoded high surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
    {"encoded low surrogate", "\xED\xBF\xBF", u"\uFFFD\uFFFD\uFFFD"},
    {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"five byte form", "\xF8\x88\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"cut short at end", "ab\xE2\x82", u"ab\uFFFD"},
    {"cut short before ascii", "\xF0\x9F\x98Z", u"\uFFFDZ"},
    {"cut short before lead", "\xE2\x82\xC3\xBC", u"\uFFFD\u00FC"},
    {"embedded nul", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
};

TEST(TextConversion, Utf8ToUtf16ReplacesEachIllFormedPart) {
    for (const Utf8Case& test : kUtf8Cases) {
        EXPECT_EQ(platform::Utf8ToUtf16(test.utf8), test.utf16) << test.name;
    }
}

struct Utf16Case {
    const char* name;
    std::u16string utf16;
    std::string utf8;
};

const Utf16Case kUtf16Cases[] = {
    {"ascii", u"Unix User", "Unix User"},
    {"two and three byte", u"\u00FC\u20AC", "\xC3\xBC\xE2\x82\xAC"},
    {"surrogate pair", u"\U0001F600", "\xF0\x9F\x98\x80"},
    {"lone high surrogate", std::u16string{u'a', 0xD83D, u'b'},
     "a\xEF\xBF\xBD"
     "b"},
    {"lone low surrogate", std::u16string{0xDE00, u'b'},
     "\xEF\xBF\xBD"
     "b"},
    {"high surrogate at end", std::u16string{u'a', 0xD83D}, "a\xEF\xBF\xBD"},
    {"pair in wrong order", std::u16string{0xDE00, 0xD83D}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
    {"embedded nul", std::u16string(u"a\0b", 3), std::string("a\0b", 3)},
};

TEST(TextConversion, Utf16ToUtf8ReplacesLoneSurrogates) {
    for (const Utf16Case& test : kUtf16Cases) {
        EXPECT_EQ(platform::Utf16ToUtf8(test.utf16), test.utf8) << test.name;
    }
}

TEST(TextConversion, WellFormedTextSurvivesTheRoundTrip) {
    std::u16string text;
    for (char32_t codePoint :
         {U'A', U'\u00E9', U'\u0800', U'\uFFFD', U'\U00010000', U'\U0001F600', U'\U0010FFFF'}) {
        if (codePoint >= 0x10000) {
            text += static_cast<char16_t>(0xD800 + ((codePoint - 0x10000) >> 10));
            text += static_cast<char16_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
        } else {
            text += static_cast<char16_t>(codePoint);
        }
    }
    // Long enough to leave any small-buffer optimisation behind.
    for (int i = 0; i < 6; ++i) {
        text += text;
    }
    EXPECT_EQ(platform::Utf8ToUtf16(platform::Utf16ToUtf8(text)), text);
}

}  // namespace
