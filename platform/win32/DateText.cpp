#include "platform/DateText.h"

#include <memory>
#include <new>

#include "platform/win32/Wide.h"

namespace platform {

namespace {

constexpr LCID kEnglish = 9;
constexpr DWORD kUseAnsiCodePage = 0x40000000;  // LOCALE_USE_CP_ACP

using FormatCall = int(WINAPI*)(LCID, DWORD, const SYSTEMTIME*, LPCWSTR, LPWSTR, int);

// The call's result counts the terminator; 0 is failure.
bool Format(FormatCall call, const SYSTEMTIME& time, std::u16string& text,
            std::uint32_t bufferUnits) {
    if (bufferUnits == 0 || bufferUnits > INT_MAX) {
        return false;
    }
    const std::unique_ptr<wchar_t[]> buffer(new (std::nothrow) wchar_t[bufferUnits]);
    if (!buffer) {
        return false;
    }
    const int written = call(kEnglish, kUseAnsiCodePage, &time, nullptr, buffer.get(),
                             static_cast<int>(bufferUnits));
    if (written <= 0) {
        return false;
    }
    text.assign(win32::AsUtf16(buffer.get(), static_cast<std::size_t>(written - 1)));
    return true;
}

}  // namespace

bool FormatShortDate(const SYSTEMTIME& time, std::u16string& text, std::uint32_t bufferUnits) {
    return Format(GetDateFormatW, time, text, bufferUnits);
}

bool FormatLongTime(const SYSTEMTIME& time, std::u16string& text, std::uint32_t bufferUnits) {
    return Format(GetTimeFormatW, time, text, bufferUnits);
}

}  // namespace platform
