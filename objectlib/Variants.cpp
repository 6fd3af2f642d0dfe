#include "objectlib/Variants.h"

namespace kelo {

void StoreOut(VARIANT value, VARIANT& out) {
    VARIANT old = out;
    out = value;
    VariantClear(&old);
}

HRESULT CopyOut(const VARIANT& source, VARIANT& out) {
    VARIANT copy;
    VariantInit(&copy);
    const HRESULT hr = VariantCopy(&copy, &source);
    if (FAILED(hr)) {
        VariantClear(&copy);
        return FailOut(hr, out);
    }
    StoreOut(copy, out);
    return S_OK;
}

HRESULT FailOut(HRESULT code, VARIANT& out) {
    VARIANT empty;
    VariantInit(&empty);
    StoreOut(empty, out);
    return code;
}

std::optional<std::u16string_view> TextOf(const VARIANT& value) {
    if (value.vt == VT_BSTR) {
        return BstrView(value.bstrVal);
    }
    if (value.vt == (VT_BSTR | VT_BYREF) && value.pbstrVal != nullptr) {
        return BstrView(*value.pbstrVal);
    }
    return std::nullopt;
}

HRESULT MakeText(std::u16string_view text, VARIANT& value) {
    VariantInit(&value);
    BSTR copy = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                  static_cast<UINT>(text.size()));
    if (copy == nullptr) {
        return E_OUTOFMEMORY;
    }
    value.vt = VT_BSTR;
    value.bstrVal = copy;
    return S_OK;
}

void MakeDispatch(IDispatch* object, VARIANT& value) {
    VariantInit(&value);
    value.vt = VT_DISPATCH;
    value.pdispVal = object;
}

}  // namespace kelo
