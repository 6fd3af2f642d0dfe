#pragma once

#include <cstdint>
#include <string>

#include "platform/OleAuto.h"

namespace platform {

// GetDateFormatW and GetTimeFormatW for locale 9 (English) with the flag
// LOCALE_USE_CP_ACP and no picture: "3/7/2026" and "4:05:09 PM". The text is
// at most bufferUnits - 1 units; false (text untouched) on failure.
bool FormatShortDate(const SYSTEMTIME& time, std::u16string& text, std::uint32_t bufferUnits);
bool FormatLongTime(const SYSTEMTIME& time, std::u16string& text, std::uint32_t bufferUnits);

}  // namespace platform
