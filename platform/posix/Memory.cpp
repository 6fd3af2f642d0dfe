#include "platform/Memory.h"

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <new>

namespace platform {

namespace {

// The huge page size of x86-64 and most 64-bit Linux systems; elsewhere only
// a granularity.
constexpr std::size_t kHugePage = 2 * 1024 * 1024;

std::size_t RoundUp(std::size_t bytes) {
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

class SystemBlocks final : public std::pmr::memory_resource {
  private:
    void* do_allocate(std::size_t bytes, std::size_t alignment) override {
        if (bytes == 0 || bytes > SIZE_MAX - 2 * kHugePage || alignment > kHugePage) {
            throw std::bad_alloc();
        }
        const std::size_t size = RoundUp(bytes);
        // One huge page more, so that the block can start on a huge page.
        const std::size_t mapped = size + kHugePage;
        void* raw =
            mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw == MAP_FAILED) {
            throw std::bad_alloc();
        }
        // The first huge-page boundary in the mapping; the rest is given back.
        auto* const start = static_cast<char*>(raw);
        const std::size_t offset =
            (kHugePage - reinterpret_cast<std::uintptr_t>(raw) % kHugePage) % kHugePage;
        char* const block = start + offset;
        if (offset != 0) {
            munmap(start, offset);
        }
        munmap(block + size, kHugePage - offset);
#if defined(MADV_HUGEPAGE)
        // Only advice: where huge pages are off, the block has small ones.
        madvise(block, size, MADV_HUGEPAGE);
#endif
        return block;
    }

    void do_deallocate(void* block, std::size_t bytes, std::size_t) override {
        munmap(block, RoundUp(bytes));
    }

    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override {
        return this == &other;
    }
};

}  // namespace

std::pmr::memory_resource* BulkMemory() {
    static SystemBlocks blocks;
    return &blocks;
}

}  // namespace platform
