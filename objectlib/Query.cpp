#include "objectlib/Query.h"

#include <string_view>

#include "datastore/ObjectAccess.h"
#include "objectlib/DateTime.h"
#include "objectlib/KeloErrors.h"
#include "objectlib/Variants.h"

namespace kelo {
namespace {

using namespace std::string_view_literals;

// The map inside a VT_DISPATCH value (or a by-reference one).
OwningHolder<IVariantMap> MapOf(const VARIANT& value) {
    IDispatch* object = nullptr;
    if (value.vt == VT_DISPATCH) {
        object = value.pdispVal;
    } else if (value.vt == (VT_DISPATCH | VT_BYREF) && value.ppdispVal != nullptr) {
        object = *value.ppdispVal;
    }
    OwningHolder<IVariantMap> map;
    QueryAs(object, map);
    return map;
}

// Calls `visit(keyText, value)` for every entry; stops at the first failure.
template <typename Visit>
HRESULT ForEachEntry(IVariantMap& map, Visit visit) {
    LONG count = 0;
    HRESULT hr = map.Count(&count);
    if (FAILED(hr)) {
        return hr;
    }
    platform::UniqueVariant key;
    platform::UniqueVariant value;
    for (LONG index = 0; index < count; ++index) {
        if (FAILED(hr = map.KeyAt(index, key.Put())) ||
            FAILED(hr = map.ValueAt(index, value.Put()))) {
            return hr;
        }
        if (key.Get().vt != VT_BSTR) {
            return kQueryUnknownKey;
        }
        if (FAILED(hr = visit(BstrView(key.Get().bstrVal), value.Get()))) {
            return hr;
        }
    }
    return S_OK;
}

bool IsText(const VARIANT& value, std::u16string_view text) {
    return value.vt == VT_BSTR && BstrView(value.bstrVal) == text;
}

HRESULT ParseMaxResults(const VARIANT& value, std::uint32_t& maxResults) {
    if (value.vt != VT_BSTR) {
        return kQueryBadValue;
    }
    const std::u16string_view text = BstrView(value.bstrVal);
    if (text.empty() || text.size() > 10) {
        return kQueryBadValue;
    }
    std::uint64_t number = 0;
    for (const char16_t digit : text) {
        if (digit < u'0' || digit > u'9') {
            return kQueryBadValue;
        }
        number = number * 10 + (digit - u'0');
    }
    if (number > 0xFFFFFFFFu) {
        return kQueryBadValue;
    }
    maxResults = static_cast<std::uint32_t>(number);
    return S_OK;
}

HRESULT ParseFilters(const VARIANT& value, Query& query) {
    OwningHolder<IVariantMap> filters = MapOf(value);
    if (!filters) {
        return kQueryBadValue;
    }
    bool seen = false;
    return ForEachEntry(*filters.Get(), [&](std::u16string_view key, const VARIANT& entry) {
        if (key != u"All"sv || seen) {
            return kQueryUnknownKey;
        }
        seen = true;
        const OwningHolder<CDateTimeFilter> filter = entry.vt == VT_DISPATCH
                                                         ? DateTimeFilterBehind(entry.pdispVal)
                                                         : OwningHolder<CDateTimeFilter>();
        if (!filter || !filter->Start() || !filter->End()) {
            return kQueryBadValue;
        }
        query.startMs = *filter->Start();
        query.endMs = *filter->End();
        return S_OK;
    });
}

}  // namespace

HRESULT ParseQuery(const VARIANT& map, Query& query) {
    OwningHolder<IVariantMap> entries = MapOf(map);
    if (!entries) {
        return kQueryNotAMap;
    }
    enum Key { kCommand, kQueryType, kCountersType, kUser, kMaxResults, kFilters, kKeys };
    static constexpr std::u16string_view kNames[kKeys] = {
        u"command", u"queryType", u"countersType", u"user", u"maxResults", u"dateTimeFilters"};
    bool seen[kKeys] = {};
    query = Query();
    const HRESULT hr =
        ForEachEntry(*entries.Get(), [&](std::u16string_view key, const VARIANT& value) {
            int which = 0;
            while (which < kKeys && kNames[which] != key) {
                ++which;
            }
            if (which == kKeys || seen[which]) {
                return kQueryUnknownKey;
            }
            seen[which] = true;
            switch (which) {
                case kCommand:
                    return IsText(value, u"query") ? S_OK : kQueryBadValue;
                case kQueryType:
                    return IsText(value, u"urls") ? S_OK : kQueryBadValue;
                case kCountersType:
                    return IsText(value, u"total") ? S_OK : kQueryBadValue;
                case kUser:
                    if (value.vt != VT_BSTR) {
                        return kQueryBadValue;
                    }
                    if (!IsText(value, u"ALL")) {
                        query.user.emplace(BstrView(value.bstrVal));
                    }
                    return S_OK;
                case kMaxResults: {
                    std::uint32_t maxResults = 0;
                    const HRESULT parsed = ParseMaxResults(value, maxResults);
                    query.maxResults = maxResults;
                    return parsed;
                }
                default:
                    return ParseFilters(value, query);
            }
        });
    if (FAILED(hr)) {
        return hr;
    }
    if (!seen[kCommand] || !seen[kQueryType] || !seen[kCountersType] || !seen[kUser]) {
        return kQueryMissingKey;
    }
    return S_OK;
}

}  // namespace kelo
