#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <memory_resource>
#include <string>
#include <string_view>

#include "app/CDataStoreQuery.h"
#include "datastore/ObjectAccess.h"
#include "platform/Console.h"
#include "platform/UniqueVariant.h"

namespace {

// The four values of a visit, read in this order. Each is read, its type
// checked and, on a fault, its message printed the same way; the visit is
// dropped at its first fault.
enum VisitValue : std::size_t { kUrl, kDate, kAllowed, kCategories, kVisitValueCount };

struct VisitValueRule {
    std::u16string_view key;
    VARTYPE type;  // VT_EMPTY: any type is read on
    std::u16string_view notRead;
    std::u16string_view wrongType;
};

constexpr VisitValueRule kVisitValueRules[kVisitValueCount] = {
    {u"URL", VT_BSTR, u"\nError getting url data from product", u"\nError getting url from data"},
    {u"DATE", VT_DATE, u"\nError getting DATE data from product",
     u"\nError getting DATE from data"},
    {u"ALLOWED", VT_BOOL, u"\nError getting ACTION data from product",
     u"\nError getting ACTION from data"},
    {u"CATEGORIES", VT_EMPTY, u"\nError getting CATEGORIES LIST data from product", u""},
};

using VisitValues = std::array<platform::UniqueVariant, kVisitValueCount>;

// The key BSTRs of one walk, made once and shared by every visit.
struct WalkKeys {
    platform::UniqueVariant all = platform::UniqueVariant::Text(u"All");
    std::array<platform::UniqueVariant, kVisitValueCount> visit = {
        platform::UniqueVariant::Text(kVisitValueRules[kUrl].key),
        platform::UniqueVariant::Text(kVisitValueRules[kDate].key),
        platform::UniqueVariant::Text(kVisitValueRules[kAllowed].key),
        platform::UniqueVariant::Text(kVisitValueRules[kCategories].key)};
};

// The two action texts every record refers to.
constexpr std::u16string_view kAllowedText = u"ALLOWED";
constexpr std::u16string_view kDeniedText = u"DENIED";

// A count is the product's word, but an index it calls out of range ends the
// walk of that list or map: a count far beyond what it holds (2^31 - 1) must
// not keep the export asking for billions of items.
constexpr HRESULT kPastTheEnd = DISP_E_BADINDEX;

// The text of a BSTR up to its first NUL character.
std::u16string_view TextToFirstNul(BSTR text) {
    const std::u16string_view whole = BstrView(text);
    return whole.substr(0, whole.find(u'\0'));
}

// Copies `text` into `arena`; it stays there, unchanged, as long as the arena.
std::u16string_view StoreText(std::u16string_view text, std::pmr::memory_resource& arena) {
    if (text.empty()) {
        return {};
    }
    auto* stored =
        static_cast<char16_t*>(arena.allocate(text.size() * sizeof(char16_t), alignof(char16_t)));
    std::copy(text.begin(), text.end(), stored);
    return {stored, text.size()};
}

// Copies the URL between double quotes, an inner quote doubled so that every
// CSV reader keeps the field whole, and then the date text into `arena`, in one
// piece.
void StoreUrlAndDate(std::u16string_view rawUrl, std::u16string_view dateText,
                     std::pmr::memory_resource& arena, CUrlRecord& record) {
    const auto quotes = static_cast<std::size_t>(std::count(rawUrl.begin(), rawUrl.end(), u'"'));
    const std::size_t urlUnits = rawUrl.size() + quotes + 2;
    auto* stored = static_cast<char16_t*>(
        arena.allocate((urlUnits + dateText.size()) * sizeof(char16_t), alignof(char16_t)));
    char16_t* out = stored;
    *out++ = u'"';
    if (quotes == 0) {
        out = std::copy(rawUrl.begin(), rawUrl.end(), out);
    } else {
        for (const char16_t unit : rawUrl) {
            if (unit == u'"') {
                *out++ = u'"';
            }
            *out++ = unit;
        }
    }
    *out++ = u'"';
    std::copy(dateText.begin(), dateText.end(), out);
    record.url = {stored, urlUnits};
    record.dateText = {stored + urlUnits, dateText.size()};
}

void ReportIncorrectItem(std::u16string_view message) {
    platform::ConsoleWriteWide(message);
    platform::ConsoleWriteWide(u"\nIncorrect item");
}

// Reads the four values of `visit` by the rules; false, after the message of
// the first fault, when the visit cannot be recorded.
bool ReadVisitValues(IVariantMap& visit, const WalkKeys& keys, VisitValues& values) {
    for (std::size_t i = 0; i < kVisitValueCount; ++i) {
        const VisitValueRule& rule = kVisitValueRules[i];
        if (visit.Get(keys.visit[i].Get(), values[i].Out()) != S_OK) {
            ReportIncorrectItem(rule.notRead);
            return false;
        }
        if (rule.type != VT_EMPTY && values[i].Type() != rule.type) {
            ReportIncorrectItem(rule.wrongType);
            return false;
        }
    }
    return true;
}

}  // namespace

void CDataStoreQuery::CollectResults(IVariantMap& result) {
    const WalkKeys keys;
    std::pmr::memory_resource& arena = *records.get_allocator().resource();
    // Reused by every visit; the record gets an exact copy.
    std::u16string dateText;
    LONG entries = 0;
    result.Count(&entries);
    for (LONG entry = 0; entry < entries; ++entry) {
        // Stored once, shared by every record of the entry.
        std::u16string_view label;
        {
            platform::UniqueVariant key;
            result.KeyAt(entry, key.Out());
            if (allUsers) {
                label = StoreText(u"ALL", arena);
            } else {
                const std::u16string sidText(
                    key.Type() == VT_BSTR ? TextToFirstNul(key.Get().bstrVal) : u"");
                label = StoreText(AccountNameFromSid(sidText), arena);
            }
        }

        platform::UniqueVariant value;
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
        platform::UniqueVariant listValue;
        userMap->Get(keys.all.Get(), listValue.Out());
        OwningHolder<IVariantList> visits;
        if (FAILED(DispatchAs(listValue.Get(), visits))) {
            continue;
        }
        LONG items = 0;
        visits->Count(&items);
        for (LONG item = 0; item < items; ++item) {
            platform::UniqueVariant slot;
            if (visits->ItemAt(item, slot.Out()) == kPastTheEnd) {
                break;
            }
            VariantMapHolder visit;
            if (FAILED(DispatchAs(slot.Get(), visit))) {
                continue;  // no visit map: nothing to report
            }
            VisitValues values;
            if (!ReadVisitValues(*visit.Get(), keys, values)) {
                continue;
            }

            // A date that is no calendar time leaves the text empty; the
            // visit itself is kept. Wine's oleaut32 reads a NaN as day 0, so
            // it is refused here before the conversion.
            dateText.clear();
            SYSTEMTIME visitTime{};
            const DATE date = values[kDate].Get().date;
            if (!std::isnan(date) && VariantTimeToSystemTime(date, &visitTime) != 0) {
                FormatDateTime(visitTime, dateText);
            }

            CUrlRecord record;
            StoreUrlAndDate(TextToFirstNul(values[kUrl].Get().bstrVal), dateText, arena, record);
            record.userName = label;
            record.action = values[kAllowed].Get().boolVal != 0 ? kAllowedText : kDeniedText;
            platform::UniqueVariant categories;
            VariantCopyInd(categories.Out(), values[kCategories].Out());
            CategoryNameList names;
            CategoryNamesFromList(categories.Detach(), names);
            record.categories = ShareCategories(names);
            records.push_back(record);
        }
    }
}

void CDataStoreQuery::CategoryNamesFromList(VARIANT categories, CategoryNameList& names) {
    // Cleared last, after the list is released.
    const platform::UniqueVariant owned(categories);
    OwningHolder<IVariantList> list;
    if (FAILED(DispatchAs(owned.Get(), list))) {
        return;
    }
    LONG count = 0;
    if (FAILED(list->Count(&count))) {
        return;
    }
    // Names past the fifth are never shown: they are not even asked for.
    for (LONG index = 0; index < count && !names.Full(); ++index) {
        platform::UniqueVariant item;
        if (const HRESULT hr = list->ItemAt(index, item.Out()); FAILED(hr)) {
            if (hr == kPastTheEnd) {
                break;
            }
            continue;
        }
        names.Add(CategoryName(item.Type() == VT_INT ? item.Get().intVal : 0));
    }
}

RecordCategories CDataStoreQuery::ShareCategories(const CategoryNameList& names) {
    if (names.size() == 0) {
        return {};
    }
    if (const auto known = categoryLists.find(names); known != categoryLists.end()) {
        return RecordCategories(&*known);
    }
    // Real logs have a few thousand distinct lists (one per site at most). A
    // log made of ever new ones stores the rest with their records instead,
    // so the table cannot grow past a bound.
    if (categoryLists.size() < mostSharedCategoryLists) {
        return RecordCategories(&*categoryLists.insert(names).first);
    }
    std::pmr::polymorphic_allocator<CategoryNameList> arena(records.get_allocator().resource());
    CategoryNameList* own = arena.allocate(1);
    arena.construct(own, names);
    return RecordCategories(own);
}
