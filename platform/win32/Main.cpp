#include "platform/Console.h"
#include "platform/Entry.h"
#include "platform/win32/Wide.h"

// Linked with -municode: the runtime hands over the UTF-16 command line.
int wmain(int argc, wchar_t** argv) {
    const int result = OstrelinMain(argc, reinterpret_cast<const char16_t* const*>(argv));
    platform::ConsoleFlush();
    return result;
}
