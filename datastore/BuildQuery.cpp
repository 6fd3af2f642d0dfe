#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "app/CDataStoreQuery.h"
#include "datastore/ObjectAccess.h"
#include "platform/Text.h"
#include "platform/UniqueVariant.h"

namespace {

void SetEntry(IVariantMap& map, std::u16string_view key, const platform::UniqueVariant& value) {
    const platform::UniqueVariant keyVariant = platform::UniqueVariant::Text(key);
    map.Set(keyVariant.Get(), value.Get());
}

void SetText(IVariantMap& map, std::u16string_view key, std::u16string_view text) {
    SetEntry(map, key, platform::UniqueVariant::Text(text));
}

}  // namespace

void CDataStoreQuery::BuildQuery(NSVumoUtil::IHLPKELOManager& manager, const std::u16string& user,
                                 const VariantMapHolder& filter, VariantMapHolder& query) const {
    query.Reset();
    if (FAILED(CreateAs(manager, kClassVariantMap, query))) {
        return;
    }
    IVariantMap& map = *query.Get();
    SetText(map, u"command", u"query");
    SetText(map, u"queryType", u"urls");
    SetText(map, u"countersType", u"total");
    SetText(map, u"user", user);
    // The largest count the datastore accepts, sent as text.
    SetText(map, u"maxResults", platform::DecimalText(std::numeric_limits<std::uint32_t>::max()));
    if (filter) {
        SetEntry(map, u"dateTimeFilters", platform::UniqueVariant::Dispatch(filter.Get()));
    }
}
