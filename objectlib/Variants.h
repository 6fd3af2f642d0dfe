#pragma once

#include <new>
#include <optional>
#include <string_view>
#include <utility>

#include "platform/OleAuto.h"
#include "platform/UniqueVariant.h"

namespace kelo {

// Out VARIANTs may still hold an earlier value: it is freed before the new one
// is stored, as VariantCopy does. The new value is made first and stored last,
// so freeing the old one (which may hold the very object called) is the final
// step. On failure the out holds VT_EMPTY.
void StoreOut(VARIANT value, VARIANT& out);
HRESULT CopyOut(const VARIANT& source, VARIANT& out);
HRESULT FailOut(HRESULT code, VARIANT& out);

// The text of a VT_BSTR (or a by-reference one); nullopt for other types.
std::optional<std::u16string_view> TextOf(const VARIANT& value);

// A VT_BSTR holding a copy of `text`.
HRESULT MakeText(std::u16string_view text, VARIANT& value);
// A VT_DISPATCH taking over the caller's reference to `object`.
void MakeDispatch(IDispatch* object, VARIANT& value);

// A new object of the library's own, held by `value` as a VT_DISPATCH with its
// creator's reference; null (and `value` VT_EMPTY) when memory runs out.
template <typename Object, typename... Arguments>
Object* NewDispatch(VARIANT& value, Arguments&&... arguments) {
    auto* made = new (std::nothrow) Object(std::forward<Arguments>(arguments)...);
    if (made == nullptr) {
        VariantInit(&value);
        return nullptr;
    }
    MakeDispatch(made, value);
    return made;
}

}  // namespace kelo
