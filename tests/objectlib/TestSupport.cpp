#include "tests/objectlib/TestSupport.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "objectlib/store/Location.h"
#include "objectlib/store/Writer.h"
#include "platform/Calendar.h"
#include "platform/Text.h"

namespace objectlib_test {

std::filesystem::path DatastoreFile() {
    // These tests replace and remove the file: never the real datastore.
    const char* setting = std::getenv("KELO_DATASTORE");
    if (setting == nullptr || *setting == '\0') {
        std::fputs("objectlib_tests: set KELO_DATASTORE to a scratch file (ctest does)\n", stderr);
        std::exit(2);
    }
    return kelo::DatastorePath();
}

void RemoveDatastore() {
    std::error_code ignored;
    const std::filesystem::path file = DatastoreFile();
    std::filesystem::remove(file, ignored);
    std::filesystem::remove(file.string() + "-wal", ignored);
    std::filesystem::remove(file.string() + "-shm", ignored);
}

void WriteDatastore(const std::vector<StoredVisit>& visits) {
    RemoveDatastore();
    std::string error;
    auto writer = kelo::DatastoreWriter::Open(DatastoreFile(), kelo::OpenMode::kCreateNew, error);
    ASSERT_TRUE(writer) << error;
    ASSERT_TRUE(writer->Begin(error)) << error;
    for (const StoredVisit& visit : visits) {
        ASSERT_TRUE(writer->Add(visit.user, visit.url, visit.timeMs, visit.allowed,
                                visit.categories, error))
            << error;
    }
    ASSERT_TRUE(writer->Commit(error)) << error;
}

void WriteRawFile(const std::string& bytes) {
    RemoveDatastore();
    std::ofstream file(DatastoreFile(), std::ios::binary);
    file << bytes;
}

ManagerHolder Manager() {
    ManagerHolder manager;
    EXPECT_EQ(CreateManager(manager), 0);
    return manager;
}

VARIANT Text(std::u16string_view text) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocStringLen(AsOle(text.data()), static_cast<UINT>(text.size()));
    return value;
}

VARIANT Dispatch(IDispatch* object) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_DISPATCH;
    value.pdispVal = object;
    if (object != nullptr) {
        object->AddRef();
    }
    return value;
}

VARIANT Int(std::int32_t value) {
    VARIANT variant;
    VariantInit(&variant);
    variant.vt = VT_INT;
    variant.intVal = value;
    return variant;
}

HRESULT SetEntry(IVariantMap& map, std::u16string_view key, VARIANT value) {
    VARIANT keyText = Text(key);
    const HRESULT hr = map.Set(keyText, value);
    VariantClear(&keyText);
    VariantClear(&value);
    return hr;
}

OwningHolder<IVariantMap> MakeQuery(NSVumoUtil::IHLPKELOManager& manager, std::u16string_view user,
                                    std::u16string_view maxResults, IVariantMap* filters) {
    auto query = Create<IVariantMap>(manager, kClassVariantMap);
    EXPECT_EQ(SetEntry(*query.Get(), u"command", Text(u"query")), S_OK);
    EXPECT_EQ(SetEntry(*query.Get(), u"queryType", Text(u"urls")), S_OK);
    EXPECT_EQ(SetEntry(*query.Get(), u"countersType", Text(u"total")), S_OK);
    EXPECT_EQ(SetEntry(*query.Get(), u"user", Text(user)), S_OK);
    EXPECT_EQ(SetEntry(*query.Get(), u"maxResults", Text(maxResults)), S_OK);
    if (filters != nullptr) {
        EXPECT_EQ(SetEntry(*query.Get(), u"dateTimeFilters", Dispatch(filters)), S_OK);
    }
    return query;
}

namespace {

SYSTEMTIME SystemTimeOf(std::int64_t ms) {
    const std::int64_t days = platform::calendar::FloorDiv(ms, 86'400'000);
    const platform::calendar::Date date = platform::calendar::DateFromDays(days);
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(date.year);
    time.wMonth = static_cast<WORD>(date.month);
    time.wDay = static_cast<WORD>(date.day);
    const platform::calendar::TimeOfDay clock =
        platform::calendar::TimeOfDayFromMilliseconds(ms - days * 86'400'000);
    time.wHour = static_cast<WORD>(clock.hour);
    time.wMinute = static_cast<WORD>(clock.minute);
    time.wSecond = static_cast<WORD>(clock.second);
    time.wMilliseconds = static_cast<WORD>(clock.millisecond);
    return time;
}

}  // namespace

OwningHolder<IVariantMap> MakeFilters(NSVumoUtil::IHLPKELOManager& manager, std::int64_t startMs,
                                      std::int64_t endMs) {
    auto start = Create<IKELODateTime>(manager, kClassDateTime);
    auto end = Create<IKELODateTime>(manager, kClassDateTime);
    auto filter = Create<IDateTimeFilter>(manager, kClassDateTimeFilter);
    EXPECT_EQ(NSVumoUtil::ConvertFromSystemTime(SystemTimeOf(startMs), *start.Get()), 0);
    EXPECT_EQ(NSVumoUtil::ConvertFromSystemTime(SystemTimeOf(endMs), *end.Get()), 0);
    EXPECT_EQ(filter->SetEnd(end.Get()), S_OK);
    EXPECT_EQ(filter->SetStart(start.Get()), S_OK);
    auto filters = Create<IVariantMap>(manager, kClassVariantMap);
    EXPECT_EQ(SetEntry(*filters.Get(), u"All", Dispatch(filter.Get())), S_OK);
    return filters;
}

HRESULT Execute(NSVumoUtil::IHLPKELOManager& manager, IVariantMap& query, VARIANT& result) {
    auto datastore = Create<IDatastore>(manager, kClassDatastore);
    if (!datastore) {
        return E_FAIL;
    }
    VARIANT queryValue = Dispatch(&query);
    const HRESULT hr = datastore->Execute(queryValue, &result);
    VariantClear(&queryValue);
    return hr;
}

namespace {

VARIANT Key(std::u16string_view text) {
    return Text(text);
}

ReadVisit ReadOne(IVariantMap& visit) {
    ReadVisit read;
    LONG count = 0;
    EXPECT_EQ(visit.Count(&count), S_OK);
    EXPECT_EQ(count, 4);
    VARIANT value;
    VariantInit(&value);
    const auto get = [&](std::u16string_view name, VARTYPE type) {
        VARIANT key = Key(name);
        EXPECT_EQ(visit.Get(key, &value), S_OK) << "Get of a visit key";
        VariantClear(&key);
        EXPECT_EQ(value.vt, type);
        return value.vt == type;
    };
    if (get(u"URL", VT_BSTR)) {
        read.url = BstrView(value.bstrVal);
    }
    if (get(u"DATE", VT_DATE)) {
        read.dateMs = std::llround((value.date - 25'569.0) * 86'400'000.0);
    }
    if (get(u"ALLOWED", VT_BOOL)) {
        read.allowed = value.boolVal;
    }
    if (get(u"CATEGORIES", VT_DISPATCH)) {
        auto list = As<IVariantList>(value);
        LONG items = 0;
        EXPECT_EQ(list->Count(&items), S_OK);
        VARIANT item;
        VariantInit(&item);
        for (LONG i = 0; i < items; ++i) {
            EXPECT_EQ(list->ItemAt(i, &item), S_OK);
            EXPECT_EQ(item.vt, VT_INT);
            read.categories.push_back(item.intVal);
        }
        VariantClear(&item);
    }
    VariantClear(&value);
    return read;
}

}  // namespace

ReadResult Walk(const VARIANT& result) {
    ReadResult read;
    auto map = As<IVariantMap>(result);
    if (!map) {
        return read;
    }
    LONG users = 0;
    EXPECT_EQ(map->Count(&users), S_OK);
    VARIANT key;
    VARIANT value;
    VariantInit(&key);
    VariantInit(&value);
    for (LONG u = 0; u < users; ++u) {
        EXPECT_EQ(map->KeyAt(u, &key), S_OK);
        EXPECT_EQ(key.vt, VT_BSTR);
        EXPECT_EQ(map->ValueAt(u, &value), S_OK);
        auto perUser = As<IVariantMap>(value);
        read.emplace_back(std::u16string(BstrView(key.bstrVal)), std::vector<ReadVisit>());
        LONG entries = 0;
        EXPECT_EQ(perUser->Count(&entries), S_OK);
        EXPECT_EQ(entries, 1);
        VARIANT all = Key(u"All");
        EXPECT_EQ(perUser->Get(all, &value), S_OK);
        VariantClear(&all);
        auto list = As<IVariantList>(value);
        LONG items = 0;
        EXPECT_EQ(list->Count(&items), S_OK);
        VARIANT item;
        VariantInit(&item);
        for (LONG i = 0; i < items; ++i) {
            EXPECT_EQ(list->ItemAt(i, &item), S_OK);
            auto visit = As<IVariantMap>(item);
            read.back().second.push_back(ReadOne(*visit.Get()));
        }
        VariantClear(&item);
    }
    VariantClear(&key);
    VariantClear(&value);
    return read;
}

ReadVisit Expected(const StoredVisit& visit) {
    return ReadVisit{platform::Utf8ToUtf16(visit.url), visit.timeMs,
                     visit.allowed ? VARIANT_TRUE : VARIANT_FALSE, visit.categories};
}

std::int64_t Ms(int year, int month, int day, int hour, int minute, int second, int millisecond) {
    const std::int64_t days =
        platform::calendar::DaysFromDate(year, static_cast<unsigned>(month), day);
    return ((days * 24 + hour) * 60 + minute) * 60'000 + second * 1000 + millisecond;
}

}  // namespace objectlib_test
