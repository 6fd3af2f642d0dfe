#pragma once

// Obtaining object-library interfaces into owning holders. A call that
// reports success without yielding an object counts as failed (E_POINTER).

#include "datastore/OwningHolder.h"
#include "datastore/VumoUtil.h"

// `source` asked for the holder's interface (Iid<T>): S_OK with it in
// `object`, else the failing code (`object` is then empty).
template <typename T>
HRESULT QueryAs(IUnknown* source, OwningHolder<T>& object) {
    object.Reset();
    if (source == nullptr) {
        return E_POINTER;
    }
    void* found = nullptr;
    const HRESULT hr = source->QueryInterface(Iid<T>::value, &found);
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
HRESULT DispatchAs(const VARIANT& value, OwningHolder<T>& object) {
    object.Reset();
    if (value.vt != VT_DISPATCH || value.pdispVal == nullptr) {
        return OLE_E_CANTCONVERT;
    }
    return QueryAs(value.pdispVal, object);
}

// An object of `className` made by the manager and asked for the holder's
// interface.
template <typename T>
HRESULT CreateAs(NSVumoUtil::IHLPKELOManager& manager, const char16_t* className,
                 OwningHolder<T>& object) {
    object.Reset();
    OwningHolder<IUnknown> created;
    const HRESULT hr = manager.CreateObject(AsOle(className), created.Put());
    if (FAILED(hr)) {
        return hr;
    }
    return QueryAs(created.Get(), object);
}
