#include "objectlib/VariantMap.h"

namespace kelo {

HRESULT CVariantMap::Count(LONG* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = entries_.Count();
    return S_OK;
}

HRESULT CVariantMap::Set(VARIANT key, VARIANT value) {
    return entries_.Set(key, value);
}

HRESULT CVariantMap::KeyAt(LONG index, VARIANT* key) {
    return key == nullptr ? E_POINTER : entries_.KeyAt(index, *key);
}

HRESULT CVariantMap::ValueAt(LONG index, VARIANT* value) {
    return value == nullptr ? E_POINTER : entries_.ValueAt(index, *value);
}

HRESULT CVariantMap::Get(VARIANT key, VARIANT* value) {
    return value == nullptr ? E_POINTER : entries_.Get(key, *value);
}

}  // namespace kelo
