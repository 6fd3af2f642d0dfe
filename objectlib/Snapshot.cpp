#include "objectlib/Snapshot.h"

#include <cstring>

#include "platform/Memory.h"

namespace kelo {
namespace {

constexpr std::size_t kFirstBlockBytes = 2 * 1024 * 1024;

}  // namespace

Snapshot::Snapshot() : memory(kFirstBlockBytes, platform::BulkMemory()) {}

std::string_view TextArena::Store(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    auto* stored = static_cast<char*>(memory_->allocate(text.size(), 1));
    std::memcpy(stored, text.data(), text.size());
    return {stored, text.size()};
}

}  // namespace kelo
