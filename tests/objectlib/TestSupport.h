#pragma once

// Helpers of the library's tests: the datastore file the library finds (the
// test sets KELO_DATASTORE), the manager, queries and reading result trees.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "datastore/CreateManager.h"
#include "datastore/OwningHolder.h"

namespace objectlib_test {

using DispatchHolder = OwningHolder<IDispatch>;
using UnknownHolder = OwningHolder<IUnknown>;

// One visit as the tests store it (UTF-8) and read it back.
struct StoredVisit {
    std::string user;
    std::string url;
    std::int64_t timeMs = 0;
    bool allowed = true;
    std::vector<std::int32_t> categories;
};

struct ReadVisit {
    std::u16string url;
    // The VT_DATE read back as milliseconds since 1970 UTC.
    std::int64_t dateMs = 0;
    VARIANT_BOOL allowed = VARIANT_FALSE;
    std::vector<std::int32_t> categories;
    bool operator==(const ReadVisit&) const = default;
};

using ReadResult = std::vector<std::pair<std::u16string, std::vector<ReadVisit>>>;

// The file the library opens.
std::filesystem::path DatastoreFile();
// Removes the datastore file and its WAL companions.
void RemoveDatastore();
// A fresh datastore holding `visits`, stored in this order.
void WriteDatastore(const std::vector<StoredVisit>& visits);
// A file of these bytes in place of a datastore.
void WriteRawFile(const std::string& bytes);

ManagerHolder Manager();

template <typename Interface>
OwningHolder<Interface> Create(NSVumoUtil::IHLPKELOManager& manager, const char16_t* className) {
    UnknownHolder object;
    EXPECT_EQ(manager.CreateObject(AsOle(className), object.Put()), S_OK) << "creating a class";
    OwningHolder<Interface> result;
    if (object) {
        EXPECT_EQ(
            object->QueryInterface(Iid<Interface>::value, reinterpret_cast<void**>(result.Put())),
            S_OK);
    }
    return result;
}

// The object a VT_DISPATCH value holds, asked for `Interface`.
template <typename Interface>
OwningHolder<Interface> As(const VARIANT& value) {
    OwningHolder<Interface> object;
    EXPECT_EQ(value.vt, VT_DISPATCH);
    if (value.vt == VT_DISPATCH && value.pdispVal != nullptr) {
        EXPECT_EQ(value.pdispVal->QueryInterface(Iid<Interface>::value,
                                                 reinterpret_cast<void**>(object.Put())),
                  S_OK);
    }
    return object;
}

// VARIANT helpers; the caller clears what they return.
VARIANT Text(std::u16string_view text);
VARIANT Dispatch(IDispatch* object);  // adds a reference
VARIANT Int(std::int32_t value);

// Set(key, value) with a text key, clearing both afterwards; the Set's result.
HRESULT SetEntry(IVariantMap& map, std::u16string_view key, VARIANT value);

// The query map the program sends ("user" and "maxResults" as given, the
// filter map when not null).
OwningHolder<IVariantMap> MakeQuery(NSVumoUtil::IHLPKELOManager& manager, std::u16string_view user,
                                    std::u16string_view maxResults = u"4294967295",
                                    IVariantMap* filters = nullptr);

// A filter map with "All" holding a filter from `startMs` to `endMs`.
OwningHolder<IVariantMap> MakeFilters(NSVumoUtil::IHLPKELOManager& manager, std::int64_t startMs,
                                      std::int64_t endMs);

// Execute with a new datastore object; `result` receives the answer.
HRESULT Execute(NSVumoUtil::IHLPKELOManager& manager, IVariantMap& query, VARIANT& result);

// Walks a result tree through the interfaces, checking every type on the way.
ReadResult Walk(const VARIANT& result);

// The expected reading of a stored visit.
ReadVisit Expected(const StoredVisit& visit);

// A UTC instant in milliseconds.
std::int64_t Ms(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                int millisecond = 0);

}  // namespace objectlib_test
