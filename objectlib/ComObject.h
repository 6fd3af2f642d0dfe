#pragma once

#include <atomic>

#include "datastore/KeloInterfaces.h"
#include "objectlib/LiveObjects.h"

namespace kelo {

// The COM plumbing every object shares: one interface (with IUnknown and
// IDispatch as its bases), a reference count that starts at one for the
// creator, deletion on the last Release, and no dispatch (nothing is scripted).
template <typename Interface>
class ComObject : public Interface {
  public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        void* found = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
            IsEqualIID(iid, Iid<Interface>::value)) {
            found = static_cast<Interface*>(this);
        } else {
            found = FindImplementation(iid);
        }
        if (found == nullptr) {
            return E_NOINTERFACE;
        }
        this->AddRef();
        *object = found;
        return S_OK;
    }

    ULONG AddRef() override { return references_.fetch_add(1, std::memory_order_relaxed) + 1; }

    ULONG Release() override {
        const ULONG left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

  protected:
    ComObject() { CountObjectCreated(); }
    virtual ~ComObject() { CountObjectDestroyed(); }

    // The library's own classes answer a private identifier with their
    // implementation, so that one object can read another's state (a filter
    // its date-time objects, a query its filter); other callers never ask.
    virtual void* FindImplementation(REFIID) { return nullptr; }

  private:
    std::atomic<ULONG> references_{1};
};

}  // namespace kelo
