#include "objectlib/Datastore.h"

#include <new>

#include "objectlib/ResultTree.h"
#include "objectlib/Variants.h"

namespace kelo {

HRESULT CDatastore::Execute(VARIANT query, VARIANT* result) {
    if (result == nullptr) {
        return E_POINTER;
    }
    try {
        Query parsed;
        HRESULT hr = ParseQuery(query, parsed);
        if (FAILED(hr)) {
            return FailOut(hr, *result);
        }
        auto snapshot = std::make_shared<Snapshot>();
        hr = reader_->Read(parsed, *snapshot);
        if (FAILED(hr)) {
            return FailOut(hr, *result);
        }
        VARIANT tree;
        hr = MakeResultTree(std::move(snapshot), tree);
        if (FAILED(hr)) {
            return FailOut(hr, *result);
        }
        StoreOut(tree, *result);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return FailOut(E_OUTOFMEMORY, *result);
    }
}

}  // namespace kelo
