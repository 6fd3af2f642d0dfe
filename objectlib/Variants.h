#pragma once

#include <optional>
#include <string_view>

#include "platform/OleAuto.h"

namespace kelo {

// A VARIANT that is cleared when it goes.
class OwnedVariant {
  public:
    OwnedVariant() { VariantInit(&value_); }
    OwnedVariant(const OwnedVariant&) = delete;
    OwnedVariant& operator=(const OwnedVariant&) = delete;
    ~OwnedVariant() { VariantClear(&value_); }

    VARIANT& Get() { return value_; }
    const VARIANT& Get() const { return value_; }
    // Cleared, for an out parameter.
    VARIANT* Put() {
        VariantClear(&value_);
        return &value_;
    }
    // Hands the value over; this one is empty afterwards.
    VARIANT Detach() {
        VARIANT value = value_;
        VariantInit(&value_);
        return value;
    }

  private:
    VARIANT value_;
};

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

}  // namespace kelo
