#pragma once

#include "objectlib/ComObject.h"
#include "objectlib/MapEntries.h"

namespace kelo {

// "Kelo.VariantMap": an insertion-ordered map of VARIANTs with text keys.
class CVariantMap final : public ComObject<IVariantMap> {
  public:
    CVariantMap() = default;

    HRESULT Count(LONG* count) override;
    HRESULT Set(VARIANT key, VARIANT value) override;
    HRESULT KeyAt(LONG index, VARIANT* key) override;
    HRESULT ValueAt(LONG index, VARIANT* value) override;
    HRESULT Get(VARIANT key, VARIANT* value) override;

    // For the library's own results: see MapEntries::Append.
    void Append(VARIANT key, VARIANT value) { entries_.Append(key, value); }

  private:
    ~CVariantMap() override = default;

    MapEntries entries_;
};

}  // namespace kelo
