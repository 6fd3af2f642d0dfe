#include "app/CDataStoreQuery.h"
#include "report/CategoryTable.h"

void CDataStoreQuery::LoadCategoryNames() {
    if (!categoryNames.empty()) {
        return;
    }
    for (const auto& [number, name] : kCategoryTable) {
        categoryNames.emplace_hint(categoryNames.end(), number, name);
    }
}

std::u16string_view CDataStoreQuery::CategoryName(std::int32_t number) {
    auto it = categoryNames.lower_bound(number);
    if (it == categoryNames.end() || it->first != number) {
        it = categoryNames.emplace_hint(it, number, std::u16string_view());
    }
    return it->second;
}
