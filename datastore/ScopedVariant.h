#pragma once

#include <limits>
#include <string_view>

#include "platform/OleAuto.h"

// One VARIANT with one owner: initialised when made, cleared when it goes.
// Movable, not copyable.
class ScopedVariant {
  public:
    ScopedVariant() { VariantInit(&value_); }
    // Takes over a VARIANT the caller owns.
    explicit ScopedVariant(const VARIANT& owned) : value_(owned) {}
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;
    ScopedVariant(ScopedVariant&& other) noexcept : value_(other.Detach()) {}
    ScopedVariant& operator=(ScopedVariant&& other) noexcept {
        if (this != &other) {
            VariantClear(&value_);
            value_ = other.Detach();
        }
        return *this;
    }
    ~ScopedVariant() { VariantClear(&value_); }

    // A new BSTR of the whole text, NULs included; VT_EMPTY when it cannot be
    // allocated.
    static ScopedVariant Text(std::u16string_view text) {
        ScopedVariant variant;
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
    static ScopedVariant Dispatch(IDispatch* object) {
        ScopedVariant variant;
        if (object != nullptr) {
            object->AddRef();
        }
        variant.value_.vt = VT_DISPATCH;
        variant.value_.pdispVal = object;
        return variant;
    }

    const VARIANT& Get() const { return value_; }
    VARTYPE Type() const { return value_.vt; }

    // The slot for an out parameter. What it holds stays: the callee frees it
    // before storing.
    VARIANT* Out() { return &value_; }

    // Hands the VARIANT to a new owner and is left VT_EMPTY.
    VARIANT Detach() {
        VARIANT released = value_;
        VariantInit(&value_);
        return released;
    }

  private:
    VARIANT value_;
};
