#pragma once

#include <limits>
#include <string_view>

#include "platform/OleAuto.h"

namespace platform {

// One VARIANT with one owner: initialised when made, cleared when it goes.
// Movable, not copyable.
class UniqueVariant {
  public:
    UniqueVariant() noexcept { VariantInit(&value_); }
    // Takes over a VARIANT the caller owns.
    explicit UniqueVariant(const VARIANT& owned) noexcept : value_(owned) {}
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    UniqueVariant(UniqueVariant&& other) noexcept : value_(other.Detach()) {}
    UniqueVariant& operator=(UniqueVariant&& other) noexcept {
        if (this != &other) {
            VariantClear(&value_);
            value_ = other.Detach();
        }
        return *this;
    }
    ~UniqueVariant() { VariantClear(&value_); }

    // A new BSTR of the whole text, NULs included; VT_EMPTY when it cannot be
    // allocated.
    static UniqueVariant Text(std::u16string_view text) {
        UniqueVariant variant;
        if (text.size() <= std::numeric_limits<UINT>::max()) {
            BSTR copy = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                          static_cast<UINT>(text.size()));
            if (copy != nullptr) {
                variant.value_.vt = VT_BSTR;
                variant.value_.bstrVal = copy;
            }
        }
        return variant;
    }

    // VT_DISPATCH with a reference of its own to `object`.
    static UniqueVariant Dispatch(IDispatch* object) {
        UniqueVariant variant;
        if (object != nullptr) {
            object->AddRef();
        }
        variant.value_.vt = VT_DISPATCH;
        variant.value_.pdispVal = object;
        return variant;
    }

    VARIANT& Get() { return value_; }
    const VARIANT& Get() const { return value_; }
    VARTYPE Type() const { return value_.vt; }

    // The slot for an out parameter whose callee frees what it holds before
    // storing: what it holds stays.
    VARIANT* Out() { return &value_; }
    // The slot for an out parameter, cleared first.
    VARIANT* Put() {
        VariantClear(&value_);
        return &value_;
    }

    // Hands the VARIANT to a new owner and is left VT_EMPTY.
    VARIANT Detach() {
        VARIANT released = value_;
        VariantInit(&value_);
        return released;
    }

  private:
    VARIANT value_;
};

}  // namespace platform
