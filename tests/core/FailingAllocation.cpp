// In a file of its own: the compiler must not see the replacements inlined
// into their callers.

#include "tests/core/FailingAllocation.h"

#include <cstdlib>
#include <new>

namespace {

bool gArmed = false;
long gCount = 0;
long gFailAt = -1;

}  // namespace

namespace failing_allocation {

void Arm(long failAt) {
    gCount = 0;
    gFailAt = failAt;
    gArmed = true;
}

bool Disarm() {
    gArmed = false;
    return gFailAt >= 0 && gCount > gFailAt;
}

}  // namespace failing_allocation

void* operator new(std::size_t size) {
    if (gArmed && gCount++ == gFailAt) {
        throw std::bad_alloc();
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept {
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
