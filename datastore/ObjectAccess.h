#pragma once

// Obtaining object-library interfaces into owning holders. A call that
// reports success without yielding an object counts as failed (E_POINTER).

#include "datastore/OwningHolder.h"
#include "datastore/VumoUtil.h"

// `source` asked for `iid`: S_OK with the interface in `object`, else the
// failing code (`object` is then empty).
template <typename T>
HRESULT QueryAs(IUnknown* source, REFIID iid, OwningHolder<T>& object) {
    object.Reset();
    if (source == nullptr) {
        return E_POINTER;
    }
    void* found = nullptr;
    const HRESULT hr = source->QueryInterface(iid, &found);
    if (FAILED(hr)) {
        return hr;
    }
    if (found == nullptr) {
        return E_POINTER;
    }
    object.Reset(static_cast<T*>(found));
    return S_OK;
}

// A VARIANT taken as an object: only VT_DISPATCH with a pointer qualifies,
// else OLE_E_CANTCONVERT.
template <typename T>
HRESULT DispatchAs(const VARIANT& value, REFIID iid, OwningHolder<T>& object) {
    object.Reset();
    if (value.vt != VT_DISPATCH || value.pdispVal == nullptr) {
        return OLE_E_CANTCONVERT;
    }
    return QueryAs(value.pdispVal, iid, object);
}

// An object of `className` made by the manager and asked for `iid`.
template <typename T>
HRESULT CreateAs(NSVumoUtil::IHLPKELOManager& manager, const char16_t* className, REFIID iid,
                 OwningHolder<T>& object) {
    object.Reset();
    OwningHolder<IUnknown> created;
    const HRESULT hr = manager.CreateObject(AsOle(className), created.Put());
    if (FAILED(hr)) {
        return hr;
    }
    return QueryAs(created.Get(), iid, object);
}
