#include "objectlib/DateTime.h"

#include "datastore/ObjectAccess.h"

namespace kelo {
namespace {

template <typename Implementation>
OwningHolder<Implementation> Behind(IUnknown* object) {
    OwningHolder<Implementation> found;
    QueryAs(object, found);
    return found;
}

}  // namespace

OwningHolder<CDateTime> DateTimeBehind(IUnknown* object) {
    return Behind<CDateTime>(object);
}

OwningHolder<CDateTimeFilter> DateTimeFilterBehind(IUnknown* object) {
    return Behind<CDateTimeFilter>(object);
}

void* CDateTime::FindImplementation(REFIID iid) {
    return IsEqualIID(iid, kDateTimeImplementationId) ? this : nullptr;
}

void* CDateTimeFilter::FindImplementation(REFIID iid) {
    return IsEqualIID(iid, kDateTimeFilterImplementationId) ? this : nullptr;
}

HRESULT CDateTimeFilter::TimeOf(IKELODateTime* object, std::int64_t& time) {
    if (object == nullptr) {
        return E_POINTER;
    }
    const OwningHolder<CDateTime> dateTime = DateTimeBehind(object);
    if (!dateTime || !dateTime->Time()) {
        return E_INVALIDARG;
    }
    time = *dateTime->Time();
    return S_OK;
}

HRESULT CDateTimeFilter::SetStart(IKELODateTime* start) {
    std::int64_t time = 0;
    const HRESULT hr = TimeOf(start, time);
    if (SUCCEEDED(hr)) {
        start_ = time;
    }
    return hr;
}

HRESULT CDateTimeFilter::SetEnd(IKELODateTime* end) {
    std::int64_t time = 0;
    const HRESULT hr = TimeOf(end, time);
    if (SUCCEEDED(hr)) {
        end_ = time;
    }
    return hr;
}

}  // namespace kelo
