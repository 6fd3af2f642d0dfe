#pragma once

// How a shared library marks the functions it exports, and how its callers
// declare them.

#if defined(_WIN32)
// Callers link through the library's import library, whose thunks need no
// dllimport; so a static library can take the shared one's place too.
#define PLATFORM_SHARED_EXPORT __declspec(dllexport)
#define PLATFORM_SHARED_IMPORT
#else
#define PLATFORM_SHARED_EXPORT __attribute__((visibility("default")))
#define PLATFORM_SHARED_IMPORT __attribute__((visibility("default")))
#endif
