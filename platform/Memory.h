#pragma once

#include <memory_resource>

namespace platform {

// Memory for data that lives as long as the program and comes in large
// blocks: taken from the system directly, in huge pages where it offers them,
// so that a large export is not slowed by a page fault every 4 KiB. Allocation
// failure throws std::bad_alloc, as operator new does.
std::pmr::memory_resource* BulkMemory();

}  // namespace platform
