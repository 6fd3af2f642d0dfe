#pragma once

#include <atomic>

#include "platform/OleAuto.h"

namespace platform {

// AddRef and Release for an object implementing `Interface`: the count starts
// at one for the creator, and the last Release deletes the object.
template <typename Interface>
class RefCounted : public Interface {
  public:
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;

    ULONG AddRef() override { return references_.fetch_add(1, std::memory_order_relaxed) + 1; }

    ULONG Release() override {
        const ULONG left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    ULONG ReferenceCount() const { return references_.load(std::memory_order_relaxed); }

  protected:
    RefCounted() = default;
    virtual ~RefCounted() = default;

  private:
    std::atomic<ULONG> references_{1};
};

// A reference-counted object whose IDispatch side answers nothing: none of
// these objects is scripted.
template <typename Interface>
class RefCountedNoDispatch : public RefCounted<Interface> {
  public:
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

  protected:
    RefCountedNoDispatch() = default;
};

}  // namespace platform
