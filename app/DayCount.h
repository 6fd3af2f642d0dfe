#pragma once

#include <cstdint>
#include <string_view>

// Reads a day count the way the Windows runtime's _wtoi does: leading white
// space, an optional sign, then decimal digits up to the first other
// character; no digits give 0. Values outside the signed 32-bit range are
// clamped to it, never wrapped.
std::int32_t ReadDayCount(std::u16string_view text);
