#pragma once

// OLE Automation under the same names on both systems. On Windows these are
// the system's own; on POSIX the subset the program and the object library use,
// with Windows' semantics.

#if defined(_WIN32)
#include "platform/win32/OleTypes.h"
#else
#include "platform/posix/OleTypes.h"
#endif

#include <string_view>

// UTF-16 text crosses into OLE Automation as OLECHAR, which is wchar_t on
// Windows and char16_t on POSIX: the same code units either way.
inline const OLECHAR* AsOle(const char16_t* text) {
    return reinterpret_cast<const OLECHAR*>(text);
}
inline std::u16string_view AsUtf16(const OLECHAR* text, std::size_t length) {
    return {reinterpret_cast<const char16_t*>(text), length};
}
// The whole BSTR, embedded NULs included; empty for a null BSTR.
inline std::u16string_view BstrView(BSTR text) {
    return text == nullptr ? std::u16string_view{} : AsUtf16(text, SysStringLen(text));
}
