#include "objectlib/Manager.h"

#include <new>
#include <string_view>

#include "objectlib/Datastore.h"
#include "objectlib/DateTime.h"
#include "objectlib/KeloErrors.h"
#include "objectlib/LiveObjects.h"
#include "objectlib/VariantMap.h"

namespace kelo {
namespace {

std::u16string_view NameView(const OLECHAR* name) {
    std::size_t length = 0;
    while (name[length] != 0) {
        ++length;
    }
    return AsUtf16(name, length);
}

// Hands out a new object's reference as IUnknown.
template <typename Object, typename... Arguments>
HRESULT Make(IUnknown** object, Arguments&&... arguments) {
    auto* made = new (std::nothrow) Object(std::forward<Arguments>(arguments)...);
    if (made == nullptr) {
        return E_OUTOFMEMORY;
    }
    *object = made;
    return S_OK;
}

}  // namespace

CManager::CManager(std::string datastorePathUtf8) : datastorePath_(std::move(datastorePathUtf8)) {
    CountObjectCreated();
}

CManager::~CManager() {
    CountObjectDestroyed();
}

HRESULT CManager::Reader(std::shared_ptr<DatastoreReader>& reader) {
    const std::lock_guard lock(mutex_);
    if (!reader_) {
        const HRESULT hr = DatastoreReader::Open(datastorePath_, reader_);
        if (FAILED(hr)) {
            return hr;
        }
    }
    reader = reader_;
    return S_OK;
}

HRESULT CManager::CreateObject(const OLECHAR* className, IUnknown** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (className == nullptr) {
        return E_INVALIDARG;
    }
    try {
        const std::u16string_view name = NameView(className);
        if (name == kClassVariantMap) {
            return Make<CVariantMap>(object);
        }
        if (name == kClassDateTime) {
            return Make<CDateTime>(object);
        }
        if (name == kClassDateTimeFilter) {
            return Make<CDateTimeFilter>(object);
        }
        if (name == kClassDatastore) {
            std::shared_ptr<DatastoreReader> reader;
            const HRESULT hr = Reader(reader);
            return FAILED(hr) ? hr : Make<CDatastore>(object, std::move(reader));
        }
        return kClassNotRegistered;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace kelo
