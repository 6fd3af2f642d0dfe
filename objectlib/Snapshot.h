#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <memory_resource>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelo {

// Texts copied one after the other into the blocks of a resource; never
// moved once stored.
class TextArena {
  public:
    explicit TextArena(std::pmr::memory_resource* memory) : memory_(memory) {}
    std::string_view Store(std::string_view text);

  private:
    std::pmr::memory_resource* memory_;
};

// One visit as read: 32 bytes plus its URL (UTF-8) and categories.
struct VisitRow {
    std::int64_t timeMs;
    const char* url;
    std::uint32_t urlBytes;
    std::uint32_t firstCategory;
    std::uint32_t categoryCount;
    bool allowed;
};

struct SnapshotUser {
    std::u16string sid;
    std::size_t firstRow;
    std::size_t rowCount;
};

// The answer to one query, read in one transaction and never changed
// afterwards: the result tree's lists and visit maps read from it and make
// their values only when asked. Shared by every object of that tree.
class Snapshot {
  public:
    Snapshot();
    Snapshot(const Snapshot&) = delete;
    Snapshot& operator=(const Snapshot&) = delete;

    // The rows and URL texts, the bulk of an answer, in large blocks from the
    // system (huge pages where offered), all freed at once. First, so it goes
    // last.
    std::pmr::monotonic_buffer_resource memory;
    std::vector<SnapshotUser> users;
    std::pmr::vector<VisitRow> rows{&memory};
    std::vector<std::int32_t> categories;
    TextArena urls{&memory};

    std::string_view Url(const VisitRow& row) const { return {row.url, row.urlBytes}; }
    std::span<const std::int32_t> Categories(const VisitRow& row) const {
        return std::span<const std::int32_t>(categories)
            .subspan(row.firstCategory, row.categoryCount);
    }
};

using SharedSnapshot = std::shared_ptr<const Snapshot>;

}  // namespace kelo
