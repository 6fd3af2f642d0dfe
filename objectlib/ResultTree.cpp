#include "objectlib/ResultTree.h"

#include <memory>
#include <new>

#include "objectlib/ComObject.h"
#include "objectlib/KeloErrors.h"
#include "objectlib/MapEntries.h"
#include "objectlib/VariantMap.h"
#include "objectlib/Variants.h"
#include "objectlib/store/UtcTime.h"
#include "platform/Text.h"

namespace kelo {
namespace {

// One visit's categories.
class CCategoryList final : public ComObject<IVariantList> {
  public:
    CCategoryList(SharedSnapshot snapshot, const VisitRow& row)
        : snapshot_(std::move(snapshot)), categories_(snapshot_->Categories(row)) {}

    HRESULT Count(LONG* count) override {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = static_cast<LONG>(categories_.size());
        return S_OK;
    }

    HRESULT ItemAt(LONG index, VARIANT* item) override {
        if (item == nullptr) {
            return E_POINTER;
        }
        if (index < 0 || static_cast<std::size_t>(index) >= categories_.size()) {
            return FailOut(DISP_E_BADINDEX, *item);
        }
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_INT;
        value.intVal = categories_[static_cast<std::size_t>(index)];
        StoreOut(value, *item);
        return S_OK;
    }

  private:
    ~CCategoryList() override = default;

    SharedSnapshot snapshot_;
    std::span<const std::int32_t> categories_;
};

constexpr std::u16string_view kVisitKeys[] = {u"URL", u"DATE", u"ALLOWED", u"CATEGORIES"};
constexpr LONG kVisitKeyCount = 4;

HRESULT MakeUrl(std::string_view utf8, VARIANT& value) {
    VariantInit(&value);
    const std::size_t units = platform::Utf16Length(utf8);
    BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(units));
    if (text == nullptr) {
        return E_OUTOFMEMORY;
    }
    platform::Utf8ToUtf16Into(utf8, reinterpret_cast<char16_t*>(text));
    value.vt = VT_BSTR;
    value.bstrVal = text;
    return S_OK;
}

HRESULT MakeVisitValue(const SharedSnapshot& snapshot, const VisitRow& row, LONG field,
                       VARIANT& value) {
    VariantInit(&value);
    switch (field) {
        case 0:
            return MakeUrl(snapshot->Url(row), value);
        case 1:
            value.vt = VT_DATE;
            value.date = OleDateFromMilliseconds(row.timeMs);
            return S_OK;
        case 2:
            value.vt = VT_BOOL;
            value.boolVal = row.allowed ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        default: {
            return NewDispatch<CCategoryList>(value, snapshot, row) != nullptr ? S_OK
                                                                               : E_OUTOFMEMORY;
        }
    }
}

// One visit. It reads the snapshot until someone calls Set; from then on it is
// an ordinary map holding its own copies.
class CVisitMap final : public ComObject<IVariantMap> {
  public:
    CVisitMap(SharedSnapshot snapshot, const VisitRow& row)
        : snapshot_(std::move(snapshot)), row_(row) {}

    HRESULT Count(LONG* count) override {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = written_ ? written_->Count() : kVisitKeyCount;
        return S_OK;
    }

    HRESULT Set(VARIANT key, VARIANT value) override {
        if (!written_) {
            const HRESULT hr = Materialize();
            if (FAILED(hr)) {
                return hr;
            }
        }
        return written_->Set(key, value);
    }

    HRESULT KeyAt(LONG index, VARIANT* key) override {
        if (key == nullptr) {
            return E_POINTER;
        }
        if (written_) {
            return written_->KeyAt(index, *key);
        }
        if (index < 0 || index >= kVisitKeyCount) {
            return FailOut(DISP_E_BADINDEX, *key);
        }
        VARIANT text;
        const HRESULT hr = MakeText(kVisitKeys[index], text);
        if (FAILED(hr)) {
            return FailOut(hr, *key);
        }
        StoreOut(text, *key);
        return S_OK;
    }

    HRESULT ValueAt(LONG index, VARIANT* value) override {
        if (value == nullptr) {
            return E_POINTER;
        }
        if (written_) {
            return written_->ValueAt(index, *value);
        }
        if (index < 0 || index >= kVisitKeyCount) {
            return FailOut(DISP_E_BADINDEX, *value);
        }
        return Fetch(index, *value);
    }

    HRESULT Get(VARIANT key, VARIANT* value) override {
        if (value == nullptr) {
            return E_POINTER;
        }
        if (written_) {
            return written_->Get(key, *value);
        }
        const std::optional<std::u16string_view> text = TextOf(key);
        if (!text) {
            return FailOut(DISP_E_TYPEMISMATCH, *value);
        }
        for (LONG field = 0; field < kVisitKeyCount; ++field) {
            if (kVisitKeys[field] == *text) {
                return Fetch(field, *value);
            }
        }
        return FailOut(kKeyNotFound, *value);
    }

  private:
    ~CVisitMap() override = default;

    HRESULT Fetch(LONG field, VARIANT& out) {
        VARIANT value;
        const HRESULT hr = MakeVisitValue(snapshot_, row_, field, value);
        if (FAILED(hr)) {
            return FailOut(hr, out);
        }
        StoreOut(value, out);
        return S_OK;
    }

    HRESULT Materialize() try {
        auto entries = std::make_unique<MapEntries>();
        for (LONG field = 0; field < kVisitKeyCount; ++field) {
            platform::UniqueVariant key;
            platform::UniqueVariant value;
            HRESULT hr = MakeText(kVisitKeys[field], key.Get());
            if (SUCCEEDED(hr)) {
                hr = MakeVisitValue(snapshot_, row_, field, value.Get());
            }
            if (FAILED(hr)) {
                return hr;
            }
            entries->Append(key.Get(), value.Get());
            key.Detach();
            value.Detach();
        }
        written_ = std::move(entries);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }

    SharedSnapshot snapshot_;
    VisitRow row_;
    std::unique_ptr<MapEntries> written_;
};

// One user's visits.
class CVisitList final : public ComObject<IVariantList> {
  public:
    CVisitList(SharedSnapshot snapshot, const SnapshotUser& user)
        : snapshot_(std::move(snapshot)), firstRow_(user.firstRow), rowCount_(user.rowCount) {}

    HRESULT Count(LONG* count) override {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = static_cast<LONG>(rowCount_);
        return S_OK;
    }

    HRESULT ItemAt(LONG index, VARIANT* item) override {
        if (item == nullptr) {
            return E_POINTER;
        }
        if (index < 0 || static_cast<std::size_t>(index) >= rowCount_) {
            return FailOut(DISP_E_BADINDEX, *item);
        }
        const VisitRow& row = snapshot_->rows[firstRow_ + static_cast<std::size_t>(index)];
        VARIANT value;
        if (NewDispatch<CVisitMap>(value, snapshot_, row) == nullptr) {
            return FailOut(E_OUTOFMEMORY, *item);
        }
        StoreOut(value, *item);
        return S_OK;
    }

  private:
    ~CVisitList() override = default;

    SharedSnapshot snapshot_;
    std::size_t firstRow_;
    std::size_t rowCount_;
};

// Appends `key` -> `value` to `map`, taking over `value`'s reference.
void AppendEntry(CVariantMap& map, platform::UniqueVariant& key, platform::UniqueVariant& value) {
    map.Append(key.Get(), value.Get());
    key.Detach();
    value.Detach();
}

}  // namespace

HRESULT MakeResultTree(const SharedSnapshot& snapshot, VARIANT& result) {
    VariantInit(&result);
    platform::UniqueVariant tree;
    auto* map = NewDispatch<CVariantMap>(tree.Get());
    if (map == nullptr) {
        return E_OUTOFMEMORY;
    }
    for (const SnapshotUser& user : snapshot->users) {
        platform::UniqueVariant perUser;
        auto* userMap = NewDispatch<CVariantMap>(perUser.Get());
        platform::UniqueVariant all;
        platform::UniqueVariant visits;
        if (userMap == nullptr ||
            NewDispatch<CVisitList>(visits.Get(), snapshot, user) == nullptr) {
            return E_OUTOFMEMORY;
        }
        platform::UniqueVariant sid;
        HRESULT hr = MakeText(u"All", all.Get());
        if (SUCCEEDED(hr)) {
            hr = MakeText(user.sid, sid.Get());
        }
        if (FAILED(hr)) {
            return hr;
        }
        AppendEntry(*userMap, all, visits);
        AppendEntry(*map, sid, perUser);
    }
    result = tree.Detach();
    return S_OK;
}

}  // namespace kelo
