// Stands in for the program behind the real entry point: shows each
// argument between brackets, narrow and wide output interleaved, and exits
// with a code of its own.

#include <string>

#include "platform/Console.h"
#include "platform/Entry.h"

int OstrelinMain(int argc, const char16_t* const* argv) {
    platform::ConsoleWriteNarrow("argc " + std::to_string(argc) + "\n");
    for (int i = 1; i < argc; ++i) {
        platform::ConsoleWriteNarrow("[");
        platform::ConsoleWriteWide(argv[i]);
        platform::ConsoleWriteNarrow("]\n");
    }
    platform::ConsoleWriteWide(argv[argc] == nullptr ? u"end\n" : u"no end\n");
    return 42;
}
