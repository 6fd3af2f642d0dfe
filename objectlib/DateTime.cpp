#include "objectlib/DateTime.h"

namespace kelo {
namespace {

template <typename Implementation>
OwningHolder<Implementation> Behind(IUnknown* object, const IID& id) {
    void* found = nullptr;
    if (object == nullptr || FAILED(object->QueryInterface(id, &found)) || found == nullptr) {
        return OwningHolder<Implementation>();
    }
    return OwningHolder<Implementation>(static_cast<Implementation*>(found));
}

}  // namespace

OwningHolder<CDateTime> DateTimeBehind(IUnknown* object) {
    return Behind<CDateTime>(object, kDateTimeImplementationId);
}

OwningHolder<CDateTimeFilter> DateTimeFilterBehind(IUnknown* object) {
    return Behind<CDateTimeFilter>(object, kDateTimeFilterImplementationId);
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
