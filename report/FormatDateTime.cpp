#include "app/CDataStoreQuery.h"
#include "platform/Clock.h"
#include "platform/DateText.h"

namespace {

// GetDateFormatW's and GetTimeFormatW's buffer.
constexpr std::uint32_t kDateTextUnits = 200;

}  // namespace

void CDataStoreQuery::FormatDateTime(SYSTEMTIME utc, std::u16string& text) const {
    SYSTEMTIME local{};
    if (!platform::UtcToLocal(utc, local)) {
        return;
    }
    // The two halves are made in reused buffers and `text` is sized once:
    // this runs for every visit.
    thread_local std::u16string date;
    thread_local std::u16string time;
    const bool hasDate = platform::FormatShortDate(local, date, kDateTextUnits);
    const bool hasTime = platform::FormatLongTime(local, time, kDateTextUnits);
    // The halves fail independently: a failed date keeps what `text` held,
    // a failed time adds nothing.
    const std::size_t dateUnits = hasDate ? date.size() : text.size();
    text.reserve(dateUnits + (hasTime ? 1 + time.size() : 0));
    if (hasDate) {
        text.assign(date);
    }
    if (hasTime) {
        text += u' ';
        text += time;
    }
}
