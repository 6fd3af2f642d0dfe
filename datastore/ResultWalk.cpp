#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <string_view>

#include "app/CDataStoreQuery.h"
#include "datastore/ObjectAccess.h"
#include "datastore/ScopedVariant.h"
#include "platform/Console.h"

namespace {

// The key BSTRs of one walk, made once and shared by every visit.
struct WalkKeys {
    ScopedVariant all = ScopedVariant::Text(u"All");
    ScopedVariant url = ScopedVariant::Text(u"URL");
    ScopedVariant date = ScopedVariant::Text(u"DATE");
    ScopedVariant allowed = ScopedVariant::Text(u"ALLOWED");
    ScopedVariant categories = ScopedVariant::Text(u"CATEGORIES");
};

// A count handed out by the datastore is only a hint for reserving: a bogus
// one must not allocate much.
constexpr std::size_t kMaxReserveHint = 4096;

template <typename Container>
void ReserveFor(Container& container, LONG count) {
    if (count <= 0) {
        return;
    }
    const std::size_t wanted =
        container.size() + std::min(static_cast<std::size_t>(count), kMaxReserveHint);
    if (wanted > container.capacity()) {
        // Never below doubling, so many short lists do not grow it one by one.
        container.reserve(std::max(wanted, 2 * container.capacity()));
    }
}

// A count is the product's word, but an index it calls out of range ends the
// walk of that list or map: a count far beyond what it holds (2^31 - 1) must
// not keep the export asking for billions of items.
constexpr HRESULT kPastTheEnd = DISP_E_BADINDEX;

// The text of a BSTR up to its first NUL character.
std::u16string_view TextToFirstNul(BSTR text) {
    const std::u16string_view whole = BstrView(text);
    return whole.substr(0, whole.find(u'\0'));
}

// The URL between double quotes, an inner quote doubled so that every CSV
// reader keeps the field whole.
void QuoteUrl(BSTR text, RecordText& url) {
    const std::u16string_view raw = TextToFirstNul(text);
    const auto quotes = static_cast<std::size_t>(std::count(raw.begin(), raw.end(), u'"'));
    url.reserve(raw.size() + quotes + 2);
    url.push_back(u'"');
    if (quotes == 0) {
        url.append(raw);
    } else {
        for (const char16_t unit : raw) {
            if (unit == u'"') {
                url.push_back(u'"');
            }
            url.push_back(unit);
        }
    }
    url.push_back(u'"');
}

void ReportIncorrectItem(std::u16string_view message) {
    platform::ConsoleWriteWide(message);
    platform::ConsoleWriteWide(u"\nIncorrect item");
}

}  // namespace

void CDataStoreQuery::CollectResults(IVariantMap& result) {
    const WalkKeys keys;
    const std::pmr::polymorphic_allocator<> storage = records.get_allocator();
    // Reused by every visit; the record gets an exact copy.
    std::u16string dateText;
    LONG entries = 0;
    result.Count(&entries);
    for (LONG entry = 0; entry < entries; ++entry) {
        std::u16string label;
        {
            ScopedVariant key;
            result.KeyAt(entry, key.Out());
            if (allUsers) {
                label = u"ALL";
            } else {
                const std::u16string sidText(
                    key.Type() == VT_BSTR ? TextToFirstNul(key.Get().bstrVal) : u"");
                label = AccountNameFromSid(sidText);
            }
        }

        ScopedVariant value;
        if (const HRESULT hr = result.ValueAt(entry, value.Out()); FAILED(hr)) {
            if (hr == kPastTheEnd) {
                break;
            }
            continue;
        }
        VariantMapHolder userMap;
        if (FAILED(DispatchAs(value.Get(), userMap))) {
            continue;
        }
        // The per-user map normally holds "All" alone; its visits are taken
        // once however many entries it counts, so none is repeated.
        LONG userEntries = 0;
        if (FAILED(userMap->Count(&userEntries)) || userEntries <= 0) {
            continue;
        }
        ScopedVariant listValue;
        userMap->Get(keys.all.Get(), listValue.Out());
        OwningHolder<IVariantList> visits;
        if (FAILED(DispatchAs(listValue.Get(), visits))) {
            continue;
        }
        LONG items = 0;
        visits->Count(&items);
        for (LONG item = 0; item < items; ++item) {
            // One out VARIANT serves the item and its four values.
            ScopedVariant slot;
            if (visits->ItemAt(item, slot.Out()) == kPastTheEnd) {
                break;
            }
            VariantMapHolder visit;
            if (FAILED(DispatchAs(slot.Get(), visit))) {
                continue;  // no visit map: nothing to report
            }

            CUrlRecord record{RecordText(storage), RecordText(storage), RecordText(storage),
                              RecordText(storage), std::pmr::vector<RecordText>(storage)};
            if (visit->Get(keys.url.Get(), slot.Out()) != S_OK) {
                ReportIncorrectItem(u"\nError getting url data from product");
                continue;
            }
            if (slot.Type() != VT_BSTR) {
                ReportIncorrectItem(u"\nError getting url from data");
                continue;
            }
            QuoteUrl(slot.Get().bstrVal, record.url);

            if (visit->Get(keys.date.Get(), slot.Out()) != S_OK) {
                ReportIncorrectItem(u"\nError getting DATE data from product");
                continue;
            }
            if (slot.Type() != VT_DATE) {
                ReportIncorrectItem(u"\nError getting DATE from data");
                continue;
            }
            // A date that is no calendar time leaves the text empty; the
            // visit itself is kept. Wine's oleaut32 reads a NaN as day 0, so
            // it is refused here before the conversion.
            SYSTEMTIME visitTime{};
            const DATE date = slot.Get().date;
            if (!std::isnan(date) && VariantTimeToSystemTime(date, &visitTime) != 0) {
                dateText.clear();
                FormatDateTime(visitTime, dateText);
                record.dateText = dateText;
            }

            if (visit->Get(keys.allowed.Get(), slot.Out()) != S_OK) {
                ReportIncorrectItem(u"\nError getting ACTION data from product");
                continue;
            }
            if (slot.Type() != VT_BOOL) {
                ReportIncorrectItem(u"\nError getting ACTION from data");
                continue;
            }
            record.action = slot.Get().boolVal != 0 ? u"ALLOWED" : u"DENIED";

            if (visit->Get(keys.categories.Get(), slot.Out()) != S_OK) {
                ReportIncorrectItem(u"\nError getting CATEGORIES LIST data from product");
                continue;
            }
            ScopedVariant categories;
            VariantCopyInd(categories.Out(), slot.Out());
            CategoryNamesFromList(categories.Detach(), record.categories);

            record.userName = label;
            records.push_back(std::move(record));
        }
    }
}

void CDataStoreQuery::CategoryNamesFromList(VARIANT categories,
                                            std::pmr::vector<RecordText>& names) {
    // Cleared last, after the list is released.
    const ScopedVariant owned(categories);
    OwningHolder<IVariantList> list;
    if (FAILED(DispatchAs(owned.Get(), list))) {
        return;
    }
    LONG count = 0;
    if (FAILED(list->Count(&count))) {
        return;
    }
    ReserveFor(names, count);
    for (LONG index = 0; index < count; ++index) {
        ScopedVariant item;
        if (const HRESULT hr = list->ItemAt(index, item.Out()); FAILED(hr)) {
            if (hr == kPastTheEnd) {
                break;
            }
            continue;
        }
        names.emplace_back(
            std::u16string_view(CategoryName(item.Type() == VT_INT ? item.Get().intVal : 0)));
    }
}
