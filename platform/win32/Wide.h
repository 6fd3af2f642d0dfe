#pragma once

// The program's UTF-16 text and Windows' wchar_t are the same code units.

#include <optional>
#include <string>
#include <string_view>

#include "platform/OleAuto.h"

namespace platform::win32 {

inline const wchar_t* AsWide(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}

inline std::u16string_view AsUtf16(const wchar_t* text, std::size_t length) {
    return {reinterpret_cast<const char16_t*>(text), length};
}

// A zero-terminated copy for a Win32 call. Text holding a NUL would name
// something shorter to the system, so it gives nothing.
inline std::optional<std::wstring> ToCallText(std::u16string_view text) {
    if (text.find(u'\0') != std::u16string_view::npos) {
        return std::nullopt;
    }
    return std::wstring(AsWide(text.data()), text.size());
}

}  // namespace platform::win32
