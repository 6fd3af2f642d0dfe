#include <iostream>
#include <new>

#include "tools/kelodb/Kelodb.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    try {
        const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
        return kelodb::RunKelodb(arguments, std::cin, std::cout, std::cerr);
    } catch (const std::bad_alloc&) {
        // An import has caught it already, with its line; whatever else ran
        // out stored nothing it did not commit.
        std::cerr << "out of memory\n";
        return 1;
    }
}
