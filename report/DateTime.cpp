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
    // The halves fail independently: a failed date keeps what `text` held,
    // a failed time adds nothing.
    platform::FormatShortDate(local, text, kDateTextUnits);
    std::u16string time;
    if (platform::FormatLongTime(local, time, kDateTextUnits)) {
        text += u' ';
        text += time;
    }
}
