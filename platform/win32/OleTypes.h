#pragma once

// The system's own OLE Automation, for platform/OleAuto.h.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <oaidl.h>
#include <oleauto.h>
#include <unknwn.h>
#include <windows.h>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");
