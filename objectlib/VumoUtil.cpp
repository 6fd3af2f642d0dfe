// The helper library's exported entry points.

#include "datastore/VumoUtil.h"

#include <filesystem>
#include <new>
#include <system_error>

#include "objectlib/DateTime.h"
#include "objectlib/KeloErrors.h"
#include "objectlib/Manager.h"
#include "objectlib/store/Location.h"
#include "objectlib/store/UtcTime.h"

namespace NSVumoUtil {

long CreateHLPObject(unsigned long kind, unsigned long version, IHLPKELOInstance** instance) {
    if (instance == nullptr) {
        return E_POINTER;
    }
    *instance = nullptr;
    if (kind != 1 || version != 1) {
        return E_INVALIDARG;
    }
    try {
        // The product is installed exactly when its datastore file exists; a
        // file that is no datastore is reported when a datastore is made.
        const std::filesystem::path path = kelo::DatastorePath();
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error)) {
            return kelo::kNoDatastore;
        }
        auto* manager = new (std::nothrow) kelo::CManager(kelo::PathToUtf8(path));
        if (manager == nullptr) {
            return E_OUTOFMEMORY;
        }
        *instance = manager;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

long ConvertFromSystemTime(const SYSTEMTIME& utc, IKELODateTime& dateTime) {
    const OwningHolder<kelo::CDateTime> target = kelo::DateTimeBehind(&dateTime);
    if (!target) {
        return E_INVALIDARG;
    }
    // SYSTEMTIME's own range; the day of the week is not read.
    const kelo::UtcFields fields{utc.wYear,   utc.wMonth,  utc.wDay,         utc.wHour,
                                 utc.wMinute, utc.wSecond, utc.wMilliseconds};
    const std::optional<std::int64_t> time = kelo::MillisecondsFromFields(fields, 1601, 30827);
    target->Load(time);
    return time ? S_OK : E_INVALIDARG;
}

}  // namespace NSVumoUtil
