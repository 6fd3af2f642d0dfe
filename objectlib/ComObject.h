#pragma once

#include "datastore/KeloInterfaces.h"
#include "objectlib/LiveObjects.h"
#include "platform/RefCounted.h"

namespace kelo {

// The COM plumbing every object shares: one interface (with IUnknown and
// IDispatch as its bases), the shared reference count, and no dispatch
// (nothing is scripted).
template <typename Interface>
class ComObject : public platform::RefCountedNoDispatch<Interface> {
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

  protected:
    ComObject() { CountObjectCreated(); }
    ~ComObject() override { CountObjectDestroyed(); }

    // The library's own classes answer a private identifier with their
    // implementation, so that one object can read another's state (a filter
    // its date-time objects, a query its filter); other callers never ask.
    virtual void* FindImplementation(REFIID) { return nullptr; }
};

}  // namespace kelo
