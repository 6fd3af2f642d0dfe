#include "objectlib/MapEntries.h"

#include <new>

#include "objectlib/KeloErrors.h"
#include "objectlib/Variants.h"

namespace kelo {

std::size_t MapEntries::Find(std::u16string_view key) const {
    std::size_t index = 0;
    while (index < entries_.size() && BstrView(entries_[index].key.Get().bstrVal) != key) {
        ++index;
    }
    return index;
}

HRESULT MapEntries::Set(const VARIANT& key, const VARIANT& value) {
    const std::optional<std::u16string_view> text = TextOf(key);
    if (!text) {
        return DISP_E_TYPEMISMATCH;
    }
    platform::UniqueVariant copy;
    // Some SDKs declare the source without const; it is only read.
    HRESULT hr = VariantCopyInd(&copy.Get(), const_cast<VARIANT*>(&value));
    if (FAILED(hr)) {
        return hr;
    }
    if (const std::size_t held = Find(*text); held < entries_.size()) {
        StoreOut(copy.Detach(), entries_[held].value.Get());
        return S_OK;
    }
    platform::UniqueVariant keyCopy;
    hr = MakeText(*text, keyCopy.Get());
    if (FAILED(hr)) {
        return hr;
    }
    try {
        entries_.reserve(entries_.size() + 1);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    entries_.emplace_back(keyCopy.Detach(), copy.Detach());
    return S_OK;
}

void MapEntries::Append(VARIANT key, VARIANT value) {
    // The entry is made only once its room is: a failed growth leaves both.
    entries_.emplace_back(key, value);
}

HRESULT MapEntries::KeyAt(LONG index, VARIANT& out) const {
    if (index < 0 || index >= Count()) {
        return FailOut(DISP_E_BADINDEX, out);
    }
    return CopyOut(entries_[static_cast<std::size_t>(index)].key.Get(), out);
}

HRESULT MapEntries::ValueAt(LONG index, VARIANT& out) const {
    if (index < 0 || index >= Count()) {
        return FailOut(DISP_E_BADINDEX, out);
    }
    return CopyOut(entries_[static_cast<std::size_t>(index)].value.Get(), out);
}

HRESULT MapEntries::Get(const VARIANT& key, VARIANT& out) const {
    const std::optional<std::u16string_view> text = TextOf(key);
    if (!text) {
        return FailOut(DISP_E_TYPEMISMATCH, out);
    }
    const std::size_t index = Find(*text);
    if (index == entries_.size()) {
        return FailOut(kKeyNotFound, out);
    }
    return CopyOut(entries_[index].value.Get(), out);
}

}  // namespace kelo
