#include "platform/Memory.h"

#include <windows.h>

#include <cstddef>
#include <new>

namespace platform {

namespace {

// Large pages need a privilege ordinary users lack: the blocks come straight
// from VirtualAlloc, which at least keeps them out of the heap.
class SystemBlocks final : public std::pmr::memory_resource {
  private:
    void* do_allocate(std::size_t bytes, std::size_t alignment) override {
        // VirtualAlloc gives 64 KiB-aligned blocks.
        if (bytes == 0 || alignment > 64 * 1024) {
            throw std::bad_alloc();
        }
        void* block = VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        if (block == nullptr) {
            throw std::bad_alloc();
        }
        return block;
    }

    void do_deallocate(void* block, std::size_t, std::size_t) override {
        VirtualFree(block, 0, MEM_RELEASE);
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
