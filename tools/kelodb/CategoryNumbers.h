#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "report/CategoryTable.h"

namespace kelodb {

// The numbers the product's category table names, in its order.
inline constexpr auto kListedCategories = [] {
    std::array<std::int32_t, std::size(kCategoryTable)> numbers{};
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        numbers[i] = kCategoryTable[i].number;
    }
    return numbers;
}();

}  // namespace kelodb
