#pragma once

// The datastore keeps text as UTF-8; the objects hand it out as UTF-16. The
// conversion is the OS layer's own, which needs nothing of the OS.

#include "platform/Text.h"

namespace kelo {

using platform::Utf16Length;
using platform::Utf16ToUtf8;
using platform::Utf8ToUtf16;
using platform::Utf8ToUtf16Into;

}  // namespace kelo
