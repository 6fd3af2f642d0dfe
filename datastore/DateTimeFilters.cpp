#include <cstdint>

#include "app/CDataStoreQuery.h"
#include "datastore/ObjectAccess.h"
#include "platform/Clock.h"
#include "platform/UniqueVariant.h"

namespace {

constexpr std::int64_t kUnitsPerDay = 864'000'000'000;  // 100 ns units
// 30827-12-31 23:59:59.999 UTC, the last instant a SYSTEMTIME can hold.
constexpr std::int64_t kLatestUnits = 9'223'149'887'999'990'000;

std::int64_t ToUnits(const FILETIME& time) {
    const std::uint64_t units = (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
    return units > static_cast<std::uint64_t>(kLatestUnits) ? kLatestUnits
                                                            : static_cast<std::int64_t>(units);
}

FILETIME FromUnits(std::int64_t units) {
    const auto bits = static_cast<std::uint64_t>(units);
    return {static_cast<DWORD>(bits), static_cast<DWORD>(bits >> 32)};
}

// `now` moved `days` whole days back (forward for a negative count), clamped
// to the representable range instead of overflowing: a look-back past
// 1601-01-01 gives that day, a far-future one the latest representable day.
std::int64_t DaysBack(std::int64_t now, std::int32_t days) {
    const std::int64_t count = days;
    if (count >= 0) {
        return count > now / kUnitsPerDay ? 0 : now - count * kUnitsPerDay;
    }
    const std::int64_t ahead = -count;
    return ahead > (kLatestUnits - now) / kUnitsPerDay ? kLatestUnits : now + ahead * kUnitsPerDay;
}

// 00:00:00.000 UTC of the day `days` whole days before `now`.
bool StartOfLookBack(const SYSTEMTIME& now, std::int32_t days, SYSTEMTIME& start) {
    FILETIME nowUnits{};
    if (!platform::SystemTimeToFileTimeUnits(now, nowUnits)) {
        return false;
    }
    if (!platform::FileTimeUnitsToSystemTime(FromUnits(DaysBack(ToUnits(nowUnits), days)), start)) {
        return false;
    }
    start.wHour = 0;
    start.wMinute = 0;
    start.wSecond = 0;
    start.wMilliseconds = 0;
    return true;
}

}  // namespace

// A filter that cannot be completed (an object not created) is not sent at
// all: the queries then go without "dateTimeFilters", as when the map itself
// could not be made, and the run reports it.
void CDataStoreQuery::BuildDateTimeFilters(NSVumoUtil::IHLPKELOManager& manager,
                                           VariantMapHolder& filter) {
    if (FAILED(CreateAs(manager, kClassVariantMap, filter))) {
        return;
    }
    // Now is the UTC clock itself, whatever the local clock shows.
    const SYSTEMTIME now = platform::UtcNow();

    OwningHolder<IKELODateTime> end;
    OwningHolder<IKELODateTime> start;
    OwningHolder<IDateTimeFilter> range;
    SYSTEMTIME startTime{};
    if (FAILED(CreateAs(manager, kClassDateTime, end)) ||
        FAILED(CreateAs(manager, kClassDateTime, start)) ||
        FAILED(CreateAs(manager, kClassDateTimeFilter, range)) ||
        !StartOfLookBack(now, days, startTime)) {
        filter.Reset();
        return;
    }

    NSVumoUtil::ConvertFromSystemTime(now, *end.Get());
    range->SetEnd(end.Get());
    NSVumoUtil::ConvertFromSystemTime(startTime, *start.Get());
    range->SetStart(start.Get());

    const platform::UniqueVariant key = platform::UniqueVariant::Text(u"All");
    if (key.Type() != VT_BSTR) {
        filter.Reset();
        return;
    }
    const platform::UniqueVariant value = platform::UniqueVariant::Dispatch(range.Get());
    filter->Set(key.Get(), value.Get());
}
