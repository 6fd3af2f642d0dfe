#include "objectlib/Snapshot.h"

#include <cstring>

namespace kelo {
namespace {

constexpr std::size_t kBlockSize = 1 << 20;

}  // namespace

std::string_view TextArena::Store(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    if (text.size() > left_) {
        // A text larger than a block gets a block of its own; the current
        // block stays open for the texts that follow.
        const std::size_t size = text.size() > kBlockSize / 4 ? text.size() : kBlockSize;
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
        if (size != kBlockSize) {
            std::memcpy(blocks_.back().get(), text.data(), text.size());
            return {blocks_.back().get(), text.size()};
        }
        free_ = blocks_.back().get();
        left_ = size;
    }
    std::memcpy(free_, text.data(), text.size());
    const std::string_view stored(free_, text.size());
    free_ += text.size();
    left_ -= text.size();
    return stored;
}

}  // namespace kelo
