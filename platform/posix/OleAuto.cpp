#include "platform/OleAuto.h"

#include <cstdlib>
#include <cstring>
#include <limits>

// BSTR: a 32-bit byte count, the UTF-16 units, one NUL unit. The pointer
// handed out points at the first unit.

namespace {

constexpr std::size_t kPrefixBytes = sizeof(std::uint32_t);

std::uint32_t& ByteCount(BSTR text) {
    return *reinterpret_cast<std::uint32_t*>(reinterpret_cast<char*>(text) - kPrefixBytes);
}

// The types VariantClear and VariantCopy accept, as Windows does for the types
// this layer models (no arrays or records).
bool IsValidType(VARTYPE vt) {
    const VARTYPE base = vt & VT_TYPEMASK;
    const bool byRef = (vt & VT_BYREF) != 0;
    if ((vt & ~(VT_TYPEMASK | VT_BYREF)) != 0) {
        return false;
    }
    if (base == 15 || base > VT_UINT) {
        return false;
    }
    if (byRef) {
        return base != VT_EMPTY && base != VT_NULL;
    }
    return base != VT_VARIANT;
}

// Copies the value `vt` refers to through `pointer` into `destination` (type
// already known to be valid and not a variant).
HRESULT CopyReferenced(VARIANT* destination, VARTYPE base, void* pointer) {
    VARIANT value;
    VariantInit(&value);
    value.vt = base;
    switch (base) {
        case VT_I2:
        case VT_UI2:
            std::memcpy(&value.iVal, pointer, sizeof(value.iVal));
            break;
        case VT_I1:
        case VT_UI1:
            std::memcpy(&value.bVal, pointer, sizeof(value.bVal));
            break;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_ERROR:
        case VT_R4:
            std::memcpy(&value.lVal, pointer, sizeof(value.lVal));
            break;
        case VT_R8:
        case VT_DATE:
        case VT_CY:
        case VT_I8:
        case VT_UI8:
            std::memcpy(&value.llVal, pointer, sizeof(value.llVal));
            break;
        case VT_BOOL:
            std::memcpy(&value.boolVal, pointer, sizeof(value.boolVal));
            break;
        case VT_BSTR:
            value.bstrVal = *static_cast<BSTR*>(pointer);
            break;
        case VT_DISPATCH:
        case VT_UNKNOWN:
            value.punkVal = *static_cast<IUnknown**>(pointer);
            break;
        default:
            return DISP_E_BADVARTYPE;
    }
    // `value` borrows the referenced BSTR or interface; VariantCopy makes the
    // destination's own copy or reference.
    return VariantCopy(destination, &value);
}

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    constexpr UINT kMaxLength =
        (std::numeric_limits<std::uint32_t>::max() - kPrefixBytes - sizeof(OLECHAR)) /
        sizeof(OLECHAR);
    if (length > kMaxLength) {
        return nullptr;
    }
    const std::size_t bytes = std::size_t{length} * sizeof(OLECHAR);
    char* block = static_cast<char*>(std::malloc(kPrefixBytes + bytes + sizeof(OLECHAR)));
    if (block == nullptr) {
        return nullptr;
    }
    BSTR result = reinterpret_cast<BSTR>(block + kPrefixBytes);
    ByteCount(result) = static_cast<std::uint32_t>(bytes);
    if (text != nullptr) {
        std::memcpy(result, text, bytes);
    } else {
        std::memset(result, 0, bytes);
    }
    result[length] = u'\0';
    return result;
}

BSTR SysAllocString(const OLECHAR* text) {
    if (text == nullptr) {
        return nullptr;
    }
    UINT length = 0;
    while (text[length] != u'\0') {
        ++length;
    }
    return SysAllocStringLen(text, length);
}

void SysFreeString(BSTR text) {
    if (text != nullptr) {
        std::free(reinterpret_cast<char*>(text) - kPrefixBytes);
    }
}

UINT SysStringLen(BSTR text) {
    return text == nullptr ? 0 : ByteCount(text) / sizeof(OLECHAR);
}

void VariantInit(VARIANT* variant) {
    variant->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* variant) {
    if (variant == nullptr) {
        return E_INVALIDARG;
    }
    if (!IsValidType(variant->vt)) {
        return DISP_E_BADVARTYPE;
    }
    if ((variant->vt & VT_BYREF) == 0) {
        switch (variant->vt) {
            case VT_BSTR:
                SysFreeString(variant->bstrVal);
                break;
            case VT_DISPATCH:
            case VT_UNKNOWN:
                if (variant->punkVal != nullptr) {
                    variant->punkVal->Release();
                }
                break;
            default:
                break;
        }
    }
    variant->vt = VT_EMPTY;
    return S_OK;
}

HRESULT VariantCopy(VARIANT* destination, const VARIANT* source) {
    if (destination == nullptr || source == nullptr) {
        return E_INVALIDARG;
    }
    if (!IsValidType(source->vt)) {
        return DISP_E_BADVARTYPE;
    }
    if (destination == source) {
        return S_OK;
    }
    const HRESULT cleared = VariantClear(destination);
    if (FAILED(cleared)) {
        return cleared;
    }
    if (source->vt == VT_BSTR) {
        BSTR copy = nullptr;
        if (source->bstrVal != nullptr) {
            copy = SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
            if (copy == nullptr) {
                return E_OUTOFMEMORY;
            }
        }
        *destination = *source;
        destination->bstrVal = copy;
        return S_OK;
    }
    *destination = *source;
    if ((source->vt == VT_DISPATCH || source->vt == VT_UNKNOWN) && source->punkVal != nullptr) {
        source->punkVal->AddRef();
    }
    return S_OK;
}

HRESULT VariantCopyInd(VARIANT* destination, const VARIANT* source) {
    if (destination == nullptr || source == nullptr) {
        return E_INVALIDARG;
    }
    if ((source->vt & VT_BYREF) == 0) {
        return VariantCopy(destination, source);
    }
    if (!IsValidType(source->vt)) {
        return DISP_E_BADVARTYPE;
    }
    const VARTYPE base = source->vt & VT_TYPEMASK;
    if (source->byref == nullptr) {
        return E_INVALIDARG;
    }
    // Copy through a temporary so that destination may be source itself.
    VARIANT result;
    VariantInit(&result);
    HRESULT hr;
    if (base == VT_VARIANT) {
        const VARIANT* inner = source->pvarVal;
        if ((inner->vt & VT_BYREF) != 0 && (inner->vt & VT_TYPEMASK) == VT_VARIANT) {
            return E_INVALIDARG;
        }
        hr = VariantCopy(&result, inner);
    } else {
        hr = CopyReferenced(&result, base, source->byref);
    }
    if (FAILED(hr)) {
        return hr;
    }
    if (destination != source) {
        hr = VariantClear(destination);
        if (FAILED(hr)) {
            VariantClear(&result);
            return hr;
        }
    }
    *destination = result;
    return S_OK;
}
