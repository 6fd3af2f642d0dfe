#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/Memory.h"

namespace {

TEST(BulkMemory, BlocksAreAlignedWritableAndApart) {
    struct Case {
        std::size_t bytes;
        std::size_t alignment;
    };
    const Case cases[] = {
        {1, 1}, {4096, 16}, {3 * 1024 * 1024, 4096}, {5 * 1024 * 1024 + 1, 64}, {100, 65536},
    };
    std::pmr::memory_resource* memory = platform::BulkMemory();
    ASSERT_NE(memory, nullptr);
    EXPECT_TRUE(memory->is_equal(*platform::BulkMemory()));
    struct Block {
        unsigned char* start;
        Case size;
    };
    std::vector<Block> blocks;
    for (const Case& c : cases) {
        auto* start = static_cast<unsigned char*>(memory->allocate(c.bytes, c.alignment));
        ASSERT_NE(start, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(start) % c.alignment, 0u) << c.bytes;
        std::memset(start, static_cast<int>(blocks.size() + 1), c.bytes);
        blocks.push_back({start, c});
    }
    // Every block still holds its own bytes: none overlaps another.
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const Block& block = blocks[i];
        EXPECT_EQ(block.start[0], i + 1);
        EXPECT_EQ(block.start[block.size.bytes - 1], i + 1);
    }
    for (const Block& block : blocks) {
        memory->deallocate(block.start, block.size.bytes, block.size.alignment);
    }
}

}  // namespace
