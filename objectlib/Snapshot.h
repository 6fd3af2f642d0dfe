#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelo {

// Texts copied into large blocks: one allocation per megabyte, not per URL,
// and no copying when the store grows.
class TextArena {
  public:
    std::string_view Store(std::string_view text);

  private:
    std::vector<std::unique_ptr<char[]>> blocks_;
    char* free_ = nullptr;
    std::size_t left_ = 0;
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
    std::vector<SnapshotUser> users;
    std::vector<VisitRow> rows;
    std::vector<std::int32_t> categories;
    TextArena urls;

    std::string_view Url(const VisitRow& row) const { return {row.url, row.urlBytes}; }
    std::span<const std::int32_t> Categories(const VisitRow& row) const {
        return std::span<const std::int32_t>(categories)
            .subspan(row.firstCategory, row.categoryCount);
    }
};

using SharedSnapshot = std::shared_ptr<const Snapshot>;

}  // namespace kelo
