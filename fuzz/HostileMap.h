#pragma once

// A map of another implementation than the stand-in's, as a caller may pass
// one: it can lie about its count and fail any call. Every one alive is
// counted, so a reference the stand-in keeps or forgets to release shows.

#include <map>
#include <utility>
#include <vector>

#include "datastore/KeloInterfaces.h"
#include "platform/RefCounted.h"

namespace fuzz {

inline long& HostileMapsAlive() {
    static long alive = 0;
    return alive;
}

class HostileMap final : public platform::RefCountedNoDispatch<IVariantMap> {
  public:
    HostileMap() { ++HostileMapsAlive(); }
    HostileMap(const HostileMap&) = delete;
    HostileMap& operator=(const HostileMap&) = delete;

    // Takes over both VARIANTs.
    void Add(VARIANT key, VARIANT value) { entries_.push_back({key, value}); }

    LONG countShown = -1;  // the count reported; -1 for the true one
    HRESULT countCode = S_OK;
    std::map<LONG, HRESULT> failAt;  // KeyAt and ValueAt of this index fail
    bool refuseQueries = false;

    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        if (refuseQueries ||
            !(iid == IID_IUnknown || iid == IID_IDispatch || iid == Iid<IVariantMap>::value)) {
            return E_NOINTERFACE;
        }
        AddRef();
        *object = static_cast<IVariantMap*>(this);
        return S_OK;
    }
    HRESULT Count(LONG* count) override {
        if (count == nullptr) {
            return E_POINTER;
        }
        if (FAILED(countCode)) {
            return countCode;
        }
        *count = countShown >= 0 ? countShown : static_cast<LONG>(entries_.size());
        return countCode;
    }
    HRESULT Set(VARIANT, VARIANT) override { return E_NOTIMPL; }
    HRESULT KeyAt(LONG index, VARIANT* key) override { return Copy(index, key, true); }
    HRESULT ValueAt(LONG index, VARIANT* value) override { return Copy(index, value, false); }
    HRESULT Get(VARIANT, VARIANT* value) override {
        return value == nullptr ? E_POINTER : DISP_E_BADINDEX;
    }

  private:
    ~HostileMap() override {
        for (auto& [key, value] : entries_) {
            VariantClear(&key);
            VariantClear(&value);
        }
        --HostileMapsAlive();
    }

    HRESULT Copy(LONG index, VARIANT* out, bool key) {
        if (out == nullptr) {
            return E_POINTER;
        }
        if (const auto found = failAt.find(index); found != failAt.end()) {
            return found->second;
        }
        if (index < 0 || static_cast<std::size_t>(index) >= entries_.size()) {
            return DISP_E_BADINDEX;
        }
        auto& entry = entries_[static_cast<std::size_t>(index)];
        return VariantCopy(out, key ? &entry.first : &entry.second);
    }

    std::vector<std::pair<VARIANT, VARIANT>> entries_;
};

}  // namespace fuzz
