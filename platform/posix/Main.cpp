#include <string>
#include <vector>

#include "platform/Console.h"
#include "platform/Entry.h"
#include "platform/Text.h"

int main(int argc, char** argv) {
    std::vector<std::u16string> arguments;
    arguments.reserve(static_cast<std::size_t>(argc));
    for (int i = 0; i < argc; ++i) {
        arguments.push_back(platform::Utf8ToUtf16(argv[i]));
    }

    std::vector<const char16_t*> pointers;
    pointers.reserve(arguments.size() + 1);
    for (const std::u16string& argument : arguments) {
        pointers.push_back(argument.c_str());
    }
    pointers.push_back(nullptr);

    const int result = OstrelinMain(argc, pointers.data());
    platform::ConsoleFlush();
    return result;
}
